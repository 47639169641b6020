#include "wmf_layer.h"

#include "platform/bytes.h"
#include "platform/errors.h"
#include "wmf_player.h"
#include "wmf_records.h"

#include <QPainter>

#include <cmath>
#include <cstdlib>

namespace store {

namespace {

void putLe16(QByteArray& out, std::uint16_t value)
{
    out.append(char(value & 0xFF));
    out.append(char(value >> 8));
}

std::uint16_t checksumOf(platform::ByteView header)
{
    std::uint16_t sum = 0;
    for (std::size_t word = 0; word < 10; ++word)
        sum ^= platform::readLe16(header, word * 2);
    return sum;
}

/** round(|extent| × 96 / inch), with an inch of 0 counting as 96. */
qint64 naturalLength(int from, int to, std::uint16_t unitsPerInch)
{
    const int inch = unitsPerInch == 0 ? 96 : unitsPerInch;
    return std::llround(std::abs(double(to) - double(from)) * 96.0 / inch);
}

} // namespace

QByteArray encodePlaceableHeader(const PlaceableHeader& header)
{
    QByteArray out;
    out.reserve(kPlaceableHeaderBytes);
    putLe16(out, std::uint16_t(kPlaceableKey & 0xFFFF));
    putLe16(out, std::uint16_t(kPlaceableKey >> 16));
    putLe16(out, 0); // handle: always 0 on disk
    putLe16(out, std::uint16_t(header.left));
    putLe16(out, std::uint16_t(header.top));
    putLe16(out, std::uint16_t(header.right));
    putLe16(out, std::uint16_t(header.bottom));
    putLe16(out, header.unitsPerInch);
    putLe16(out, 0); // reserved
    putLe16(out, 0);
    putLe16(out, checksumOf(platform::asBytes(out)));
    return out;
}

WmfPicture::WmfPicture(const PlaceableHeader& header, QByteArray metafile, QSize naturalSize)
    : m_header(header)
    , m_metafile(std::move(metafile))
    , m_size(naturalSize)
{
}

const QImage& WmfPicture::image() const
{
    if (!m_image) {
        QImage image(m_size, QImage::Format_RGB32);
        if (image.isNull())
            throw platform::AppError(QStringLiteral("Not enough memory to draw the %1×%2 metafile")
                                         .arg(m_size.width())
                                         .arg(m_size.height()));
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            wmf::play(platform::asBytes(m_metafile), m_header, painter, m_size);
        }
        m_image = std::move(image);
    }
    return *m_image;
}

QByteArray WmfPicture::encoded() const
{
    return encodePlaceableHeader(m_header) + m_metafile;
}

std::unique_ptr<Picture> loadPlaceableWmf(const QByteArray& fileBytes)
{
    const platform::ByteView bytes = platform::asBytes(fileBytes);
    if (bytes.size() < std::size_t(kPlaceableHeaderBytes) || platform::readLe32(bytes, 0) != kPlaceableKey)
        throw platform::AppError(QStringLiteral("Invalid metafile: not a placeable Windows metafile"));
    if (checksumOf(bytes) != platform::readLe16(bytes, 20))
        throw platform::AppError(QStringLiteral("Invalid metafile: the placeable header's checksum is wrong"));

    PlaceableHeader header;
    header.left = platform::readLe16s(bytes, 6);
    header.top = platform::readLe16s(bytes, 8);
    header.right = platform::readLe16s(bytes, 10);
    header.bottom = platform::readLe16s(bytes, 12);
    header.unitsPerInch = platform::readLe16(bytes, 14);

    const platform::ByteView metafile = bytes.subspan(kPlaceableHeaderBytes);
    const wmf::MetaHeader meta = wmf::parseMetaHeader(metafile);
    const std::size_t length = wmf::heldLength(metafile, meta);
    const qint64 width = naturalLength(header.left, header.right, header.unitsPerInch);
    const qint64 height = naturalLength(header.top, header.bottom, header.unitsPerInch);
    if (width == 0 || height == 0)
        throw platform::AppError(
            QStringLiteral("Invalid metafile: the picture's size is %1×%2 pixels").arg(width).arg(height));
    if (width * height * 4 > kMaxDecodedBytes)
        throw platform::AppError(
            QStringLiteral("The picture is too large to display (%1×%2 pixels)").arg(width).arg(height));

    return std::make_unique<WmfPicture>(
        header, platform::toByteArray(metafile.first(length)), QSize(int(width), int(height)));
}

} // namespace store
