// SPDX-License-Identifier: GPL-3.0-or-later
#include "opis_commands.h"
#include "platform/file_names.h"
#include "search_command.h"
#include "store/exiv2_setup.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <csignal>
#include <iostream>
#include <memory>

namespace {

// Qt's own notices (a missing runtime folder, font fallbacks) are noise in a tool whose stderr scripts read.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::cerr << "zelkavio-opis: " << message.toStdString() << std::endl;
}

} // namespace

int main(int argc, char** argv)
{
    // A write past the file-size limit then fails with an error instead of ending the process mid-save.
    std::signal(SIGXFSZ, SIG_IGN);
    store::initialiseExiv2();
    qInstallMessageHandler(quietMessages);
    // Taken before Qt sees the command line, which it might otherwise read options from. Losslessly: a file name
    // that is not UTF-8 must reach the file system with its own bytes.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << platform::fileNameFromBytes(argv[i]);

    std::ios::sync_with_stdio(false);
    // The search reads files and the locale's name only: no application object, so that it starts at once.
    if (cli::isSearch(args))
        return cli::runSearch(args, std::cout, std::cerr);

    std::unique_ptr<QCoreApplication> app;
    if (cli::needsGuiApplication(args)) {
        // Drawing metafile text needs fonts, hence a GUI application; it never shows a window.
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    return cli::runOpis(args, std::cout, std::cerr);
}
