// The marker search over a 100 MB file held in memory, against glibc's memmem over the same bytes.
#include "store/described_file.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string.h>
#include <vector>

namespace {

constexpr std::size_t kSize = std::size_t {100} * 1000 * 1000;

/** Picture-like bytes (every value occurs, '@' and '|' included) that hold no marker. */
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
        for (std::size_t i = 0; i + 4 <= b.size(); ++i) {
            if (b[i] == '@' && b[i + 1] == '|' && b[i + 2] == '|' && b[i + 3] == '@')
                b[i + 3] = '#';
        }
        return b;
    }();
    return bytes;
}

void BM_FindMarker(benchmark::State& state)
{
    const auto& b = buffer();
    for (auto _ : state)
        benchmark::DoNotOptimize(store::findMarker({b.data(), b.size()}));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(b.size()));
}

void BM_Memmem(benchmark::State& state)
{
    const auto& b = buffer();
    for (auto _ : state)
        benchmark::DoNotOptimize(::memmem(b.data(), b.size(), "@||@", 4));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(b.size()));
}

} // namespace

BENCHMARK(BM_Memmem)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindMarker)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
