#include "Main.h"
#include "windows.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zelkavio"));
    app::createWindows();
    FMain->showMaximized();
    const int result = QApplication::exec();
    app::destroyWindows();
    return result;
}
