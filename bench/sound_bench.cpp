// Measuring a picture's sound: a WAV's length comes from its header whatever the file's size, an MP3's from a
// scan of its frame headers, which must cost far less than decoding it; a remembered length costs a stat.
#include "platform/sound_length.h"
#include "support/sound_builder.h"
#include "support/temp_dir.h"

#include <QFile>

#include <benchmark/benchmark.h>
#include <mpg123.h>

namespace {

testing_support::TempDir& dir()
{
    static testing_support::TempDir instance;
    return instance;
}

/** A WAV whose header claims `bytes` of samples; the samples are a hole in a sparse file. */
QString sparseWav(qint64 bytes)
{
    const QString path = dir().path(QStringLiteral("sparse_%1.wav").arg(bytes));
    QFile file(path);
    if (!file.exists()) {
        file.open(QIODevice::WriteOnly);
        file.write(testing_support::wavFile(0, 8000).left(40));
        const QByteArray size = QByteArray::fromRawData(reinterpret_cast<const char*>(&bytes), 4);
        file.write(size);
        file.resize(44 + bytes);
    }
    return path;
}

QString mp3Of(int frames)
{
    const QString path = dir().path(QStringLiteral("frames_%1.mp3").arg(frames));
    if (!QFile::exists(path))
        dir().write(QStringLiteral("frames_%1.mp3").arg(frames), testing_support::mp3Frames(frames, 320));
    return path;
}

void WavLengthUncached(benchmark::State& state)
{
    const QString path = sparseWav(state.range(0));
    for (auto _ : state) {
        platform::clearSoundLengthCache();
        benchmark::DoNotOptimize(platform::soundLengthMs(path));
    }
}
BENCHMARK(WavLengthUncached)->Arg(1 << 20)->Arg(1 << 30)->Unit(benchmark::kMicrosecond);

// 10 MB of 320 kbit/s frames (about 4 minutes).
constexpr int kTenMegabytes = 10 * 1024 * 1024 / 1044;

void Mp3LengthScan(benchmark::State& state)
{
    const QString path = mp3Of(kTenMegabytes);
    for (auto _ : state) {
        platform::clearSoundLengthCache();
        benchmark::DoNotOptimize(platform::soundLengthMs(path));
    }
}
BENCHMARK(Mp3LengthScan)->Unit(benchmark::kMillisecond);

void Mp3FullDecode(benchmark::State& state)
{
    const QByteArray path = QFile::encodeName(mp3Of(kTenMegabytes));
    mpg123_init();
    for (auto _ : state) {
        mpg123_handle* handle = mpg123_new(nullptr, nullptr);
        mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
        mpg123_open(handle, path.constData());
        std::vector<unsigned char> buffer(1 << 16);
        size_t done = 0;
        int result = MPG123_OK;
        do {
            result = mpg123_read(handle, buffer.data(), buffer.size(), &done);
            benchmark::DoNotOptimize(done);
        } while (result == MPG123_OK || result == MPG123_NEW_FORMAT);
        mpg123_close(handle);
        mpg123_delete(handle);
    }
}
BENCHMARK(Mp3FullDecode)->Unit(benchmark::kMillisecond);

void CachedLength(benchmark::State& state)
{
    const QString path = mp3Of(kTenMegabytes);
    (void)platform::soundLengthMs(path);
    for (auto _ : state)
        benchmark::DoNotOptimize(platform::soundLengthMs(path));
}
BENCHMARK(CachedLength)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
