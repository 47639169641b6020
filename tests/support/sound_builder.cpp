#include "sound_builder.h"

#include <QtEndian>

#include <array>
#include <stdexcept>

namespace testing_support {
namespace {

void appendLe32(QByteArray& bytes, std::uint32_t value)
{
    std::array<char, 4> raw {};
    qToLittleEndian(value, raw.data());
    bytes.append(raw.data(), 4);
}

void appendLe16(QByteArray& bytes, std::uint16_t value)
{
    std::array<char, 2> raw {};
    qToLittleEndian(value, raw.data());
    bytes.append(raw.data(), 2);
}

int bitrateIndex(int kbps)
{
    static constexpr std::array<int, 15> kRates {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    for (std::size_t i = 1; i < kRates.size(); ++i) {
        if (kRates[i] == kbps)
            return int(i);
    }
    throw std::invalid_argument("no such MPEG-1 Layer III bit rate");
}

} // namespace

QByteArray wavFile(std::int64_t frames, int rate)
{
    const auto dataBytes = std::uint32_t(frames * 2);
    QByteArray bytes("RIFF");
    appendLe32(bytes, 36 + dataBytes);
    bytes += "WAVEfmt ";
    appendLe32(bytes, 16);
    appendLe16(bytes, 1); // PCM
    appendLe16(bytes, 1); // mono
    appendLe32(bytes, std::uint32_t(rate));
    appendLe32(bytes, std::uint32_t(rate) * 2);
    appendLe16(bytes, 2);
    appendLe16(bytes, 16);
    bytes += "data";
    appendLe32(bytes, dataBytes);
    bytes.append(qsizetype(dataBytes), '\0');
    return bytes;
}

QByteArray mp3Frames(const std::vector<int>& bitrates)
{
    QByteArray bytes;
    for (const int kbps : bitrates) {
        const int length = 144 * kbps * 1000 / 44100;
        QByteArray frame(length, '\0');
        frame[0] = char(0xFF);
        frame[1] = char(0xFB); // MPEG-1, Layer III, no CRC
        frame[2] = char(bitrateIndex(kbps) << 4); // 44100 Hz, no padding
        frame[3] = char(0xC0); // mono
        // The 17 bytes of side information stay zero: no main data, a silent granule.
        bytes += frame;
    }
    return bytes;
}

QByteArray mp3Frames(int count, int bitrate)
{
    return mp3Frames(std::vector<int>(std::size_t(count), bitrate));
}

QByteArray id3Tag(int payload)
{
    QByteArray bytes("ID3");
    bytes += char(3);
    bytes += char(0);
    bytes += char(0);
    for (int shift = 21; shift >= 0; shift -= 7)
        bytes += char((payload >> shift) & 0x7F);
    bytes.append(payload, '\0');
    return bytes;
}

} // namespace testing_support
