// Reading and drawing a 24-megapixel JPEG through the JPEG layer, against libjpeg-turbo decoding the same bytes
// into a plain malloc'd buffer, in the same run. A third benchmark runs the layer in a fresh process of this
// executable and reports the growth of its peak resident size against the file size plus the decoded image.
#include "platform/file_io.h"
#include "store/described_file.h"
#include "store/layers.h"
#include "support/jpeg_builder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <iostream>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

const QByteArray& jpeg24mp()
{
    static const QByteArray bytes
        = testing_support::encodeJpeg(testing_support::photoLikeImage(kWidth, kHeight), {.quality = 90});
    return bytes;
}

void BM_LayerLoadAndDraw(benchmark::State& state)
{
    const QByteArray& bytes = jpeg24mp();
    for (auto _ : state) {
        const auto picture = store::loadJpeg(bytes);
        benchmark::DoNotOptimize(picture->image().constBits());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * bytes.size());
}

/** What any program would write to decode a JPEG into 32-bit pixels with libjpeg-turbo. */
void BM_PlainLibjpegDecode(benchmark::State& state)
{
    const QByteArray& bytes = jpeg24mp();
    for (auto _ : state) {
        jpeg_decompress_struct cinfo {};
        jpeg_error_mgr err {};
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.constData()),
            static_cast<unsigned long>(bytes.size()));
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_EXT_BGRX;
        jpeg_start_decompress(&cinfo);
        const std::size_t stride = std::size_t(cinfo.output_width) * 4;
        auto* pixels = static_cast<unsigned char*>(std::malloc(stride * cinfo.output_height));
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = pixels + cinfo.output_scanline * stride;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(pixels);
        std::free(pixels);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * bytes.size());
}

constexpr const char* kPeakMemoryMode = "--peak-memory-of";

/**
 * The peak resident size of this process image in bytes (VmHWM). Not getrusage's ru_maxrss, which Linux carries
 * over an exec from the parent that forked us.
 */
qint64 peakResidentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return -1;
}

/** In a fresh process: reads the described file and draws it; prints the growth of the peak resident size. */
int measurePeakMemory(const char* path)
{
    const qint64 before = peakResidentBytes();
    const auto read = store::readDescribedFile(platform::FilePath(path));
    benchmark::DoNotOptimize(read.picture->image().constBits());
    std::cout << peakResidentBytes() - before << std::endl;
    return 0;
}

void BM_PeakMemoryReadAndDraw(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.jpg"));
    platform::replaceFile(platform::FilePath::fromText(path), {platform::asBytes(jpeg24mp())});
    double peak = 0;
    for (auto _ : state) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kPeakMemoryMode), path});
        if (!child.waitForFinished(120000) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
            state.SkipWithError("the measuring process failed");
            return;
        }
        peak = child.readAllStandardOutput().trimmed().toDouble();
    }
    constexpr double MiB = 1024.0 * 1024.0;
    const double fileSize = double(jpeg24mp().size());
    const double image = double(kWidth) * kHeight * 4;
    state.counters["peak_MiB"] = peak / MiB;
    state.counters["file_MiB"] = fileSize / MiB;
    state.counters["image_MiB"] = image / MiB;
    state.counters["limit_MiB"] = (fileSize + image) / MiB + 32;
    state.counters["within_limit"] = peak <= fileSize + image + 32 * MiB ? 1 : 0;
}

} // namespace

BENCHMARK(BM_PlainLibjpegDecode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LayerLoadAndDraw)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PeakMemoryReadAndDraw)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], kPeakMemoryMode) == 0)
        return measurePeakMemory(argv[2]);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
