#pragma once
// What several benchmark programs need: the real windows offscreen, and the process's resident size.
#include "app/Main.h"
#include "app/windows.h"
#include "platform/dialogs.h"
#include "support/scripted_dialogs.h"

#include <QApplication>
#include <QByteArray>
#include <QFile>

#include <memory>

namespace bench_support {

/**
 * Creates the windows once for the whole run (offscreen, the main window shown), with dialogs that never block,
 * and gives back those dialogs.
 */
inline testing_support::ScriptedDialogs& ensureWindows()
{
    static testing_support::ScriptedDialogs* dialogs = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "bench";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
        auto scripted = std::make_unique<testing_support::ScriptedDialogs>();
        testing_support::ScriptedDialogs* kept = scripted.get();
        platform::installDialogs(std::move(scripted));
        app::createWindows();
        FMain->show();
        return kept;
    }();
    return *dialogs;
}

/** The process's resident size in kB (VmRSS), or -1. */
inline long residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

} // namespace bench_support
