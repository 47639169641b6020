#include "bmp_builder.h"

namespace testing_support {

namespace {

void le16(QByteArray& out, std::uint32_t value)
{
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}

void le32(QByteArray& out, std::uint32_t value)
{
    le16(out, value & 0xFFFF);
    le16(out, value >> 16);
}

bool runLength(const BmpSpec& spec)
{
    return spec.compression == 1 || spec.compression == 2;
}

QByteArray infoHeader(const BmpSpec& spec)
{
    QByteArray out;
    le32(out, spec.headerSize);
    if (spec.headerSize == 12) {
        le16(out, std::uint32_t(spec.width));
        le16(out, std::uint32_t(spec.height));
        le16(out, 1);
        le16(out, std::uint32_t(spec.bitCount));
        return out;
    }
    le32(out, std::uint32_t(spec.width));
    le32(out, std::uint32_t(spec.topDown ? -spec.height : spec.height));
    le16(out, 1);
    le16(out, std::uint32_t(spec.bitCount));
    le32(out, spec.compression);
    le32(out, spec.sizeImage.value_or(runLength(spec) ? std::uint32_t(spec.pixels.size()) : 0));
    le32(out, 2835); // 72 dots per inch
    le32(out, 2835);
    le32(out, spec.colorsUsed);
    le32(out, 0);
    const bool masksInside = spec.headerSize >= 52;
    const bool fields = spec.compression == 3 || spec.compression == 6;
    if (masksInside || fields) {
        const int count = masksInside ? (spec.headerSize >= 56 ? 4 : 3) : (spec.compression == 6 ? 4 : 3);
        for (int i = 0; i < count; ++i)
            le32(out, spec.masks[std::size_t(i)]);
    }
    if (spec.headerSize >= 108) {
        le32(out, 0x73524742); // colour space "sRGB"
        out.append(QByteArray(int(spec.headerSize) - out.size(), '\0'));
    }
    return out;
}

} // namespace

QByteArray buildDib(const BmpSpec& spec)
{
    QByteArray out = infoHeader(spec);
    for (const QRgb colour : spec.palette) {
        out.append(char(qBlue(colour)));
        out.append(char(qGreen(colour)));
        out.append(char(qRed(colour)));
        if (spec.headerSize != 12)
            out.append('\0');
    }
    return out + spec.pixels;
}

QByteArray buildBmp(const BmpSpec& spec)
{
    QByteArray dib = buildDib(spec);
    const auto headers = std::uint32_t(14 + dib.size() - spec.pixels.size());
    const std::uint32_t offset = spec.pixelOffset.value_or(headers);
    if (offset > headers) // a gap between the colour table and the pixels
        dib.insert(dib.size() - spec.pixels.size(), QByteArray(int(offset - headers), '\0'));
    QByteArray out("BM");
    le32(out, std::uint32_t(14 + dib.size()));
    le32(out, 0);
    le32(out, offset);
    return out + dib;
}

QByteArray packRows(int bitCount, const std::vector<std::vector<std::uint32_t>>& rows)
{
    QByteArray out;
    for (const auto& row : rows) {
        QByteArray packed;
        if (bitCount < 8) {
            const int perByte = 8 / bitCount;
            for (std::size_t i = 0; i < row.size(); i += std::size_t(perByte)) {
                std::uint32_t byte = 0;
                for (int j = 0; j < perByte; ++j) {
                    const std::uint32_t value = i + std::size_t(j) < row.size() ? row[i + std::size_t(j)] : 0;
                    byte |= (value & ((1u << bitCount) - 1)) << (8 - bitCount * (j + 1));
                }
                packed.append(char(byte));
            }
        } else {
            for (const std::uint32_t value : row)
                for (int i = 0; i < bitCount / 8; ++i)
                    packed.append(char((value >> (8 * i)) & 0xFF));
        }
        while (packed.size() % 4 != 0)
            packed.append('\0');
        out += packed;
    }
    return out;
}

QByteArray bmpFromImage(const QImage& image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    std::vector<std::vector<std::uint32_t>> rows;
    for (int y = rgb.height() - 1; y >= 0; --y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        rows.emplace_back(line, line + rgb.width());
    }
    BmpSpec spec;
    spec.width = rgb.width();
    spec.height = rgb.height();
    spec.pixels = packRows(24, rows);
    return buildBmp(spec);
}

QByteArray solidBmp(int width, int height, QRgb colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return bmpFromImage(image);
}

} // namespace testing_support
