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

bool runLength(const BmpSpec& plan)
{
    return plan.compression == 1 || plan.compression == 2;
}

QByteArray infoHeader(const BmpSpec& plan)
{
    QByteArray out;
    le32(out, plan.headerSize);
    if (plan.headerSize == 12) {
        le16(out, std::uint32_t(plan.width));
        le16(out, std::uint32_t(plan.height));
        le16(out, 1);
        le16(out, std::uint32_t(plan.bitCount));
        return out;
    }
    le32(out, std::uint32_t(plan.width));
    le32(out, std::uint32_t(plan.topDown ? -plan.height : plan.height));
    le16(out, 1);
    le16(out, std::uint32_t(plan.bitCount));
    le32(out, plan.compression);
    le32(out, plan.sizeImage.value_or(runLength(plan) ? std::uint32_t(plan.pixels.size()) : 0));
    le32(out, 2835); // 72 dots per inch
    le32(out, 2835);
    le32(out, plan.colorsUsed);
    le32(out, 0);
    const bool masksInside = plan.headerSize >= 52;
    const bool fields = plan.compression == 3 || plan.compression == 6;
    if (masksInside || fields) {
        const int count = masksInside ? (plan.headerSize >= 56 ? 4 : 3) : (plan.compression == 6 ? 4 : 3);
        for (int i = 0; i < count; ++i)
            le32(out, plan.masks[std::size_t(i)]);
    }
    if (plan.headerSize >= 108) {
        le32(out, 0x73524742); // colour space "sRGB"
        out.append(QByteArray(int(plan.headerSize) - out.size(), '\0'));
    }
    return out;
}

} // namespace

QByteArray buildDib(const BmpSpec& plan)
{
    QByteArray out = infoHeader(plan);
    for (const QRgb colour : plan.palette) {
        out.append(char(qBlue(colour)));
        out.append(char(qGreen(colour)));
        out.append(char(qRed(colour)));
        if (plan.headerSize != 12)
            out.append('\0');
    }
    return out + plan.pixels;
}

QByteArray buildBmp(const BmpSpec& plan)
{
    QByteArray dib = buildDib(plan);
    const auto headers = std::uint32_t(14 + dib.size() - plan.pixels.size());
    const std::uint32_t offset = plan.pixelOffset.value_or(headers);
    if (offset > headers) // a gap between the colour table and the pixels
        dib.insert(dib.size() - plan.pixels.size(), QByteArray(int(offset - headers), '\0'));
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
    BmpSpec plan;
    plan.width = rgb.width();
    plan.height = rgb.height();
    plan.pixels = packRows(24, rows);
    return buildBmp(plan);
}

QByteArray solidBmp(int width, int height, QRgb colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return bmpFromImage(image);
}

} // namespace testing_support
