#include "busy_cursor.h"

#include <QApplication>
#include <QCursor>

namespace platform {

BusyCursor::BusyCursor()
{
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

BusyCursor::~BusyCursor()
{
    QApplication::restoreOverrideCursor();
}

} // namespace platform
