#include "widget_application.h"

#include <QApplication>

namespace testing_support {

void ensureWidgetApplication()
{
    if (!qApp) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "zelkavio-tests";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv); // lives as long as the process
    }
    QApplication::setApplicationName(QStringLiteral("Zelkavio"));
}

} // namespace testing_support
