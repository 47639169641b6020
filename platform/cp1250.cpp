#include "cp1250.h"

#include <QList>

#include <array>
#include <unordered_set>

namespace platform::cp1250 {

namespace {

// Unicode code points of the bytes 0x80 to 0xFF. The five bytes the code page leaves undefined
// (0x81, 0x83, 0x88, 0x90, 0x98) map to the C1 controls of the same value, so every byte round-trips.
constexpr std::array<char16_t, 128> kHighHalf = {
    0x20AC,
    0x0081,
    0x201A,
    0x0083,
    0x201E,
    0x2026,
    0x2020,
    0x2021,
    0x0088,
    0x2030,
    0x0160,
    0x2039,
    0x015A,
    0x0164,
    0x017D,
    0x0179,
    0x0090,
    0x2018,
    0x2019,
    0x201C,
    0x201D,
    0x2022,
    0x2013,
    0x2014,
    0x0098,
    0x2122,
    0x0161,
    0x203A,
    0x015B,
    0x0165,
    0x017E,
    0x017A,
    0x00A0,
    0x02C7,
    0x02D8,
    0x0141,
    0x00A4,
    0x0104,
    0x00A6,
    0x00A7,
    0x00A8,
    0x00A9,
    0x015E,
    0x00AB,
    0x00AC,
    0x00AD,
    0x00AE,
    0x017B,
    0x00B0,
    0x00B1,
    0x02DB,
    0x0142,
    0x00B4,
    0x00B5,
    0x00B6,
    0x00B7,
    0x00B8,
    0x0105,
    0x015F,
    0x00BB,
    0x013D,
    0x02DD,
    0x013E,
    0x017C,
    0x0154,
    0x00C1,
    0x00C2,
    0x0102,
    0x00C4,
    0x0139,
    0x0106,
    0x00C7,
    0x010C,
    0x00C9,
    0x0118,
    0x00CB,
    0x011A,
    0x00CD,
    0x00CE,
    0x010E,
    0x0110,
    0x0143,
    0x0147,
    0x00D3,
    0x00D4,
    0x0150,
    0x00D6,
    0x00D7,
    0x0158,
    0x016E,
    0x00DA,
    0x0170,
    0x00DC,
    0x00DD,
    0x0162,
    0x00DF,
    0x0155,
    0x00E1,
    0x00E2,
    0x0103,
    0x00E4,
    0x013A,
    0x0107,
    0x00E7,
    0x010D,
    0x00E9,
    0x0119,
    0x00EB,
    0x011B,
    0x00ED,
    0x00EE,
    0x010F,
    0x0111,
    0x0144,
    0x0148,
    0x00F3,
    0x00F4,
    0x0151,
    0x00F6,
    0x00F7,
    0x0159,
    0x016F,
    0x00FA,
    0x0171,
    0x00FC,
    0x00FD,
    0x0163,
    0x02D9,
};

struct ReverseTable {
    // For every code point below 0x2200, the byte that encodes it, or 0 when none does.
    std::array<std::uint8_t, 0x2200> bytes {};

    constexpr ReverseTable()
    {
        for (int c = 0; c < 0x80; ++c)
            bytes[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c);
        for (int i = 0; i < 128; ++i)
            bytes[kHighHalf[static_cast<std::size_t>(i)]] = static_cast<std::uint8_t>(0x80 + i);
    }
};

constexpr ReverseTable kReverse;

} // namespace

char16_t toUnicode(std::uint8_t byte)
{
    return byte < 0x80 ? char16_t(byte) : kHighHalf[byte - 0x80];
}

int fromUnicode(char32_t codePoint)
{
    if (codePoint == 0)
        return 0;
    if (codePoint < kReverse.bytes.size()) {
        const std::uint8_t b = kReverse.bytes[codePoint];
        if (b != 0)
            return b;
    }
    return -1;
}

QString decode(ByteView bytes)
{
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (const std::uint8_t b : bytes)
        *out++ = QChar(toUnicode(b));
    return text;
}

QByteArray encode(const QString& text)
{
    std::vector<char32_t> unencodable;
    return encode(text, unencodable);
}

QByteArray encode(const QString& text, std::vector<char32_t>& unencodable)
{
    unencodable.clear();
    // A decomposed letter (a + combining ogonek) has no byte of its own; its composed form may.
    const QString composed = text.normalized(QString::NormalizationForm_C);
    QByteArray bytes;
    bytes.reserve(composed.size());
    std::unordered_set<char32_t> seen;
    for (const char32_t c : composed.toUcs4()) {
        const int b = fromUnicode(c);
        bytes.append(b < 0 ? '?' : static_cast<char>(b));
        if (b < 0 && seen.insert(c).second)
            unencodable.push_back(c);
    }
    return bytes;
}

} // namespace platform::cp1250
