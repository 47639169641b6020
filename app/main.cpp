#include "Main.h"
#include "windows.h"

#include "platform/translation.h"
#include "store/exiv2_setup.h"

#include <QApplication>
#include <QScreen>

#include <csignal>

int main(int argc, char* argv[])
{
    // A write past the file-size limit then fails with an error instead of ending the program mid-save.
    std::signal(SIGXFSZ, SIG_IGN);
    store::initialiseExiv2();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zelkavio"));
    platform::installPolishQtTranslation();
    app::createWindows();
    // The window is shown already at its maximised place, so the file list window, which the main window's
    // show handler may open, settles at the screen's lower right corner rather than the designed bounds'.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        FMain->setGeometry(screen->availableGeometry());
    FMain->showMaximized();
    const int result = QApplication::exec();
    app::destroyWindows();
    return result;
}
