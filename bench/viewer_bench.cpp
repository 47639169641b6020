// Showing the next picture in the real windows (offscreen) against a bare libjpeg decode of the same file,
// reading the file list of 10,000 pictures into the list window against a bare readdir + sort, and the
// process's memory while stepping through 2,000 pictures; saving a description into a 24-megapixel JPEG against
// showing it and against copying it with a flush.
#include "bench_support.h"
#include "store/picture_formats.h"

#include "app/Main.h"
#include "app/windows.h"
#include "platform/dialogs.h"
#include "platform/screen.h"
#include "platform/show_timer.h"
#include "support/bmp_builder.h"
#include "support/jpeg_builder.h"
#include "support/scripted_dialogs.h"
#include "viewer/Fotka.h"
#include "viewer/Pismo.h"
#include "viewer/Pliki.h"
#include "viewer/file_listing.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using bench_support::ensureWindows;
using bench_support::residentKilobytes;

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

/** Two 24-megapixel photograph-like JPEGs (6000 × 4000), made once. */
const QString& largePictures()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QByteArray jpeg = testing_support::encodeJpeg(testing_support::photoLikeImage(6000, 4000));
        writeFile(dir.filePath(QStringLiteral("a.jpg")), jpeg);
        writeFile(dir.filePath(QStringLiteral("b.jpg")), jpeg);
        return dir.path();
    }();
    return path;
}

/** Runs the event loop until the picture window has painted its picture once more. */
void waitForPaint(quint64 before)
{
    while (FFotka->Image11->paintCount() == before)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

void openDirectory(const QString& path)
{
    FMain->GroupBox1->lblDir->setText(path);
    FMain->mnuPodkatalogClick();
}

/** mnuNastepnyClick, from the first entry again after the last (as the show goes on). */
void stepForward()
{
    if (FPliki->FLBox1->selectedIndex() >= FPliki->FLBox1->entryCount() - 1)
        FPliki->FLBox1->selectIndex(-1);
    FMain->mnuNastepnyClick();
}

/** The picture window fitted to a large picture on a 1280 × 1024 screen and scrolled to the top, as after a fit. */
void showFittedAtTop(const QString& directory, bool readAhead)
{
    platform::fakePrimaryScreenSize(QSize(1280, 1024));
    FFotka->setReadAhead(readAhead);
    openDirectory(directory);
    FFotka->hide();
    FMain->mnuNastepnyClick();
    while (FFotka->decoding())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    FFotka->scrollArea()->verticalScrollBar()->setValue(0);
    QCoreApplication::processEvents();
}

/** Two progressive 24-megapixel JPEGs, made once. */
const QString& largeProgressivePictures()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QByteArray jpeg
            = testing_support::encodeJpeg(testing_support::photoLikeImage(6000, 4000), {.progressive = true});
        writeFile(dir.filePath(QStringLiteral("a.jpg")), jpeg);
        writeFile(dir.filePath(QStringLiteral("b.jpg")), jpeg);
        return dir.path();
    }();
    return path;
}

/** Two 24-megapixel BMPs (6000 × 4000, 24 bits, 72 MB each), made once. */
const QString& largeBmps()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        QByteArray bmp = testing_support::bmpFromImage(testing_support::photoLikeImage(6000, 4000));
        // Pixel bytes "@||@" would start a description block 37 MB long, which the field refuses.
        std::replace(bmp.begin() + 54, bmp.end(), '@', 'A');
        writeFile(dir.filePath(QStringLiteral("a.bmp")), bmp);
        writeFile(dir.filePath(QStringLiteral("b.bmp")), bmp);
        return dir.path();
    }();
    return path;
}

/**
 * Steps from mnuNastepnyClick until the window's visible part is painted (`whole`: and every row is decoded),
 * nothing prepared ahead.
 */
void stepThroughLarge(benchmark::State& state, const QString& directory, bool whole, bool atBottom = false)
{
    ensureWindows();
    showFittedAtTop(directory, false);
    if (atBottom) {
        QScrollBar* bar = FFotka->scrollArea()->verticalScrollBar();
        bar->setValue(bar->maximum());
    }
    for (auto _ : state) {
        const quint64 before = FFotka->Image11->paintCount();
        stepForward();
        while ((whole && FFotka->decoding()) || FFotka->Image11->paintCount() == before)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    state.counters["megapixels"] = FFotka->Image11->width() * double(FFotka->Image11->height()) / 1e6;
    state.counters["window_height"] = FFotka->height();
    FFotka->setReadAhead(true);
}

void BM_NextPicture24MP(benchmark::State& state)
{
    stepThroughLarge(state, largePictures(), false);
}
BENCHMARK(BM_NextPicture24MP)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

void BM_WholePicture24MP(benchmark::State& state)
{
    stepThroughLarge(state, largePictures(), true);
}
BENCHMARK(BM_WholePicture24MP)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

/**
 * In fit mode: the next 24-megapixel photo, not read ahead, decoded at a quarter of its size on a worker and painted
 * whole, shrunk into a window of 1260 × 840 on a 1280 × 1024 screen. Compare with BM_LibjpegDecode24MP.
 */
void BM_NextFittedPicture24MP(benchmark::State& state)
{
    ensureWindows();
    FMain->GroupBox1->dopasuj = true;
    showFittedAtTop(largePictures(), false);
    for (auto _ : state) {
        stepForward();
        // Waits without spinning: the worker's rows arrive as posted events.
        while (FFotka->decoding())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        // The paint of the last rows is pending now.
        QCoreApplication::processEvents();
    }
    state.counters["window_width"] = FFotka->width();
    state.counters["window_height"] = FFotka->height();
    FMain->GroupBox1->dopasuj = false;
    FFotka->setReadAhead(true);
}
BENCHMARK(BM_NextFittedPicture24MP)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

/** Scrolled to the bottom, the rows above the visible ones are passed over first, without drawing them. */
void BM_NextPicture24MPScrolledDown(benchmark::State& state)
{
    stepThroughLarge(state, largePictures(), false, true);
}
BENCHMARK(BM_NextPicture24MPScrolledDown)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

void BM_NextProgressive24MP(benchmark::State& state)
{
    stepThroughLarge(state, largeProgressivePictures(), false);
}
BENCHMARK(BM_NextProgressive24MP)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

void BM_WholeProgressive24MP(benchmark::State& state)
{
    stepThroughLarge(state, largeProgressivePictures(), true);
}
BENCHMARK(BM_WholeProgressive24MP)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

void BM_NextBmp24MP(benchmark::State& state)
{
    stepThroughLarge(state, largeBmps(), false);
}
BENCHMARK(BM_NextBmp24MP)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

void BM_WholeBmp24MP(benchmark::State& state)
{
    stepThroughLarge(state, largeBmps(), true);
}
BENCHMARK(BM_WholeBmp24MP)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

/**
 * Steps through 1024 × 768 JPEGs (smaller than the screen: the window follows each picture's size and every row
 * is decoded before the first paint) from mnuNastepnyClick until painted; read-ahead off (range 0: the whole
 * decode on the window's thread) or on (1), stepping at once after each paint (the worst case for reading ahead).
 */
void BM_NextSmallPicture(benchmark::State& state)
{
    static QTemporaryDir dir;
    static const bool made = [] {
        for (int i = 0; i < 8; ++i) {
            writeFile(dir.filePath(QStringLiteral("s%1.jpg").arg(i)),
                testing_support::encodeJpeg(testing_support::photoLikeImage(1024 - i * 8, 768)));
        }
        return true;
    }();
    (void)made;
    ensureWindows();
    showFittedAtTop(dir.path(), state.range(0) != 0);
    for (auto _ : state) {
        const quint64 before = FFotka->Image11->paintCount();
        stepForward();
        waitForPaint(before);
    }
    state.counters["auto_size"] = FFotka->autoSize() ? 1 : 0;
    FFotka->setReadAhead(true);
}
BENCHMARK(BM_NextSmallPicture)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

/** Four distinct 24-megapixel JPEGs, made once. */
const QString& fourLargePictures()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        for (int i = 0; i < 4; ++i) {
            const QByteArray jpeg = testing_support::encodeJpeg(testing_support::photoLikeImage(6000 - i * 8, 4000));
            writeFile(dir.filePath(QStringLiteral("p%1.jpg").arg(i)),
                jpeg + "@||@Tatry, zdjęcie numer " + QByteArray::number(i));
        }
        return dir.path();
    }();
    return path;
}

/**
 * With ZELKAVIO_PERF_CONTROL naming the control FIFO of `perf record --control=fifo:FIFO -D -1`, switches the
 * profile on for the part measured only.
 */
void profileMeasuredPart(bool on)
{
    static const int fifo = [] {
        const QByteArray path = qgetenv("ZELKAVIO_PERF_CONTROL");
        return path.isEmpty() ? -1 : ::open(path.constData(), O_WRONLY | O_CLOEXEC);
    }();
    if (fifo >= 0) {
        const std::string command = on ? "enable\n" : "disable\n";
        (void)!::write(fifo, command.data(), command.size());
    }
}

/**
 * The next picture when it was prepared ahead, stepped once a second as the show does, 31 times: the time from
 * mnuNastepnyClick to the first paint of the new picture (the reported time is the median step; p90 and the
 * slowest beside it), the longest single task of the window's thread (an event the loop delivered, or the step's
 * own call; see bench_support::TimedApplication) while stepping and in the second between steps, and the memory
 * held meanwhile beyond what the windows held before (the shown picture's file and image, the prepared one's, and
 * the rest).
 */
void BM_NextPicture24MPPrepared(benchmark::State& state)
{
    ensureWindows();
    bench_support::TimedApplication& tasks = bench_support::taskClock();
    const long baseline = residentKilobytes();
    showFittedAtTop(fourLargePictures(), true);
    long extra = 0;
    std::vector<double> steps;
    double longestStepTask = 0;
    int longestStepTaskType = 0;
    double mostStepTaskCpu = 0;
    double longestIdleTask = 0;
    std::vector<double> stepCpu;
    for (auto _ : state) {
        for (int i = 0; i < 31; ++i) {
            // A second with the window's thread idle, as between a show's ticks; on a busy machine, until the next
            // picture is decoded too (the steps measure a picture prepared ahead).
            tasks.resetTasks();
            QEventLoop idle;
            QTimer::singleShot(1000, &idle, &QEventLoop::quit);
            idle.exec();
            while (!FFotka->readAhead().isDecoded()) {
                QTimer::singleShot(10, &idle, &QEventLoop::quit);
                idle.exec();
            }
            longestIdleTask = std::max(longestIdleTask, tasks.longestTaskMs());
            extra = std::max(extra, residentKilobytes() - baseline);
            const quint64 before = FFotka->Image11->paintCount();
            tasks.resetTasks();
            timespec cpuStart {};
            ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpuStart);
            profileMeasuredPart(true);
            QElapsedTimer step;
            step.start();
            tasks.task([] { stepForward(); });
            waitForPaint(before);
            steps.push_back(double(step.nsecsElapsed()) / 1e6);
            profileMeasuredPart(false);
            timespec cpuEnd {};
            ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpuEnd);
            stepCpu.push_back(
                double(cpuEnd.tv_sec - cpuStart.tv_sec) * 1e3 + double(cpuEnd.tv_nsec - cpuStart.tv_nsec) / 1e6);
            mostStepTaskCpu = std::max(mostStepTaskCpu, tasks.mostTaskCpuMs());
            if (tasks.longestTaskMs() > longestStepTask) {
                longestStepTask = tasks.longestTaskMs();
                longestStepTaskType = tasks.longestTaskType();
            }
        }
        std::vector<double> sorted = steps;
        std::sort(sorted.begin(), sorted.end());
        state.SetIterationTime(sorted[sorted.size() / 2] / 1e3);
        state.counters["p90_ms"] = sorted[sorted.size() * 9 / 10];
        state.counters["slowest_ms"] = sorted.back();
        std::sort(stepCpu.begin(), stepCpu.end());
        state.counters["step_thread_cpu_ms"] = stepCpu[stepCpu.size() / 2];
    }
    const double fileMB = double(QFileInfo(fourLargePictures() + QStringLiteral("/p0.jpg")).size()) / 1e6;
    const double imageMB = 6000.0 * 4000 * 4 / 1e6;
    state.counters["steps"] = double(steps.size());
    state.counters["longest_task_ms"] = longestStepTask;
    state.counters["longest_task_event"] = longestStepTaskType;
    state.counters["most_task_cpu_ms"] = mostStepTaskCpu;
    state.counters["longest_idle_task_ms"] = longestIdleTask;
    state.counters["rss_extra_MB"] = double(extra) / 1e3;
    state.counters["allowed_MB"] = 2 * (fileMB + imageMB) + 32;
}
BENCHMARK(BM_NextPicture24MPPrepared)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

/** The baseline: libjpeg-turbo decoding the same file from memory into a malloc'd BGRX buffer. */
void BM_LibjpegDecode24MP(benchmark::State& state)
{
    QFile file(largePictures() + QStringLiteral("/a.jpg"));
    if (!file.open(QIODevice::ReadOnly))
        state.SkipWithError("cannot read the picture");
    const QByteArray jpeg = file.readAll();
    for (auto _ : state) {
        jpeg_decompress_struct cinfo {};
        jpeg_error_mgr err {};
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(jpeg.constData()), jpeg.size());
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_EXT_BGRX;
        jpeg_start_decompress(&cinfo);
        const std::size_t stride = std::size_t(cinfo.output_width) * 4;
        std::unique_ptr<unsigned char[]> pixels(new unsigned char[stride * cinfo.output_height]);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = pixels.get() + stride * cinfo.output_scanline;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(pixels.get());
    }
}
BENCHMARK(BM_LibjpegDecode24MP)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

/** A directory of 10,000 picture names, made once. */
const QString& manyNames()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        for (int i = 0; i < 10000; ++i)
            writeFile(dir.filePath(QStringLiteral("Obraz %1.jpg").arg(i, 5, 10, QLatin1Char('0'))), "x");
        return dir.path();
    }();
    return path;
}

void BM_ReadList10000(benchmark::State& state)
{
    ensureWindows();
    openDirectory(manyNames());
    for (auto _ : state)
        FPliki->FLBox1->readList();
    state.counters["entries"] = FPliki->FLBox1->entryCount();
}
BENCHMARK(BM_ReadList10000)->Unit(benchmark::kMillisecond);

/** The listing alone, without the list window, to tell the window's share from the listing's. */
void BM_ListingOnly10000(benchmark::State& state)
{
    const QString& dir = manyNames();
    const QString mask = store::pictureMask();
    for (auto _ : state)
        benchmark::DoNotOptimize(viewer::listPictureFiles(platform::FilePath::fromText(dir), mask).size());
}
BENCHMARK(BM_ListingOnly10000)->Unit(benchmark::kMillisecond);

void BM_ReaddirSort10000(benchmark::State& state)
{
    const QByteArray path = QFile::encodeName(manyNames());
    for (auto _ : state) {
        std::vector<std::string> names;
        DIR* dir = opendir(path.constData());
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.')
                names.emplace_back(entry->d_name);
        }
        closedir(dir);
        std::sort(names.begin(), names.end());
        benchmark::DoNotOptimize(names.data());
    }
}
BENCHMARK(BM_ReaddirSort10000)->Unit(benchmark::kMillisecond);

/** Steps through 2,000 small described pictures twice; the resident size must not grow on the second pass. */
void BM_Step2000PicturesMemory(benchmark::State& state)
{
    ensureWindows();
    QTemporaryDir dir;
    const QByteArray jpeg = testing_support::encodeJpeg(testing_support::photoLikeImage(320, 240));
    for (int i = 0; i < 2000; ++i)
        writeFile(dir.filePath(QStringLiteral("p%1.jpg").arg(i, 4, 10, QLatin1Char('0'))),
            jpeg + "@||@Opis obrazu numer " + QByteArray::number(i));
    openDirectory(dir.path());
    auto stepThrough = [] {
        FPliki->FLBox1->selectIndex(-1);
        for (int i = 0; i < 2000; ++i) {
            FMain->mnuNastepnyClick();
            QCoreApplication::processEvents();
        }
    };
    long before = 0;
    long after = 0;
    for (auto _ : state) {
        stepThrough();
        before = residentKilobytes();
        stepThrough();
        after = residentKilobytes();
    }
    state.counters["rss_before_kB"] = double(before);
    state.counters["rss_after_kB"] = double(after);
    state.counters["rss_growth_kB"] = double(after - before);
}
BENCHMARK(BM_Step2000PicturesMemory)->Unit(benchmark::kSecond)->Iterations(1);

// ---- saving a description ----

/**
 * Lets the shown picture finish decoding on its worker, as it has long before a user who looks at it has typed a
 * description or moves on: the figures then hold the command alone, not a decode left over from the set-up.
 */
void waitForDecoding()
{
    while (FFotka->decoding())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

/** A description of `bytes` bytes in lines of about 80 characters. */
QString descriptionOf(qsizetype bytes)
{
    QString text;
    text.reserve(bytes);
    while (text.size() < bytes)
        text += QStringLiteral("Zakopane, Morskie Oko o świcie: mgła nad wodą, granie w słońcu, cisza i chłód.\n");
    text.truncate(bytes);
    return text;
}

/** Shows a.jpg of the large pictures afresh, with a description of `bytes` bytes typed into the field. */
void prepareSave(qsizetype bytes)
{
    FPliki->FLBox1->SetListPath(largePictures() + QStringLiteral("/a.jpg"));
    FPliki->ShowCurrentPicture();
    FPismo->Memo1->selectAll();
    FPismo->Memo1->insertPlainText(descriptionOf(bytes));
    waitForDecoding();
}

/** Bytes this process has read and written through system calls so far (rchar and wchar of /proc/self/io). */
std::pair<double, double> bytesReadAndWritten()
{
    QFile io(QStringLiteral("/proc/self/io"));
    double read = 0;
    double written = 0;
    if (io.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : io.readAll().split('\n')) {
            if (line.startsWith("rchar:"))
                read = line.mid(6).trimmed().toDouble();
            else if (line.startsWith("wchar:"))
                written = line.mid(6).trimmed().toDouble();
        }
    }
    return {read, written};
}

/**
 * The whole save of the description field into a 24-megapixel JPEG: checks, cut, re-display, paste, write. The
 * bytes the save reads and writes, in whole files, tell how often it reads and writes the picture.
 */
void BM_SaveDescription24MP(benchmark::State& state)
{
    ensureWindows();
    openDirectory(largePictures());
    double read = 0;
    double written = 0;
    for (auto _ : state) {
        state.PauseTiming();
        prepareSave(state.range(0));
        state.ResumeTiming();
        const auto before = bytesReadAndWritten();
        FMain->mnuZapisClick();
        const auto after = bytesReadAndWritten();
        read += after.first - before.first;
        written += after.second - before.second;
    }
    const double fileBytes = double(QFileInfo(largePictures() + QStringLiteral("/a.jpg")).size());
    state.counters["file_MB"] = fileBytes / 1e6;
    state.counters["whole_file_reads"] = read / fileBytes / double(state.iterations());
    state.counters["whole_file_writes"] = written / fileBytes / double(state.iterations());
}
BENCHMARK(BM_SaveDescription24MP)
    ->Arg(1024)
    ->Arg(std::int64_t {1024} * 1024)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3);

/** What the save spends in the field: the clipboard copy and putting the text back as a paste. */
void BM_SaveFieldShare(benchmark::State& state)
{
    ensureWindows();
    const QString text = descriptionOf(state.range(0));
    // The save pastes the text back while the re-display has the description window hidden.
    FPismo->hide();
    for (auto _ : state) {
        FPismo->Memo1->clearText();
        QGuiApplication::clipboard()->setText(text);
        FPismo->Memo1->insertPlainText(text);
    }
}
BENCHMARK(BM_SaveFieldShare)->Arg(1024)->Arg(std::int64_t {1024} * 1024)->Unit(benchmark::kMillisecond);

/**
 * The baseline: showing the same picture, and a copy of it written and flushed to the disk (cp + fsync). b.jpg holds
 * the same bytes as a.jpg before any save, without a description, as the save's re-display finds a.jpg.
 */
void BM_ShowCurrentPicture24MP(benchmark::State& state)
{
    ensureWindows();
    openDirectory(largePictures());
    FPliki->FLBox1->SetListPath(largePictures() + QStringLiteral("/b.jpg"));
    for (auto _ : state) {
        state.PauseTiming();
        waitForDecoding();
        state.ResumeTiming();
        FPliki->ShowCurrentPicture();
    }
}
BENCHMARK(BM_ShowCurrentPicture24MP)->Unit(benchmark::kMillisecond)->MinTime(3);

void BM_CopyAndFsync24MP(benchmark::State& state)
{
    const QString from = largePictures() + QStringLiteral("/b.jpg");
    const QString to = largePictures() + QStringLiteral("/copy.jpg");
    for (auto _ : state) {
        QFile in(from);
        QFile out(to);
        if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            state.SkipWithError("cannot copy");
            break;
        }
        out.write(in.readAll());
        out.flush();
        ::fsync(out.handle());
    }
    QFile::remove(to);
}
BENCHMARK(BM_CopyAndFsync24MP)->Unit(benchmark::kMillisecond)->MinTime(3);

// ---- the automatic show ----

/**
 * Ticks of a running show with a 1 s delay over 31 24-megapixel JPEGs: each tick's distance from its schedule
 * (k seconds after the start), and where the 30th tick falls. The time a picture takes to show is part of its
 * interval, so the ticks must not drift.
 */
void BM_ShowTickCadence24MP(benchmark::State& state)
{
    ensureWindows();
    QTemporaryDir dir;
    const QByteArray jpeg = testing_support::encodeJpeg(testing_support::photoLikeImage(6000, 4000));
    for (int i = 0; i < 31; ++i)
        writeFile(dir.filePath(QStringLiteral("p%1.jpg").arg(i, 2, 10, QLatin1Char('0'))), jpeg);
    openDirectory(dir.path());
    std::vector<double> errors;
    double last = 0;
    for (auto _ : state) {
        FPliki->FLBox1->selectIndex(-1);
        FMain->SpinEdit1->setValue(1);
        QElapsedTimer clock;
        std::vector<qint64> ticks;
        QEventLoop loop;
        const std::function<void()> tick = FPliki->Timer11->onTick;
        // The timer's ticks; the one that starting runs at once is not the timer's.
        FPliki->Timer11->onTick = [&] {
            ticks.push_back(clock.nsecsElapsed());
            tick();
            if (ticks.size() == 30)
                loop.quit();
        };
        clock.start();
        FMain->mnuAuto->trigger();
        loop.exec();
        FMain->mnuStop->trigger();
        FPliki->Timer11->onTick = tick;
        for (std::size_t k = 0; k < ticks.size(); ++k)
            errors.push_back(double(ticks[k]) / 1e6 - double(k + 1) * 1000.0);
        last = errors.back();
    }
    std::vector<double> magnitudes;
    for (const double e : errors)
        magnitudes.push_back(std::abs(e));
    std::sort(magnitudes.begin(), magnitudes.end());
    state.counters["median_abs_error_ms"] = magnitudes[magnitudes.size() / 2];
    state.counters["p95_abs_error_ms"] = magnitudes[magnitudes.size() * 95 / 100];
    state.counters["tick30_error_ms"] = last;
}
BENCHMARK(BM_ShowTickCadence24MP)->Unit(benchmark::kSecond)->Iterations(1);

/** A running show with a delay of 0 never ticks and costs next to nothing: the process's CPU share over 3 s. */
void BM_ShowIntervalZeroCpu(benchmark::State& state)
{
    ensureWindows();
    openDirectory(largePictures());
    double share = 0;
    for (auto _ : state) {
        FPliki->FLBox1->selectIndex(-1);
        FMain->SpinEdit1->setValue(0);
        FMain->mnuAuto->trigger(); // the first tick runs at once and sets the interval to 0
        FMain->SpinEdit1->setValue(0);
        QElapsedTimer clock;
        rusage before {};
        ::getrusage(RUSAGE_SELF, &before);
        clock.start();
        QEventLoop loop;
        QTimer::singleShot(3000, &loop, &QEventLoop::quit);
        loop.exec();
        rusage after {};
        ::getrusage(RUSAGE_SELF, &after);
        FMain->mnuStop->trigger();
        const auto micros = [](const timeval& t) { return double(t.tv_sec) * 1e6 + double(t.tv_usec); };
        const double cpu
            = micros(after.ru_utime) + micros(after.ru_stime) - micros(before.ru_utime) - micros(before.ru_stime);
        share = cpu / (double(clock.elapsed()) * 1000.0);
    }
    state.counters["cpu_percent"] = share * 100;
    state.counters["timer_timing"] = FPliki->Timer11->isTiming() ? 1 : 0;
}
BENCHMARK(BM_ShowIntervalZeroCpu)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
