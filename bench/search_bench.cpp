// The phrase scanner over a 100 MB buffer of picture-like bytes that do not hold the phrase, against glibc's
// memmem (case-sensitive) and against folding a copy of the bytes and then memmem (without regard to case).
#include "search/phrase_matcher.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string.h>
#include <vector>

namespace {

constexpr std::size_t kSize = 100u * 1000u * 1000u;
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
    const std::size_t piece = 256 * 1024;
    const search::PhraseMatcher matcher(kPhrase, state.range(0) != 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(matcher.foundIn({b.data(), piece}));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(piece));
}
BENCHMARK(BM_ScannerOnePiece)->Arg(1)->Arg(0)->ArgName("matchCase")->MinTime(0.2);

void BM_GlibcMemmemOnePiece(benchmark::State& state)
{
    const auto& b = buffer();
    const std::size_t piece = 256 * 1024;
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

} // namespace

BENCHMARK_MAIN();
