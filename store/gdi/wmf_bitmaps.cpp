#include "wmf_bitmaps.h"

#include "dib.h"
#include "gdi_objects.h"
#include "platform/errors.h"

namespace store::wmf {

namespace {

/** Decoded bitmaps inside records stay below this many pixels (256 MiB of pixels). */
constexpr qint64 kMaxRecordBitmapPixels = qint64(1) << 26;

/** Bytes per row padded to `alignment`, as 64-bit so that no product overflows. */
qint64 rowBytes(qint64 width, qint64 bitCount, qint64 alignment)
{
    return (width * bitCount + alignment * 8 - 1) / (alignment * 8) * alignment;
}

} // namespace

namespace {

QImage decodeDibAs(platform::ByteView bytes, bool* bottomUp, std::span<const QRgb> indexedPalette, MonoBits mono)
{
    try {
        dib::Header header = dib::parseHeader(bytes);
        const bool monochrome = header.bitCount == 1 && mono != MonoBits::ColourTable;
        if (!indexedPalette.empty() && !monochrome)
            dib::usePaletteIndices(header, bytes, indexedPalette);
        if (monochrome && mono == MonoBits::NoTable)
            header.infoLength = header.tableOffset;
        if (header.width > gdi::kMaxBitmapSide || header.height > gdi::kMaxBitmapSide
            || qint64(header.width) * header.height > kMaxRecordBitmapPixels)
            return {};
        if (header.infoLength > bytes.size())
            return {};
        const platform::ByteView bits = bytes.subspan(header.infoLength);
        const qint64 pixels = qint64(header.width) * header.height;
        if (header.compression == dib::Rle8 || header.compression == dib::Rle4) {
            // A run codes at most 255 pixels in two bytes; a bitmap far larger than its runs can fill is refused
            // so that a tiny record cannot ask for a huge image.
            if (pixels > qint64(bits.size()) * 128 + 65536)
                return {};
        } else if (rowBytes(header.width, header.bitCount, 4) * header.height > qint64(bits.size())) {
            return {};
        }
        if (bottomUp)
            *bottomUp = !header.topDown;
        const platform::ByteView pixelData = bits.first(dib::pixelDataLength(header, bits.size()));
        return monochrome ? dib::decodeMonochrome(header, pixelData) : dib::decodePixels(header, pixelData);
    } catch (const platform::AppError&) {
        return {};
    }
}

} // namespace

QImage decodeDib(platform::ByteView bytes, bool* bottomUp, std::span<const QRgb> indexedPalette)
{
    return decodeDibAs(bytes, bottomUp, indexedPalette, MonoBits::ColourTable);
}

QImage decodePatternDib(platform::ByteView bytes, MonoBits mono, std::span<const QRgb> indexedPalette)
{
    return decodeDibAs(bytes, nullptr, indexedPalette, mono);
}

QImage decodeBitmap16(platform::ByteView bytes, std::size_t bitsOffset)
{
    if (bytes.size() < 10 || bitsOffset > bytes.size())
        return {};
    const int width = platform::readLe16s(bytes, 2);
    const int height = platform::readLe16s(bytes, 4);
    const int widthBytes = platform::readLe16(bytes, 6);
    const int planes = bytes[8];
    const int bitCount = bytes[9];
    if (width <= 0 || height <= 0 || planes != 1)
        return {};
    if (bitCount != 1 && bitCount != 4 && bitCount != 24 && bitCount != 32)
        return {};
    // Rows of a device-dependent bitmap are padded to 16 bits; the stored row length must hold a whole row.
    const qint64 stride = std::max<qint64>(widthBytes, rowBytes(width, bitCount, 2));
    const platform::ByteView bits = bytes.subspan(bitsOffset);
    if (stride * height > qint64(bits.size()) || qint64(width) * height > kMaxRecordBitmapPixels)
        return {};

    if (bitCount == 1) {
        QImage image(width, height, QImage::Format_Mono);
        if (image.isNull())
            return {};
        image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
        const int rowLength = (width + 7) / 8;
        for (int y = 0; y < height; ++y)
            std::copy_n(bits.data() + y * stride, rowLength, image.scanLine(y));
        return image;
    }
    if (bitCount == 4) {
        // Sixteen colours are the standard colours of a 16-colour display: the static colours without the four
        // a 256-colour display adds in the middle.
        const std::span<const QRgb> statics = gdi::defaultPalette();
        QVector<QRgb> colours(statics.begin(), statics.begin() + 8);
        colours.append(QVector<QRgb>(statics.end() - 8, statics.end()));
        QImage image(width, height, QImage::Format_Indexed8);
        if (image.isNull())
            return {};
        image.setColorTable(colours);
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* row = bits.data() + y * stride;
            std::uint8_t* out = image.scanLine(y);
            for (int x = 0; x < width; ++x)
                out[x] = (x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2]) & 0x0F;
        }
        return image;
    }
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    const int step = bitCount / 8;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = bits.data() + std::ptrdiff_t(y) * stride;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (std::ptrdiff_t x = 0; x < width; ++x)
            out[x] = qRgb(row[x * step + 2], row[x * step + 1], row[x * step]);
    }
    return image;
}

} // namespace store::wmf
