#include "help.h"

TFhelp* Fhelp = nullptr;

TFhelp::TFhelp()
    : QWidget(nullptr, Qt::Dialog)
{
    setObjectName(QStringLiteral("Fhelp"));
    setWindowTitle(QStringLiteral("Plik pomocy"));
    setAccessibleName(QStringLiteral("Plik pomocy"));
    resize(744, 415);
}

TFhelp::~TFhelp()
{
    if (Fhelp == this)
        Fhelp = nullptr;
}
