// Drawing each sample metafile at its natural size: loading the header and playing every record onto a fresh
// white image. Targets: a median of at most 5 ms over the samples, none over 50 ms.
//
// When built with ZELKAVIO_BENCH_EMF2SVG (libemf2svg and QtSvg found), the same run also times, for each EMF
// sample, the route "libemf2svg converts the EMF to SVG text, QSvgRenderer draws that SVG onto a white image of
// the same natural size", and ends with a table of CPU-time ratios (route / ours). Target: ours at least 5x
// faster on each sample.
#include "store/layers.h"
#include "support/shared_samples.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#ifdef ZELKAVIO_BENCH_EMF2SVG
#include <QLoggingCategory>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdlib>

#include <emf2svg.h>
#endif

namespace {

const char* const kSamples[] = {
    "fig2dev-flowchart.emf",
    "gnuplot-lines.emf",
    "ink-book.emf",
    "lo-interstate.emf",
    "lo-photo.emf",
    "pstoedit-3dhouse.emf",
    "ink-clock.wmf",
    "lo-interstate.wmf",
    "lotpl-classic.wmf",
    "lotpl-marine.wmf",
};

/** The sample's bytes, or a null array when it cannot be read. */
QByteArray readSample(const char* name)
{
    QFile file(QDir(testing_support::samplesRoot()).filePath(QStringLiteral("metafiles/") + QLatin1String(name)));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void renderSample(benchmark::State& state, const char* name)
{
    const QByteArray bytes = readSample(name);
    if (bytes.isNull()) {
        state.SkipWithError("sample not found (set ZELKAVIO_SAMPLES)");
        return;
    }
    for (auto _ : state) {
        const std::unique_ptr<store::Picture> picture = store::loadMetafile(bytes);
        benchmark::DoNotOptimize(picture->image().constBits());
    }
}

#ifdef ZELKAVIO_BENCH_EMF2SVG

/** Frees what libemf2svg allocates with malloc. */
struct FreeDeleter {
    void operator()(char* p) const { std::free(p); }
};

/** The EMF converted to SVG text sized to `size`, or a null array when libemf2svg refuses it. */
QByteArray emfToSvg(const QByteArray& emf, QSize size)
{
    // libemf2svg takes a non-const buffer; give it its own copy.
    std::vector<char> contents(emf.begin(), emf.end());
    generatorOptions options {};
    options.nameSpace = nullptr;
    options.verbose = false;
    options.emfplus = true;
    options.svgDelimiter = true;
    options.imgWidth = size.width();
    options.imgHeight = size.height();
    char* out = nullptr;
    size_t outLength = 0;
    const int ok = emf2svg(contents.data(), contents.size(), &out, &outLength, &options);
    const std::unique_ptr<char, FreeDeleter> owned(out);
    if (ok == 0 || out == nullptr)
        return {};
    return QByteArray(out, static_cast<qsizetype>(outLength));
}

void renderSampleViaSvg(benchmark::State& state, const char* name)
{
    const QByteArray bytes = readSample(name);
    if (bytes.isNull()) {
        state.SkipWithError("sample not found (set ZELKAVIO_SAMPLES)");
        return;
    }
    // The natural size, as our loader reads it from the header (outside the timed loop).
    const QSize size = store::loadMetafile(bytes)->size();
    {
        const QByteArray svg = emfToSvg(bytes, size);
        if (svg.isNull() || !QSvgRenderer(svg).isValid()) {
            state.SkipWithError("libemf2svg or QSvgRenderer cannot handle this sample: not comparable");
            return;
        }
    }
    for (auto _ : state) {
        const QByteArray svg = emfToSvg(bytes, size);
        QSvgRenderer renderer(svg);
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}

/**
 * Passes every run on to the console and keeps each benchmark's CPU time (the median when repeated), to print
 * the route / ours ratios at the end.
 */
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (median || single)
                m_cpuMs[run.run_name.function_name] = run.GetAdjustedCPUTime(); // in the benchmark's unit (ms)
        }
    }

    void printRatios(const std::vector<std::string>& names) const
    {
        std::printf("\nCPU time, ours vs libemf2svg + QSvgRenderer (median of repetitions when repeated):\n");
        std::printf("%-24s %12s %12s %8s\n", "sample", "ours ms", "route ms", "ratio");
        std::vector<double> ratios;
        for (const std::string& name : names) {
            const auto ours = m_cpuMs.find("render/" + name);
            const auto route = m_cpuMs.find("emf2svg+qsvg/" + name);
            if (ours == m_cpuMs.end() || route == m_cpuMs.end() || ours->second <= 0) {
                std::printf("%-24s %12s %12s %8s\n", name.c_str(), "-", "-", "n/a");
                continue;
            }
            const double ratio = route->second / ours->second;
            ratios.push_back(ratio);
            std::printf("%-24s %12.3f %12.3f %7.1fx%s\n", name.c_str(), ours->second, route->second, ratio,
                ratio < 5.0 ? "  (below 5x)" : "");
        }
        if (ratios.empty())
            return;
        std::sort(ratios.begin(), ratios.end());
        const std::size_t n = ratios.size();
        const double median = n % 2 != 0 ? ratios[n / 2] : (ratios[n / 2 - 1] + ratios[n / 2]) / 2;
        std::printf("median ratio over %zu comparable samples: %.1fx (target: at least 5x on each)\n", n, median);
    }

private:
    std::map<std::string, double> m_cpuMs;
};

#endif

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // text needs the font database
    for (const char* name : kSamples)
        benchmark::RegisterBenchmark((std::string("render/") + name).c_str(), renderSample, name)
            ->Unit(benchmark::kMillisecond)
            ->MeasureProcessCPUTime(); // Qt may scale bitmaps on worker threads
#ifdef ZELKAVIO_BENCH_EMF2SVG
    std::vector<std::string> emfSamples;
    for (const char* name : kSamples) {
        if (!QByteArray(name).endsWith(".emf"))
            continue; // libemf2svg reads EMF only
        emfSamples.emplace_back(name);
        benchmark::RegisterBenchmark((std::string("emf2svg+qsvg/") + name).c_str(), renderSampleViaSvg, name)
            ->Unit(benchmark::kMillisecond)
            ->MeasureProcessCPUTime();
    }
    // QSvgRenderer warns about every path libemf2svg writes that it cannot read; thousands of lines per run.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.svg.warning=false"));
#endif
    benchmark::Initialize(&argc, argv);
#ifdef ZELKAVIO_BENCH_EMF2SVG
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios(emfSamples);
#else
    benchmark::RunSpecifiedBenchmarks();
#endif
    benchmark::Shutdown();
    return 0;
}
