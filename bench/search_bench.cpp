// The phrase scanner over a 100 MB buffer of picture-like bytes that do not hold the phrase, against glibc's
// memmem (case-sensitive) and against folding a copy of the bytes and then memmem (without regard to case).
#include "platform/repaint_wait.h"
#include "search/phrase_matcher.h"
#include "search/phrase_search.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <algorithm>

#include <cstdint>
#include <cstring>
#include <string.h>
#include <vector>

namespace {

constexpr std::size_t kSize = std::size_t {100} * 1000 * 1000;
const QByteArray kPhrase("Morskie Oko");
const QByteArray kFoldedPhrase("MORSKIE OKO");

/** Every byte value about equally often, as in compressed picture data; the phrase nowhere, in no case. */
const std::vector<std::uint8_t>& buffer()
{
    static const std::vector<std::uint8_t> bytes = [] {
        std::vector<std::uint8_t> b(kSize);
        std::uint32_t state = 2463534242u;
        for (auto& byte : b) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            byte = static_cast<std::uint8_t>(state >> 24);
        }
        return b;
    }();
    return bytes;
}

void setBytes(benchmark::State& state)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kSize));
}

void BM_Scanner(benchmark::State& state)
{
    const auto& b = buffer();
    const search::PhraseMatcher matcher(kPhrase, state.range(0) != 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(matcher.foundIn({b.data(), b.size()}));
    setBytes(state);
}
BENCHMARK(BM_Scanner)->Arg(1)->Arg(0)->ArgName("matchCase")->Unit(benchmark::kMillisecond)->MinTime(0.3);

void BM_GlibcMemmem(benchmark::State& state)
{
    const auto& b = buffer();
    for (auto _ : state)
        benchmark::DoNotOptimize(::memmem(b.data(), b.size(), kPhrase.constData(), std::size_t(kPhrase.size())));
    setBytes(state);
}
BENCHMARK(BM_GlibcMemmem)->Unit(benchmark::kMillisecond)->MinTime(0.3);

// One read's piece (256 KiB), which the search scans while it is still in the cache after the read.
void BM_ScannerOnePiece(benchmark::State& state)
{
    const auto& b = buffer();
    const std::size_t piece = std::size_t {256} * 1024;
    const search::PhraseMatcher matcher(kPhrase, state.range(0) != 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(matcher.foundIn({b.data(), piece}));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(piece));
}
BENCHMARK(BM_ScannerOnePiece)->Arg(1)->Arg(0)->ArgName("matchCase")->MinTime(0.2);

// The same piece with each scanner this processor has (0 portable, 1 SSE2, 2 AVX2, 3 AVX-512), case-sensitive.
void BM_ScannerKindOnePiece(benchmark::State& state)
{
    const auto scanner = static_cast<search::Scanner>(state.range(0));
    if (!search::scannerAvailable(scanner)) {
        state.SkipWithError("this processor lacks the scanner");
        return;
    }
    const auto& b = buffer();
    const std::size_t piece = std::size_t {256} * 1024;
    const search::PhraseMatcher matcher(kPhrase, true);
    for (auto _ : state)
        benchmark::DoNotOptimize(search::foundInWith(matcher, {b.data(), piece}, scanner));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(piece));
}
BENCHMARK(BM_ScannerKindOnePiece)->DenseRange(1, 3)->ArgName("scanner")->MinTime(0.2);

void BM_GlibcMemmemOnePiece(benchmark::State& state)
{
    const auto& b = buffer();
    const std::size_t piece = std::size_t {256} * 1024;
    for (auto _ : state)
        benchmark::DoNotOptimize(::memmem(b.data(), piece, kPhrase.constData(), std::size_t(kPhrase.size())));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(piece));
}
BENCHMARK(BM_GlibcMemmemOnePiece)->MinTime(0.2);

void BM_FoldCopyThenMemmem(benchmark::State& state)
{
    const auto& b = buffer();
    std::vector<std::uint8_t> folded(b.size());
    for (auto _ : state) {
        for (std::size_t i = 0; i < b.size(); ++i)
            folded[i] = search::foldAsciiLetter(b[i]);
        benchmark::DoNotOptimize(
            ::memmem(folded.data(), folded.size(), kFoldedPhrase.constData(), std::size_t(kFoldedPhrase.size())));
    }
    setBytes(state);
}
BENCHMARK(BM_FoldCopyThenMemmem)->Unit(benchmark::kMillisecond)->MinTime(0.3);

// The worst case of a scan that compares the whole phrase wherever its probed bytes stand: 10 MB of "xy" over and
// over, and the phrase "xy" 5,000 times and "z", whose probed pair stands at every second start (matchCase 0 and
// 1). scripts/search-worst-case.sh times the same file and phrase in whole processes against GNU grep.
void BM_RepeatingPhraseWorstCase(benchmark::State& state)
{
    static const QByteArray data = QByteArray("xy").repeated(qsizetype {5} * 1024 * 1024);
    const search::PhraseMatcher matcher(QByteArray("xy").repeated(5000) + "z", state.range(0) != 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(matcher.foundIn(platform::asBytes(data)));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * data.size());
}
BENCHMARK(BM_RepeatingPhraseWorstCase)->Arg(0)->Arg(1)->ArgName("matchCase")->Unit(benchmark::kMillisecond);

/** A window that notes the longest time between two of its paints. */
class PaintClock : public QWidget {
public:
    qint64 longestGapMs = 0;
    void restart()
    {
        longestGapMs = 0;
        m_clock.start();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (m_clock.isValid())
            longestGapMs = std::max(longestGapMs, m_clock.restart());
    }

private:
    QElapsedTimer m_clock;
};

// A search of 48 files of 2 MB on worker threads while the window thread waits: how long the window goes without
// a paint at most (the window asks for one at every turn, as the search window's counter does).
void BM_WindowPaintsDuringASearch(benchmark::State& state)
{
    if (!qApp) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "search_bench";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    QTemporaryDir dir;
    QStringList names;
    QByteArray filler;
    for (int i = 0; i < 1024 * 1024; ++i)
        filler += "xy"; // a candidate at every other byte, so the scan takes a while
    for (int i = 0; i < 48; ++i) {
        names << QStringLiteral("p%1.jpg").arg(i);
        QFile file(dir.filePath(names.back()));
        if (!file.open(QIODevice::WriteOnly) || file.write(filler) != filler.size())
            state.SkipWithError("cannot write the files");
    }
    PaintClock window;
    window.resize(200, 200);
    window.show();
    QApplication::processEvents();
    qint64 longest = 0;
    for (auto _ : state) {
        window.restart();
        search::DirectorySearch run(dir.path(), names, QByteArray("xyxz"), true);
        platform::waitRepaintingOnly([&](std::chrono::milliseconds timeout) {
            window.update();
            return run.waitFor(timeout);
        });
        benchmark::DoNotOptimize(run.result());
        longest = std::max(longest, window.longestGapMs);
    }
    state.counters["longest_paint_gap_ms"] = static_cast<double>(longest);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 48 * filler.size());
}
BENCHMARK(BM_WindowPaintsDuringASearch)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
