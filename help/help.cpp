#include "help.h"

QPointer<TFhelp> Fhelp;

TFhelp::TFhelp()
    : QWidget(nullptr, Qt::Dialog)
{
    setObjectName(QStringLiteral("Fhelp"));
    setWindowTitle(QStringLiteral("Plik pomocy"));
    setAccessibleName(QStringLiteral("Plik pomocy"));
    resize(744, 415);
}

TFhelp::~TFhelp() = default;
