// The automatic show with a sound beside every picture, in the real windows (offscreen): how long the event
// loop waits while a tick opens and plays the picture's 10 MB MP3 and measures the next one (the first
// measuring of a file scans all its frames). The same show without sounds gives the pictures' own share, and
// the sound work of one picture is also timed on its own. SHOW_BENCH_STEPS=1 lists every step and every gap
// over 30 ms on standard error.
#include "bench_support.h"

#include "app/Main.h"
#include "app/windows.h"
#include "platform/audio_output.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "platform/show_timer.h"
#include "platform/sound_length.h"
#include "support/jpeg_builder.h"
#include "support/scripted_dialogs.h"
#include "support/sound_builder.h"
#include "viewer/Pliki.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kPictures = 20;
// 10 MB of 128 kbit/s frames (about 11 minutes): more frames to scan than the same size at a higher rate.
constexpr int kTenMegabyteFrames = 10 * 1024 * 1024 / 417;

testing_support::ScriptedDialogs* g_dialogs = nullptr;

void ensureWindows()
{
    g_dialogs = &bench_support::ensureWindows();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush()
        || ::fsync(file.handle()) != 0)
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

/** Twenty small photograph-like JPEGs p00.jpg … p19.jpg, made once; with `sounds` each has a 10 MB MP3. */
QString showDirectory(bool sounds)
{
    static QTemporaryDir withSounds;
    static QTemporaryDir without;
    static const bool made = [] {
        const QByteArray jpeg = testing_support::encodeJpeg(testing_support::photoLikeImage(320, 240));
        const QByteArray mp3 = testing_support::mp3Frames(kTenMegabyteFrames);
        for (int i = 0; i < kPictures; ++i) {
            const QString name = QStringLiteral("p%1").arg(i, 2, 10, QLatin1Char('0'));
            writeFile(without.filePath(name + QStringLiteral(".jpg")), jpeg);
            writeFile(withSounds.filePath(name + QStringLiteral(".jpg")), jpeg);
            writeFile(withSounds.filePath(name + QStringLiteral(".mp3")), mp3);
        }
        return true;
    }();
    (void)made;
    return sounds ? withSounds.path() : without.path();
}

/** Drops the sounds' pages from the page cache (they were flushed when written), as after a restart. */
void dropSoundsFromPageCache(const QString& directory)
{
    for (const QString& name : QDir(directory).entryList({QStringLiteral("*.mp3")}, QDir::Files)) {
        const int fd = ::open(QFile::encodeName(QDir(directory).filePath(name)).constData(), O_RDONLY);
        if (fd >= 0) {
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            ::close(fd);
        }
    }
}

void openDirectory(const QString& path)
{
    FMain->GroupBox1->lblDir->setText(path);
    FMain->mnuPodkatalogClick();
}

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(double(values.size()) * fraction))];
}

/** A gap of the event loop longer than 1 ms: when it ended and how long it was, on the wall clock and as the loop's
 * own. */
struct Gap {
    qint64 endNs;
    double wallMs;
    double ownMs;
};

/** Counts of gaps in 10 µs classes up to 2 s (longer ones in the last class), for percentiles in fixed memory. */
class GapHistogram {
public:
    void add(double ms)
    {
        ++m_counts[std::min(m_counts.size() - 1, std::size_t(ms * 100))];
        ++m_total;
    }
    [[nodiscard]] double percentile(double fraction) const
    {
        const auto wanted = std::uint64_t(double(m_total) * fraction);
        std::uint64_t seen = 0;
        for (std::size_t i = 0; i < m_counts.size(); ++i) {
            seen += m_counts[i];
            if (seen > wanted)
                return double(i + 1) / 100;
        }
        return double(m_counts.size()) / 100;
    }
    [[nodiscard]] std::uint64_t total() const { return m_total; }

private:
    std::vector<std::uint64_t> m_counts = std::vector<std::uint64_t>(200000);
    std::uint64_t m_total = 0;
};

/**
 * The time between iterations of the event loop: a 0 ms timer fires once in every iteration, so the distance
 * between two firings is how long the loop was kept from its other events. The machine is shared, so each gap
 * is also taken without the time this thread waited for a processor that other programs held (the kernel's run
 * delay): what is left is the loop's own work, including its waits for the disk or for another thread. Every
 * gap goes into the histograms; those over 1 ms are also kept one by one, with their time.
 */
class LoopGaps {
public:
    explicit LoopGaps(const QElapsedTimer& clock)
        : m_clock(clock)
        , m_schedstat(::open("/proc/thread-self/schedstat", O_RDONLY))
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { record(); });
        m_last = m_clock.nsecsElapsed();
        m_lastDelay = runDelayNs();
        m_timer.start();
    }
    ~LoopGaps() { ::close(m_schedstat); }
    LoopGaps(const LoopGaps&) = delete;
    LoopGaps& operator=(const LoopGaps&) = delete;

    [[nodiscard]] const std::vector<Gap>& longGaps() const { return m_long; }
    [[nodiscard]] const GapHistogram& wall() const { return m_wall; }
    [[nodiscard]] const GapHistogram& own() const { return m_own; }

private:
    void record()
    {
        const qint64 now = m_clock.nsecsElapsed();
        const qint64 delay = runDelayNs();
        const Gap gap {
            now, double(now - m_last) / 1e6, double(std::max<qint64>(0, (now - m_last) - (delay - m_lastDelay))) / 1e6};
        m_wall.add(gap.wallMs);
        m_own.add(gap.ownMs);
        if (gap.wallMs > 1)
            m_long.push_back(gap);
        m_last = now;
        m_lastDelay = delay;
    }

    /** The second field of the thread's schedstat: nanoseconds spent runnable but waiting for a processor. */
    [[nodiscard]] qint64 runDelayNs() const
    {
        char text[96] = {};
        if (m_schedstat < 0 || ::pread(m_schedstat, text, sizeof text - 1, 0) <= 0)
            return 0;
        const char* second = std::strchr(text, ' ');
        return second ? std::strtoll(second + 1, nullptr, 10) : 0;
    }

    const QElapsedTimer& m_clock;
    int m_schedstat;
    QTimer m_timer;
    qint64 m_last = 0;
    qint64 m_lastDelay = 0;
    GapHistogram m_wall;
    GapHistogram m_own;
    std::vector<Gap> m_long;
};

/** The CPU time this thread has used, in ms: unlike the wall clock, it leaves out time other processes took. */
double threadCpuMs()
{
    timespec now {};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

/** One step of the pass (the directory's opening, the show's start, a tick): when it ran and its CPU time. */
struct Step {
    qint64 startNs;
    qint64 endNs;
    double cpuMs;
    [[nodiscard]] double wallMs() const { return double(endNs - startNs) / 1e6; }
};

struct ShowTimes {
    std::vector<Step> steps;
    std::vector<Gap> longGaps;
    GapHistogram wall;
    GapHistogram own;
};

/**
 * Opens the directory, as the program does with the remembered one when it starts, and half a second later (a
 * quick user) starts a pass of the show with a delay of 1 s, all inside one event loop whose gaps are recorded.
 * Each shown picture raises the next delay to the following sound's length (minutes); the harness puts it back
 * to 1 s after every tick, so the pass takes 20 s while each tick does the same sound work.
 */
ShowTimes runShow(const QString& directory)
{
    FPliki->FLBox1->selectIndex(-1);
    FMain->SpinEdit1->setValue(1);
    ShowTimes times;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    bool started = false;
    const std::function<void()> tick = FPliki->Timer11->onTick;
    auto timed = [&](const std::function<void()>& step) {
        const qint64 start = clock.nsecsElapsed();
        const double cpu = threadCpuMs();
        step();
        times.steps.push_back({start, clock.nsecsElapsed(), threadCpuMs() - cpu});
        FMain->SpinEdit1->setValue(1);
        if (started && !FPliki->Show.isRunning())
            loop.quit();
    };
    FPliki->Timer11->onTick = [&] { timed(tick); };
    const LoopGaps gaps(clock);
    QTimer::singleShot(0, [&] {
        timed([&] { openDirectory(directory); });
        QTimer::singleShot(500, [&] {
            started = true;
            timed([] { FMain->mnuAuto->trigger(); });
        });
    });
    loop.exec();
    FPliki->Timer11->onTick = tick;
    times.longGaps = gaps.longGaps();
    times.wall = gaps.wall();
    times.own = gaps.own();
    return times;
}

/**
 * The show over 20 small pictures, with (sounds:1) or without (sounds:0) a 10 MB MP3 beside each. Each pass
 * measures every sound afresh (the remembered lengths are forgotten). With first_start:1 the sound output is
 * shut down and the sounds are dropped from the page cache before the pass, as in a program that has just
 * started: the output then starts during the pass.
 *
 * Counters: the largest gap and the 99th percentile over every iteration of the loop, on the wall clock and
 * as the loop's own share; the largest own gap that holds a step of the show (its work: the pictures and, with
 * sounds, the sound work) and the largest own gap outside every step; the steps' wall and CPU times.
 */
void BM_ShowLoopGaps(benchmark::State& state)
{
    ensureWindows();
    const bool sounds = state.range(0) != 0;
    const bool firstStart = state.range(1) != 0;
    const QString directory = showDirectory(sounds);
    ShowTimes times;
    for (auto _ : state) {
        platform::clearSoundLengthCache();
        if (firstStart) {
            platform::shutdownAudioOutput();
            dropSoundsFromPageCache(directory);
        } else {
            platform::ensureAudioOutput();
        }
        g_dialogs->clear();
        // Another directory first, so that the pass reads its list afresh as the program does when it starts.
        openDirectory(showDirectory(!sounds));
        times = runShow(directory);
    }
    std::vector<double> duringSteps;
    std::vector<double> outsideSteps;
    for (const Gap& gap : times.longGaps) {
        const qint64 start = gap.endNs - qint64(gap.wallMs * 1e6);
        const bool holdsStep = std::any_of(times.steps.begin(), times.steps.end(),
            [&](const Step& step) { return step.startNs < gap.endNs && step.endNs > start; });
        (holdsStep ? duringSteps : outsideSteps).push_back(gap.ownMs);
    }
    std::vector<double> stepWall;
    std::vector<double> stepCpu;
    for (const Step& step : times.steps) {
        stepWall.push_back(step.wallMs());
        stepCpu.push_back(step.cpuMs);
    }
    std::vector<double> longWall;
    std::vector<double> longOwn;
    for (const Gap& gap : times.longGaps) {
        longWall.push_back(gap.wallMs);
        longOwn.push_back(gap.ownMs);
    }
    state.counters["max_gap_ms"] = percentile(longWall, 1.0);
    state.counters["p99_gap_ms"] = times.wall.percentile(0.99);
    state.counters["p9999_gap_ms"] = times.wall.percentile(0.9999);
    state.counters["own_max_gap_ms"] = percentile(longOwn, 1.0);
    state.counters["own_p99_gap_ms"] = times.own.percentile(0.99);
    state.counters["own_gaps_over_60ms"]
        = double(std::count_if(longOwn.begin(), longOwn.end(), [](double gap) { return gap > 60; }));
    state.counters["step_max_gap_ms"] = percentile(duringSteps, 1.0);
    state.counters["idle_max_gap_ms"] = percentile(outsideSteps, 1.0);
    state.counters["loop_iterations"] = double(times.wall.total());
    state.counters["steps"] = double(times.steps.size());
    state.counters["step_median_ms"] = percentile(stepWall, 0.5);
    state.counters["step_max_ms"] = percentile(stepWall, 1.0);
    state.counters["step_median_cpu_ms"] = percentile(stepCpu, 0.5);
    state.counters["step_max_cpu_ms"] = percentile(stepCpu, 1.0);
    state.counters["boxes"] = double(g_dialogs->records().size());
    state.SetLabel(sounds ? "driver " + platform::audioDriverName().toStdString() : "no sounds");
    if (qEnvironmentVariableIsSet("SHOW_BENCH_STEPS")) {
        for (const Step& step : times.steps)
            std::fprintf(stderr, "step at %.3f s: %.1f ms, CPU %.1f ms\n", double(step.startNs) / 1e9, step.wallMs(),
                step.cpuMs);
        for (const Gap& gap : times.longGaps) {
            if (gap.wallMs > 30)
                std::fprintf(stderr, "gap ending %.3f s: %.1f ms, own %.1f ms\n", double(gap.endNs) / 1e9, gap.wallMs,
                    gap.ownMs);
        }
    }
}
BENCHMARK(BM_ShowLoopGaps)
    ->ArgNames({"sounds", "first_start"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

/**
 * The sound work of showing one picture, alone, with the output open: PrepareNextSound when the next 10 MB
 * MP3's length is not known yet (a full frame scan in the GUI thread) and when the measuring thread has already
 * found it, and PlayPictureSound opening and playing the picture's own. Largest and median over the 20 pictures.
 */
void BM_SoundWorkPerPicture(benchmark::State& state)
{
    ensureWindows();
    const QString directory = showDirectory(true);
    openDirectory(directory);
    platform::ensureAudioOutput();
    std::vector<double> unknownMs;
    std::vector<double> knownMs;
    std::vector<double> playMs;
    const auto timeMs = [](const std::function<void()>& work) {
        QElapsedTimer clock;
        clock.start();
        work();
        return double(clock.nsecsElapsed()) / 1e6;
    };
    for (auto _ : state) {
        for (int i = 0; i < kPictures; ++i) {
            FPliki->FLBox1->selectIndex(i);
            FPliki->CurrentPath = FPliki->FLBox1->entryPath(i);
            platform::clearSoundLengthCache();
            unknownMs.push_back(timeMs([] { FPliki->PrepareNextSound(); }));
            knownMs.push_back(timeMs([] { FPliki->PrepareNextSound(); }));
            playMs.push_back(timeMs([] { FPliki->PlayPictureSound(); }));
        }
    }
    state.counters["prepare_unknown_max_ms"] = percentile(unknownMs, 1.0);
    state.counters["prepare_unknown_median_ms"] = percentile(unknownMs, 0.5);
    state.counters["prepare_known_max_ms"] = percentile(knownMs, 1.0);
    state.counters["prepare_known_median_ms"] = percentile(knownMs, 0.5);
    state.counters["play_max_ms"] = percentile(playMs, 1.0);
    state.counters["play_median_ms"] = percentile(playMs, 0.5);
    state.counters["next_delay_s"] = FMain->SpinEdit1->value();
    FPliki->MediaPlayer1.close();
}
BENCHMARK(BM_SoundWorkPerPicture)->Unit(benchmark::kMillisecond)->Iterations(3);

/** a.jpg, b.jpg that cannot be shown, and c.jpg whose sound c.wav is damaged; made once. */
QString soakDirectory()
{
    static QTemporaryDir dir;
    static const bool made = [] {
        writeFile(dir.filePath(QStringLiteral("a.jpg")),
            testing_support::encodeJpeg(testing_support::photoLikeImage(64, 48)));
        writeFile(dir.filePath(QStringLiteral("b.jpg")), QByteArray("not a picture"));
        writeFile(dir.filePath(QStringLiteral("c.jpg")),
            testing_support::encodeJpeg(testing_support::photoLikeImage(64, 48)));
        writeFile(dir.filePath(QStringLiteral("c.wav")), QByteArray(4000, 'j'));
        return true;
    }();
    (void)made;
    return dir.path();
}

/** Where the stack stands in the caller: the frame address of a function called from there. */
__attribute__((noinline)) std::uintptr_t stackProbe()
{
    return reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
}

/**
 * An unattended show with repeat on over a picture that cannot be shown and a damaged sound, with the real
 * message boxes (offscreen): the first failure of a tick opens a box, which nobody closes, and the ticks go on
 * inside it, each failing again. The ticks come as fast as the event loop takes them (each through the error
 * guard, as the show's timer posts them) instead of once a second, so a day of ticks takes a minute or two.
 *
 * Counters: the ticks; the deepest nesting of event loops; the stack a tick used at the start and at most
 * (from the benchmark's frame to the tick); the resident size after the first 1,000 ticks, at most and at the end;
 * and the count line of the box's text at the end.
 */
void BM_ShowSoakWithABoxHeldOpen(benchmark::State& state)
{
    ensureWindows();
    const auto ticks = int(state.range(0));
    std::unique_ptr<platform::Dialogs> scripted = platform::installDialogs(platform::makeQtDialogs());
    openDirectory(soakDirectory());
    FMain->CheckRepetuj->setChecked(true);
    FMain->SpinEdit1->setValue(1);
    int done = 0;
    int deepestLoop = 0;
    std::size_t firstStack = 0;
    std::size_t deepestStack = 0;
    long rssStart = -1;
    long rssMax = 0;
    long rssEnd = -1;
    QString boxText;
    for (auto _ : state) {
        QEventLoop loop;
        const std::uintptr_t base = stackProbe();
        QTimer driver;
        driver.setInterval(0);
        const auto tick = [&] {
            if (done >= ticks) {
                // Close the box, and any the tick that opened it opens next, until none is left.
                if (!platform::dialogOpen()) {
                    driver.stop();
                    loop.quit();
                }
                platform::cancelOpenDialogs();
                return;
            }
            platform::guarded([] { FPliki->Timer11Timer(); });
            ++done;
            const std::size_t stack = base - stackProbe();
            if (done == 2)
                firstStack = stack;
            deepestStack = std::max(deepestStack, stack);
            deepestLoop = std::max(deepestLoop, QThread::currentThread()->loopLevel());
            if (done % 1000 == 0) {
                const long rss = bench_support::residentKilobytes();
                if (done == 1000)
                    rssStart = rss;
                rssMax = std::max(rssMax, rss);
            }
            if (done == ticks) {
                if (const auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                    boxText = box->text();
                rssEnd = bench_support::residentKilobytes();
                FMain->mnuStop->trigger();
            }
        };
        // As the show's timer does: the timeout only posts the tick, since Qt never runs a timer's handler again
        // while it still runs, and the ticks must go on inside the box that a tick opened.
        bool posted = false;
        QObject::connect(&driver, &QTimer::timeout, [&] {
            if (posted)
                return;
            posted = true;
            QMetaObject::invokeMethod(
                &driver,
                [&] {
                    posted = false;
                    tick();
                },
                Qt::QueuedConnection);
        });
        FMain->mnuAuto->trigger();
        driver.start();
        loop.exec();
    }
    platform::installDialogs(std::move(scripted));
    FMain->CheckRepetuj->setChecked(false);
    state.counters["ticks"] = done;
    state.counters["max_loop_level"] = deepestLoop;
    state.counters["stack_bytes_first"] = double(firstStack);
    state.counters["stack_bytes_max"] = double(deepestStack);
    state.counters["rss_kb_after_1000"] = double(rssStart);
    state.counters["rss_kb_max"] = double(rssMax);
    state.counters["rss_kb_end"] = double(rssEnd);
    state.SetLabel(boxText.section(QLatin1Char('\n'), -1).toStdString());
}
BENCHMARK(BM_ShowSoakWithABoxHeldOpen)->Arg(86400)->ArgName("ticks")->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
