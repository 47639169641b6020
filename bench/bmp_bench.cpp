// Decoding a 24-bit, 24-megapixel BMP against a plain copy of its pixel data: the decoder should cost at most
// three times the copy. Each is measured twice: writing into freshly allocated memory (what displaying a new
// picture costs, page faults included) and into memory that is already mapped (the work of the loop alone).
#include "store/layers.h"

#include <QByteArray>
#include <QImage>

#include <benchmark/benchmark.h>

#include <cstring>
#include <malloc.h>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr std::size_t kHeaderBytes = 14 + 40;

void putLe(std::vector<char>& out, std::size_t at, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out[at + std::size_t(i)] = char((value >> (8 * i)) & 0xFF);
}

/** A bottom-up 24-bit BMP file of random pixels, built once. */
const std::vector<char>& bigBmp()
{
    static const std::vector<char> file = [] {
        const std::size_t stride = (std::size_t(kWidth) * 3 + 3) / 4 * 4;
        std::vector<char> out(kHeaderBytes + stride * kHeight, '\0');
        out[0] = 'B';
        out[1] = 'M';
        putLe(out, 2, std::uint32_t(out.size()), 4);
        putLe(out, 10, kHeaderBytes, 4);
        putLe(out, 14, 40, 4);
        putLe(out, 18, kWidth, 4);
        putLe(out, 22, kHeight, 4);
        putLe(out, 26, 1, 2);
        putLe(out, 28, 24, 2);
        std::mt19937 random(7);
        auto* pixels = reinterpret_cast<std::uint32_t*>(out.data() + kHeaderBytes);
        for (std::size_t i = 0; i < stride * kHeight / 4; ++i)
            pixels[i] = random();
        return out;
    }();
    return file;
}

void BM_DecodeBmp24(benchmark::State& state)
{
    const std::vector<char>& bytes = bigBmp();
    const QByteArray file = QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size()));
    for (auto _ : state) {
        const auto picture = store::loadBmp(file);
        const QImage& image = picture->image();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetBytesProcessed(state.iterations() * qint64(bytes.size() - kHeaderBytes));
}

/** The baseline: the same pixel bytes copied into freshly allocated memory, as the decoder's image is. */
void BM_MemcpyPixelData(benchmark::State& state)
{
    const std::vector<char>& file = bigBmp();
    const std::size_t length = file.size() - kHeaderBytes;
    for (auto _ : state) {
        std::unique_ptr<char[]> copy(new char[length]);
        std::memcpy(copy.get(), file.data() + kHeaderBytes, length);
        benchmark::DoNotOptimize(copy.get());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * qint64(length));
}

/** The same copy into memory that is already mapped: the cheapest a copy can be. */
void BM_MemcpyPixelDataReusedBuffer(benchmark::State& state)
{
    const std::vector<char>& file = bigBmp();
    const std::size_t length = file.size() - kHeaderBytes;
    std::unique_ptr<char[]> copy(new char[length]);
    std::memset(copy.get(), 0, length);
    for (auto _ : state) {
        std::memcpy(copy.get(), file.data() + kHeaderBytes, length);
        benchmark::DoNotOptimize(copy.get());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * qint64(length));
}

/**
 * The decode again, with the allocator told to keep freed memory mapped, so that from the second round on the
 * image lands in memory that is already there, as in the reused-buffer copy. Runs last: the setting stays.
 */
void BM_DecodeBmp24ReusedMemory(benchmark::State& state)
{
    mallopt(M_MMAP_THRESHOLD, 512 << 20);
    mallopt(M_TRIM_THRESHOLD, 1024 << 20);
    BM_DecodeBmp24(state);
}

} // namespace

BENCHMARK(BM_DecodeBmp24)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_MemcpyPixelData)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_MemcpyPixelDataReusedBuffer)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_DecodeBmp24ReusedMemory)->Unit(benchmark::kMillisecond)->MinTime(2.0);

BENCHMARK_MAIN();
