#pragma once

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace testing_support {

/** A PCM WAV file of `frames` silent 16-bit mono frames at `rate` frames per second. */
[[nodiscard]] QByteArray wavFile(std::int64_t frames, int rate = 8000);

/**
 * MPEG-1 Layer III audio at 44100 Hz, mono: one silent frame (1152 samples) per entry of `bitrates`
 * (kbit/s: 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256 or 320). Mixing bit rates gives a
 * variable-bit-rate stream without a Xing header.
 */
[[nodiscard]] QByteArray mp3Frames(const std::vector<int>& bitrates);

/** `count` frames at one bit rate. */
[[nodiscard]] QByteArray mp3Frames(int count, int bitrate = 128);

/** An ID3v2.3 tag of `payload` zero bytes, as taggers put before the first frame. */
[[nodiscard]] QByteArray id3Tag(int payload);

/** The exact length in ms of `frames` whole frames at 44100 Hz, truncated. */
[[nodiscard]] constexpr std::int64_t mp3LengthMs(std::int64_t frames)
{
    return frames * 1152 * 1000 / 44100;
}

} // namespace testing_support
