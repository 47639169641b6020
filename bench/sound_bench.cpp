// Measuring a picture's sound: a WAV's length comes from its header whatever the file's size, an MP3's from a
// scan of its frame headers, which must cost far less than decoding it; a remembered length costs a stat.
// Starting a sound: opening and playing an hour-long MP3 once the output is open must stay a streaming open
// (no scan of the file, no copy of it in memory); the output's own start is measured apart.
#include "bench_support.h"

#include "platform/audio_output.h"
#include "platform/sound_length.h"
#include "platform/sound_player.h"
#include "support/sound_builder.h"
#include "support/temp_dir.h"

#include <QFile>

#include <benchmark/benchmark.h>
#include <mpg123.h>

#include <algorithm>
#include <chrono>
#include <thread>

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
        benchmark::DoNotOptimize(platform::soundLengthMs(platform::FilePath::fromText(path)));
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
        benchmark::DoNotOptimize(platform::soundLengthMs(platform::FilePath::fromText(path)));
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
    (void)platform::soundLengthMs(platform::FilePath::fromText(path));
    for (auto _ : state)
        benchmark::DoNotOptimize(platform::soundLengthMs(platform::FilePath::fromText(path)));
}
BENCHMARK(CachedLength)->Unit(benchmark::kMicrosecond);

// ---- starting a sound ----

using bench_support::residentKilobytes;

// 60 minutes of 128 kbit/s frames: 3600 s × 44100 / 1152 samples, rounded up (57 MB).
constexpr int kHourOfFrames = 137813;

/** The hour-long MP3, written once in pieces of 1,000 frames. */
QString hourLongMp3()
{
    const QString path = dir().path(QStringLiteral("hour.mp3"));
    if (!QFile::exists(path)) {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        const QByteArray thousand = testing_support::mp3Frames(1000);
        for (int written = 0; written < kHourOfFrames; written += 1000) {
            const int count = std::min(1000, kHourOfFrames - written);
            file.write(count == 1000 ? thousand : testing_support::mp3Frames(count));
        }
    }
    return path;
}

/**
 * The output's start: SDL's audio and the device, or without a device the real drivers' attempts and then the
 * "dummy" driver. Each round first shuts the output down, untimed; closing waits for the device's thread.
 */
void AudioOutputStart(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        platform::shutdownAudioOutput();
        state.ResumeTiming();
        benchmark::DoNotOptimize(platform::ensureAudioOutput());
    }
    state.SetLabel("driver " + platform::audioDriverName().toStdString());
}
BENCHMARK(AudioOutputStart)->Unit(benchmark::kMillisecond)->Iterations(20);

/**
 * Open and play of the hour-long MP3 with the output already open, its remembered length forgotten each time.
 * The resident size: the growth over the process's first open and play, measured after half a second of
 * playing (so the decoder's one-time set-up and its filled buffers count), and the largest growth over one
 * open and play of the timed rounds.
 */
void Mp3HourOpenAndPlay(benchmark::State& state)
{
    const QString path = hourLongMp3();
    platform::ensureAudioOutput();
    platform::SoundPlayer player;
    player.setFileName(platform::FilePath::fromText(path));
    static const long firstGrowth = [&] {
        const long before = residentKilobytes();
        player.open();
        player.play();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        return residentKilobytes() - before;
    }();
    long largestGrowth = 0;
    for (auto _ : state) {
        state.PauseTiming();
        player.close();
        platform::clearSoundLengthCache();
        const long before = residentKilobytes();
        state.ResumeTiming();
        player.open();
        player.play();
        state.PauseTiming();
        largestGrowth = std::max(largestGrowth, residentKilobytes() - before);
        state.ResumeTiming();
    }
    state.counters["rss_first_play_kB"] = double(firstGrowth);
    state.counters["rss_extra_kB"] = double(largestGrowth);
    state.counters["playing"] = player.isPlaying() ? 1 : 0;
    state.counters["sound_min"] = double(platform::soundLengthMs(platform::FilePath::fromText(path))) / 60000.0;
    state.counters["file_MB"] = double(QFile(path).size()) / 1e6;
    state.SetLabel("driver " + platform::audioDriverName().toStdString());
    player.close();
}
BENCHMARK(Mp3HourOpenAndPlay)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
