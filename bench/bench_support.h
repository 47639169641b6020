#pragma once
// What several benchmark programs need: the real windows offscreen, and the process's resident size.
#include "app/Main.h"
#include "app/windows.h"
#include "platform/dialogs.h"
#include "support/scripted_dialogs.h"

#include <QApplication>
#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <ctime>
#include <memory>

namespace bench_support {

/**
 * The application with a clock on its event loop. Every event it delivers from the loop (not one sent from inside
 * another's handling) is one task of the window's thread, and so is each call made through task(); the longest
 * since the last resetTasks() is kept with its event type (-1 for a call), and the most processor time one took (the
 * thread's own, which on a busy machine tells the work from the waits for a processor).
 */
class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        const int type = event->type();
        bool handled = false;
        timed(type, [&] { handled = QApplication::notify(receiver, event); });
        return handled;
    }

    /** Runs `call` as one task. */
    template <typename Call> void task(Call&& call) { timed(-1, call); }

    void resetTasks()
    {
        m_longestNs = 0;
        m_longestType = 0;
        m_mostCpuNs = 0;
    }
    [[nodiscard]] double longestTaskMs() const { return double(m_longestNs) / 1e6; }
    [[nodiscard]] double mostTaskCpuMs() const { return double(m_mostCpuNs) / 1e6; }
    [[nodiscard]] int longestTaskType() const { return m_longestType; }

private:
    template <typename Call> void timed(int type, Call&& call)
    {
        if (m_depth > 0) {
            call();
            return;
        }
        QElapsedTimer clock;
        const qint64 cpuBefore = threadCpuNs();
        clock.start();
        ++m_depth;
        call();
        --m_depth;
        const qint64 ns = clock.nsecsElapsed();
        if (ns > m_longestNs) {
            m_longestNs = ns;
            m_longestType = type;
        }
        m_mostCpuNs = std::max(m_mostCpuNs, threadCpuNs() - cpuBefore);
    }

    static qint64 threadCpuNs()
    {
        timespec now {};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    }

    int m_depth = 0;
    qint64 m_longestNs = 0;
    int m_longestType = 0;
    qint64 m_mostCpuNs = 0;
};

/** The running application's task clock (ensureWindows() makes it). */
inline TimedApplication& taskClock()
{
    return *static_cast<TimedApplication*>(QCoreApplication::instance());
}

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
        new TimedApplication(argc, argv);
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
