#include "SzukaAll.h"

QPointer<TFSzukaAll> FSzukaAll;

TFSzukaAll::TFSzukaAll()
    : QWidget(nullptr, Qt::Tool)
{
    setObjectName(QStringLiteral("FSzukaAll"));
    setWindowTitle(QStringLiteral("Szukanie"));
    setAccessibleName(QStringLiteral("Szukanie"));
    resize(211, 246);
}

TFSzukaAll::~TFSzukaAll() = default;
