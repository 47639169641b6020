#include "wmf_layer.h"

#include "gdi/wmf_player.h"
#include "gdi/wmf_records.h"
#include "platform/bytes.h"
#include "platform/errors.h"

#include <QPainter>

#include <cmath>
#include <cstdlib>

namespace store {

namespace {

/** round(|extent| × 96 / inch), with an inch of 0 counting as 96. */
qint64 naturalLength(int from, int to, std::uint16_t unitsPerInch)
{
    const int inch = unitsPerInch == 0 ? 96 : unitsPerInch;
    return std::llround(std::abs(double(to) - double(from)) * 96.0 / inch);
}

} // namespace

WmfPicture::WmfPicture(const wmf::PlaceableHeader& header, QByteArray metafile, QSize naturalSize)
    : m_header(header)
    , m_metafile(std::move(metafile))
    , m_size(naturalSize)
{
}

const QImage& WmfPicture::image() const
{
    if (!m_image) {
        QImage image = drawnAt(m_size);
        if (image.isNull())
            throw platform::AppError(QStringLiteral("Not enough memory to draw the %1×%2 metafile")
                                         .arg(m_size.width())
                                         .arg(m_size.height()));
        m_image = std::move(image);
    }
    return *m_image;
}

QImage WmfPicture::drawnAt(QSize pixels) const
{
    QImage image = drawingSurface(pixels);
    if (!image.isNull()) {
        QPainter painter(&image);
        wmf::play(platform::asBytes(m_metafile), m_header, painter, pixels);
    }
    return image;
}

std::unique_ptr<Picture> loadPlaceableWmf(const QByteArray& fileBytes)
{
    const platform::ByteView bytes = platform::asBytes(fileBytes);
    const wmf::PlaceableHeader header = wmf::parsePlaceableHeader(bytes);

    const platform::ByteView metafile = bytes.subspan(wmf::kPlaceableHeaderBytes);
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
