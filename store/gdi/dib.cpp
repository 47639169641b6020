#include "dib.h"

#include "decode_limits.h"
#include "platform/errors.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <functional>
#include <limits>

namespace store::dib {

using platform::AppError;
using platform::readLe16;
using platform::readLe32;
using platform::readLe32s;

namespace {

constexpr QRgb kBlack = 0xFF000000u;

[[noreturn]] void truncated()
{
    throw AppError(QStringLiteral("BMP header is truncated"));
}

bool knownHeaderSize(std::uint32_t size)
{
    return size == 12 || size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

/**
 * The checks that both parsing and decoding rely on: a supported bit count and compression that fit each
 * other, and a size whose decoded image stays within kMaxDecodedBytes. `height` may still be negative here.
 */
void checkShape(std::int64_t width, std::int64_t height, int bitCount, std::uint32_t compression)
{
    if (compression == Jpeg)
        throw AppError(QStringLiteral("BMP pictures with embedded JPEG data are not supported"));
    if (compression == Png)
        throw AppError(QStringLiteral("BMP pictures with embedded PNG data are not supported"));
    if (compression > AlphaBitFields)
        throw AppError(QStringLiteral("Unsupported BMP compression %1").arg(compression));
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        throw AppError(QStringLiteral("Unsupported BMP bit count %1").arg(bitCount));
    if (compression == Rle8 && bitCount != 8)
        throw AppError(QStringLiteral("RLE8 compression needs 8 bits per pixel, not %1").arg(bitCount));
    if (compression == Rle4 && bitCount != 4)
        throw AppError(QStringLiteral("RLE4 compression needs 4 bits per pixel, not %1").arg(bitCount));
    if ((compression == BitFields || compression == AlphaBitFields) && bitCount != 16 && bitCount != 32)
        throw AppError(QStringLiteral("Bit-field compression needs 16 or 32 bits per pixel, not %1").arg(bitCount));
    if (width < 0)
        throw AppError(QStringLiteral("BMP width %1 is negative").arg(width));
    if (width == 0 || height == 0)
        throw AppError(QStringLiteral("BMP picture has no pixels (width %1, height %2)").arg(width).arg(height));
    // Both factors are below 2^32 here, so the product cannot overflow 64 bits.
    const auto pixels = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(std::abs(height));
    if (pixels > static_cast<std::uint64_t>(kMaxDecodedBytes / 4))
        throw AppError(QStringLiteral("BMP picture is too large (%1 x %2 pixels)").arg(width).arg(std::abs(height)));
}

void setMasks(Header& header, std::uint32_t red, std::uint32_t green, std::uint32_t blue, std::uint32_t alpha)
{
    header.redMask = red;
    header.greenMask = green;
    header.blueMask = blue;
    header.alphaMask = alpha;
}

/** Reads the bit-field masks (inside a V2+ header, or stored behind a 40-byte one) or sets the implied ones. */
void readMasks(Header& header, ByteView info)
{
    const bool fields = header.compression == BitFields || header.compression == AlphaBitFields;
    if (!fields) {
        if (header.bitCount == 16)
            setMasks(header, 0x7C00, 0x03E0, 0x001F, 0);
        else if (header.bitCount == 32)
            setMasks(header, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
        return;
    }
    bool withAlpha = header.headerSize >= 56;
    if (header.headerSize == 40) {
        withAlpha = header.compression == AlphaBitFields;
        const std::size_t stored = header.compression == AlphaBitFields ? 16 : 12;
        if (info.size() < 40 + stored)
            truncated();
        header.tableOffset = 40 + stored;
    }
    const std::uint32_t alpha = withAlpha ? readLe32(info, 52) : 0;
    setMasks(header, readLe32(info, 40), readLe32(info, 44), readLe32(info, 48), alpha);
}

void readColourTable(Header& header, ByteView info, std::uint32_t colorsUsed)
{
    const bool core = header.headerSize == 12;
    const std::size_t entrySize = core ? 3 : 4;
    std::uint64_t count = 0;
    if (!core && colorsUsed != 0)
        count = colorsUsed;
    else if (header.bitCount <= 8)
        count = std::uint64_t(1) << header.bitCount;
    header.tableEntries = count;
    const std::uint64_t there = (info.size() - header.tableOffset) / entrySize;
    const auto present = static_cast<std::size_t>(std::min(count, there));
    header.infoLength = header.tableOffset + present * entrySize;
    const std::size_t kept = std::min<std::size_t>(present, 256);
    header.palette.resize(kept);
    for (std::size_t i = 0; i < kept; ++i) {
        const std::size_t at = header.tableOffset + i * entrySize;
        header.palette[i] = qRgb(info[at + 2], info[at + 1], info[at]);
    }
}

std::size_t saturatingMultiply(std::size_t a, std::size_t b)
{
    if (b != 0 && a > std::numeric_limits<std::size_t>::max() / b)
        return std::numeric_limits<std::size_t>::max();
    return a * b;
}

/** Maps one channel of a bit-field pixel to 8 bits; channels wider than 8 bits keep their top bits. */
class Channel {
public:
    Channel(std::uint32_t mask, std::uint8_t absent)
        : m_mask(mask)
    {
        if (mask == 0) {
            m_table.fill(absent);
            return;
        }
        m_shift = std::countr_zero(mask);
        m_bits = std::bit_width(mask >> m_shift);
        if (m_bits <= 8) {
            const std::uint32_t max = (1u << m_bits) - 1;
            for (std::uint32_t v = 0; v <= max; ++v)
                m_table[v] = static_cast<std::uint8_t>((v * 255 + max / 2) / max);
        }
    }

    [[nodiscard]] std::uint32_t operator()(std::uint32_t pixel) const
    {
        const std::uint32_t value = (pixel & m_mask) >> m_shift;
        return m_bits > 8 ? value >> (m_bits - 8) : m_table[value];
    }

private:
    std::uint32_t m_mask;
    int m_shift = 0;
    int m_bits = 0;
    std::array<std::uint8_t, 256> m_table {};
};

struct BitFieldPixels {
    Channel red, green, blue, alpha;

    BitFieldPixels(const Header& header, bool keepAlpha)
        : red(header.redMask, 0)
        , green(header.greenMask, 0)
        , blue(header.blueMask, 0)
        , alpha(keepAlpha ? header.alphaMask : 0, 255)
    {
    }

    [[nodiscard]] QRgb operator()(std::uint32_t pixel) const
    {
        return (alpha(pixel) << 24) | (red(pixel) << 16) | (green(pixel) << 8) | blue(pixel);
    }
};

using Palette = std::array<QRgb, 256>;

/** The colour table as a full 256-entry lookup; indices beyond the table are black. */
Palette lookupTable(const Header& header)
{
    Palette table;
    table.fill(kBlack);
    std::copy_n(header.palette.begin(), std::min<std::size_t>(header.palette.size(), 256), table.begin());
    for (QRgb& colour : table)
        colour |= kBlack;
    return table;
}

// Row converters: `count` pixels from `src` (which holds them all) into `dst`. Kept as plain loops over
// whole rows so that the compiler can vectorise them. The three-byte pixel loop needs byte shuffles that plain
// x86-64 lacks, so GCC also builds it for SSSE3 and AVX2 and picks one when the program starts (not under the
// thread sanitizer, whose runtime is not up yet when the choice is made).
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define ZELKAVIO_ROW_CLONES __attribute__((target_clones("default", "ssse3", "avx2")))
#else
#define ZELKAVIO_ROW_CLONES
#endif

void indexedRow(const std::uint8_t* src, int count, int bitCount, const Palette& table, QRgb* dst)
{
    switch (bitCount) {
    case 1:
        for (int x = 0; x < count; ++x)
            dst[x] = table[(src[x >> 3] >> (7 - (x & 7))) & 1];
        break;
    case 4:
        for (int x = 0; x < count; ++x)
            dst[x] = table[(src[x >> 1] >> ((x & 1) != 0 ? 0 : 4)) & 0x0F];
        break;
    default:
        for (int x = 0; x < count; ++x)
            dst[x] = table[src[x]];
        break;
    }
}

ZELKAVIO_ROW_CLONES void bgrRow(const std::uint8_t* __restrict src, int count, QRgb* __restrict dst)
{
    for (std::ptrdiff_t x = 0; x < count; ++x)
        dst[x] = 0xFF000000u | (std::uint32_t(src[3 * x + 2]) << 16) | (std::uint32_t(src[3 * x + 1]) << 8)
            | std::uint32_t(src[3 * x]);
}

ZELKAVIO_ROW_CLONES void bgraRow(const std::uint8_t* __restrict src, int count, bool keepAlpha, QRgb* __restrict dst)
{
    const std::uint32_t forcedAlpha = keepAlpha ? 0 : 0xFF000000u;
    const std::uint32_t alphaByte = keepAlpha ? 0xFF : 0;
    for (std::ptrdiff_t x = 0; x < count; ++x)
        dst[x] = forcedAlpha | (std::uint32_t(src[4 * x + 3] & alphaByte) << 24) | (std::uint32_t(src[4 * x + 2]) << 16)
            | (std::uint32_t(src[4 * x + 1]) << 8) | std::uint32_t(src[4 * x]);
}

void bitFieldRow(const std::uint8_t* src, int count, int bitCount, const BitFieldPixels& pixels, QRgb* dst)
{
    if (bitCount == 16) {
        for (std::ptrdiff_t x = 0; x < count; ++x)
            dst[x] = pixels(std::uint32_t(src[2 * x]) | (std::uint32_t(src[2 * x + 1]) << 8));
    } else {
        for (std::ptrdiff_t x = 0; x < count; ++x)
            dst[x] = pixels(std::uint32_t(src[4 * x]) | (std::uint32_t(src[4 * x + 1]) << 8)
                | (std::uint32_t(src[4 * x + 2]) << 16) | (std::uint32_t(src[4 * x + 3]) << 24));
    }
}

bool standardMasks(const Header& header, bool keepAlpha)
{
    return header.bitCount == 32 && header.redMask == 0x00FF0000 && header.greenMask == 0x0000FF00
        && header.blueMask == 0x000000FF && (!keepAlpha || header.alphaMask == 0xFF000000 || header.alphaMask == 0);
}

void decodeRows(
    const Header& header, ByteView bits, bool keepAlpha, int from, int to, const std::function<QRgb*(int)>& imageRow)
{
    const int width = header.width;
    const std::size_t stride = rowStride(header);
    const Palette table = header.bitCount <= 8 ? lookupTable(header) : Palette {};
    const BitFieldPixels fields(header, keepAlpha);
    const bool fast32 = standardMasks(header, keepAlpha);
    const bool alphaByte = keepAlpha && (header.compression == Rgb || header.alphaMask == 0xFF000000);

    for (int y = from; y < to; ++y) {
        const int row = header.topDown ? y : header.height - 1 - y; // as stored
        QRgb* dst = imageRow(y);
        const std::size_t start = static_cast<std::size_t>(row) * stride;
        const std::size_t left = start < bits.size() ? bits.size() - start : 0;
        // A row cut short by the end of the data keeps its complete pixels; the rest stays black.
        const auto count = static_cast<int>(
            std::min<std::uint64_t>(width, std::uint64_t(left) * 8 / std::uint64_t(header.bitCount)));
        const std::uint8_t* src = bits.data() + std::min(start, bits.size());
        if (header.bitCount <= 8)
            indexedRow(src, count, header.bitCount, table, dst);
        else if (header.bitCount == 24)
            bgrRow(src, count, dst);
        else if (fast32)
            bgraRow(src, count, alphaByte, dst);
        else
            bitFieldRow(src, count, header.bitCount, fields, dst);
        std::fill(dst + count, dst + width, kBlack);
    }
}

/**
 * Plays a run-length stream onto an image already filled with black. Pixels that fall outside the image are
 * dropped; the stream ends at its end-of-bitmap escape, at the end of the data, or once it has moved below
 * the last row.
 */
void decodeRle(const Header& header, ByteView bits, QImage& image)
{
    const bool four = header.compression == Rle4;
    const Palette table = lookupTable(header);
    const std::int64_t width = header.width;
    const std::int64_t height = header.height;
    std::int64_t x = 0;
    std::int64_t y = 0;
    QRgb* row = nullptr;
    auto selectRow = [&] {
        row = y < height ? reinterpret_cast<QRgb*>(image.scanLine(int(header.topDown ? y : height - 1 - y))) : nullptr;
    };
    selectRow();
    auto put = [&](std::int64_t at, std::uint8_t index) {
        if (at < width)
            row[at] = table[index];
    };

    const std::size_t size = bits.size();
    std::size_t pos = 0;
    while (pos + 2 <= size && row != nullptr) {
        const std::uint8_t count = bits[pos];
        const std::uint8_t value = bits[pos + 1];
        pos += 2;
        if (count > 0) {
            if (!four && x < width) {
                std::fill(row + x, row + std::min(x + count, width), table[value]);
            } else if (four) {
                for (int i = 0; i < count && x + i < width; ++i)
                    put(x + i, (i & 1) != 0 ? value & 0x0F : value >> 4);
            }
            x += count;
            continue;
        }
        switch (value) {
        case 0: // end of line
            x = 0;
            ++y;
            selectRow();
            break;
        case 1: // end of bitmap
            return;
        case 2: // delta: move right and down
            if (pos + 2 > size)
                return;
            x += bits[pos];
            y += bits[pos + 1];
            pos += 2;
            selectRow();
            break;
        default: { // absolute run of `value` pixels, padded to a 16-bit boundary
            const std::size_t bytes = four ? (value + 1u) / 2 : value;
            for (int i = 0; i < value; ++i) {
                const std::size_t at = pos + (four ? std::size_t(i) / 2 : std::size_t(i));
                if (at >= size)
                    break;
                put(x + i, four ? ((i & 1) != 0 ? bits[at] & 0x0F : bits[at] >> 4) : bits[at]);
            }
            x += value;
            pos += bytes + (bytes & 1);
            break;
        }
        }
    }
}

} // namespace

Header parseHeader(ByteView info)
{
    if (info.size() < 4)
        truncated();
    Header header;
    header.headerSize = readLe32(info, 0);
    if (!knownHeaderSize(header.headerSize))
        throw AppError(QStringLiteral("Unsupported BMP info header size %1").arg(header.headerSize));
    if (info.size() < header.headerSize)
        truncated();
    header.tableOffset = header.headerSize;

    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint32_t colorsUsed = 0;
    if (header.headerSize == 12) {
        width = readLe16(info, 4);
        height = readLe16(info, 6);
        header.bitCount = readLe16(info, 10);
    } else {
        width = readLe32s(info, 4);
        height = readLe32s(info, 8);
        header.bitCount = readLe16(info, 14);
        header.compression = readLe32(info, 16);
        header.sizeImage = readLe32(info, 20);
        colorsUsed = readLe32(info, 32);
    }
    checkShape(width, height, header.bitCount, header.compression);
    header.width = static_cast<int>(width);
    header.height = static_cast<int>(std::abs(height));
    header.topDown = height < 0;

    readMasks(header, info);
    readColourTable(header, info, colorsUsed);
    return header;
}

void usePaletteIndices(Header& header, ByteView info, std::span<const QRgb> logicalPalette)
{
    const std::uint64_t there = (info.size() - std::min(info.size(), header.tableOffset)) / 2;
    const auto present = static_cast<std::size_t>(std::min(header.tableEntries, there));
    header.infoLength = header.tableOffset + present * 2;
    header.palette.resize(std::min<std::size_t>(present, 256));
    for (std::size_t i = 0; i < header.palette.size(); ++i) {
        const std::size_t index = readLe16(info, header.tableOffset + i * 2);
        header.palette[i] = index < logicalPalette.size() ? logicalPalette[index] : qRgb(0, 0, 0);
    }
}

std::size_t rowStride(const Header& header)
{
    if (header.width <= 0 || header.bitCount <= 0)
        return 0;
    const std::uint64_t bitsPerRow = std::uint64_t(header.width) * std::uint64_t(header.bitCount);
    return static_cast<std::size_t>((bitsPerRow + 31) / 32 * 4);
}

std::size_t fullPixelDataLength(const Header& header)
{
    return header.height <= 0 ? 0 : saturatingMultiply(rowStride(header), static_cast<std::size_t>(header.height));
}

std::size_t pixelDataLength(const Header& header, std::size_t available)
{
    const std::size_t declared = header.sizeImage != 0 ? header.sizeImage : fullPixelDataLength(header);
    return std::min(declared, available);
}

std::size_t runLengthDataLength(const Header& header, ByteView bits)
{
    std::size_t at = 0;
    while (at + 2 <= bits.size()) {
        const std::uint8_t count = bits[at];
        const std::uint8_t value = bits[at + 1];
        at += 2;
        if (count != 0)
            continue; // an encoded run
        if (value == 1)
            return at; // end of bitmap
        if (value == 2) {
            at += 2; // delta
        } else if (value > 2) {
            // An absolute run of `value` pixels, padded to a whole word.
            const std::size_t bytes = header.compression == Rle4 ? (std::size_t(value) + 1) / 2 : value;
            at += (bytes + 1) & ~std::size_t {1};
        }
    }
    return bits.size();
}

QImage decodePixels(const Header& header, ByteView bits, DecodeOptions options)
{
    checkShape(header.width, header.height, header.bitCount, header.compression);
    if (header.height < 0)
        throw AppError(QStringLiteral("BMP height %1 is negative").arg(header.height));
    QImage image(header.width, header.height, options.keepAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull())
        throw AppError(QStringLiteral("Not enough memory for a %1 x %2 picture").arg(header.width).arg(header.height));
    if (header.compression == Rle8 || header.compression == Rle4) {
        image.fill(kBlack);
        decodeRle(header, bits, image);
    } else {
        decodeRows(header, bits, options.keepAlpha, 0, header.height,
            [&image](int y) { return reinterpret_cast<QRgb*>(image.scanLine(y)); });
    }
    return image;
}

void decodeImageRows(const Header& header, ByteView bits, int from, int to, const std::function<QRgb*(int)>& imageRow)
{
    checkShape(header.width, header.height, header.bitCount, header.compression);
    if (header.compression == Rle8 || header.compression == Rle4)
        throw AppError(QStringLiteral("Run-length pixels are decoded only as a whole"));
    decodeRows(header, bits, false, std::max(from, 0), std::min(to, header.height), imageRow);
}

QImage decodeMonochrome(Header header, ByteView bits)
{
    if (header.bitCount != 1)
        throw AppError(QStringLiteral("A monochrome pattern has %1 bits per pixel").arg(header.bitCount));
    header.palette = {kBlack, qRgb(255, 255, 255)};
    const QImage decoded = decodePixels(header, bits);
    QImage mono(decoded.size(), QImage::Format_Mono);
    if (mono.isNull())
        throw AppError(QStringLiteral("Not enough memory for a %1 x %2 picture").arg(header.width).arg(header.height));
    mono.setColorCount(2);
    mono.setColor(0, kBlack);
    mono.setColor(1, qRgb(255, 255, 255));
    for (int y = 0; y < decoded.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(decoded.constScanLine(y));
        for (int x = 0; x < decoded.width(); ++x)
            mono.setPixel(x, y, (row[x] & 0xFFFFFF) != 0 ? 1 : 0);
    }
    return mono;
}

} // namespace store::dib
