// Drawing each sample metafile at its natural size: loading the header and playing every record onto a fresh
// white image. Targets: a median of at most 5 ms over the samples, none over 50 ms.
#include "store/layers.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>

#include <benchmark/benchmark.h>

#include <memory>

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

/** The shared samples folder: $ZELKAVIO_SAMPLES, or ../shared/samples beside the source tree. */
QString samplesDir()
{
    const QByteArray env = qgetenv("ZELKAVIO_SAMPLES");
    if (!env.isEmpty())
        return QString::fromLocal8Bit(env);
    return QFileInfo(QStringLiteral(__FILE__)).absoluteDir().filePath(QStringLiteral("../../shared/samples"));
}

void renderSample(benchmark::State& state, const char* name)
{
    QFile file(QDir(samplesDir()).filePath(QStringLiteral("metafiles/") + QLatin1String(name)));
    if (!file.open(QIODevice::ReadOnly)) {
        state.SkipWithError("sample not found (set ZELKAVIO_SAMPLES)");
        return;
    }
    const QByteArray bytes = file.readAll();
    for (auto _ : state) {
        const std::unique_ptr<store::Picture> picture = store::loadMetafile(bytes);
        benchmark::DoNotOptimize(picture->image().constBits());
    }
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // text needs the font database
    for (const char* name : kSamples)
        benchmark::RegisterBenchmark((std::string("render/") + name).c_str(), renderSample, name)
            ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
