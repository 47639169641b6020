// SPDX-License-Identifier: GPL-3.0-or-later
#include "Main.h"
#include "display_platform.h"
#include "start_arguments.h"
#include "windows.h"

#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/file_names.h"
#include "platform/guard.h"
#include "platform/translation.h"
#include "settings/settings_file.h"
#include "store/exiv2_setup.h"
#include "viewer/Fotka.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

/** The arguments after the program's name, as the bytes they are. */
QList<QByteArray> arguments(int argc, char* argv[])
{
    QList<QByteArray> list;
    for (int i = 1; i < argc; ++i)
        list << QByteArray(argv[i]);
    return list;
}

/**
 * A picture given on the command line is read and decoded while the windows are made, at the scale the remembered
 * mode shows it at. Named as the file list will name it: its folder as the system resolves it.
 */
void prepareStartPicture(const app::StartArguments& start)
{
    if (start.picture.isEmpty())
        return;
    const std::unique_ptr<char, decltype(&std::free)> folder(
        ::realpath(platform::FilePath::fromText(start.folder).c_str(), nullptr), &std::free);
    if (!folder)
        return;
    bool fit = false;
    try {
        if (const QString path = settings::settingsFilePath();
            platform::isRegularFile(platform::FilePath::fromText(path)))
            fit = settings::readSettings(path).fit;
    } catch (const platform::AppError&) {
        // The main window reads the file again and reports what is wrong with it.
    }
    TFFotka::prepareStartPicture(platform::FilePath(folder.get()) / platform::FilePath::fromText(start.picture), fit);
}

int print(const QByteArray& text)
{
    return std::fwrite(text.constData(), 1, size_t(text.size()), stdout) == size_t(text.size()) ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    // --help and --version need no display, so they are answered before Qt looks for one.
    if (const app::StartArguments early = app::parseStartArguments(arguments(argc, argv)); early.help)
        return print(app::usageText());
    else if (early.version)
        return print(app::versionText());
    // A write past the file-size limit then fails with an error instead of ending the program mid-save.
    std::signal(SIGXFSZ, SIG_IGN);
    store::initialiseExiv2();
    const app::PlatformChoice platform
        = app::choosePlatform([](const char* name) { return qgetenv(name); }, argc, argv);
    if (!platform.platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform.platform);
    if (!platform.note.isEmpty())
        std::fputs(platform.note.constData(), stderr);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zelkavio"));
    platform::installPolishQtTranslation();
    // Read again now that Qt has taken out its own options (-platform, -style, ...).
    const app::StartArguments start = app::parseStartArguments(arguments(argc, argv));
    prepareStartPicture(start);
    app::createWindows();
    FMain->setStartFolder(start.folder, start.picture);
    // The window is shown already at its maximised place, so the file list window, which the main window's
    // show handler may open, settles at the screen's lower right corner rather than the designed bounds'.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        FMain->setGeometry(screen->availableGeometry());
    FMain->showMaximized();
    if (!start.error.isEmpty())
        QTimer::singleShot(0, FMain, platform::guard([message = start.error] { platform::dialogs().error(message); }));
    const int result = QApplication::exec();
    app::destroyWindows();
    return result;
}
