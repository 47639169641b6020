// The ".emf"/".wmf" layer: the content chooses between an enhanced metafile and a placeable Windows metafile.
#include "gdi/emf_player.h"
#include "gdi/emf_records.h"
#include "layers.h"
#include "platform/bytes.h"
#include "platform/errors.h"
#include "wmf_layer.h"

#include <QPainter>

#include <cmath>
#include <optional>

namespace store {

namespace {

/**
 * An enhanced metafile: exactly the header's total size is held (what follows is not the picture's). Drawn by playing
 * its records on white, its frame mapped onto the natural-size rectangle.
 */
class EmfPicture : public Picture {
public:
    EmfPicture(QByteArray bytes, QSize size)
        : m_bytes(std::move(bytes))
        , m_size(size)
    {
    }

    [[nodiscard]] PictureFormat format() const override { return PictureFormat::Emf; }
    [[nodiscard]] QSize size() const override { return m_size; }
    [[nodiscard]] qint64 pictureEnd() const override { return m_bytes.size(); }
    [[nodiscard]] bool hasOwnEnd() const override { return true; }
    [[nodiscard]] QStringList details() const override { return {}; }

    [[nodiscard]] const QImage& image() const override
    {
        if (!m_image) {
            QImage image = drawnAt(m_size);
            if (image.isNull())
                throw platform::AppError(QStringLiteral("Not enough memory to draw the metafile"));
            m_image = std::move(image);
        }
        return *m_image;
    }

    [[nodiscard]] QImage drawnAt(QSize pixels) const override
    {
        QImage image = drawingSurface(pixels);
        if (!image.isNull()) {
            QPainter painter(&image);
            emf::play(platform::asBytes(m_bytes), painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
        }
        return image;
    }

private:
    QByteArray m_bytes;
    QSize m_size;
    mutable std::optional<QImage> m_image;
};

std::unique_ptr<Picture> loadEmf(const QByteArray& fileBytes)
{
    const emf::Header header = emf::parseHeader(platform::asBytes(fileBytes));
    // The frame is in 0.01 mm; the natural size is at 96 pixels per inch.
    const auto length = [](int from, int to) { return std::llround(std::abs(double(to) - double(from)) * 96 / 2540); };
    const qint64 width = length(header.frame.left(), header.frame.right());
    const qint64 height = length(header.frame.top(), header.frame.bottom());
    if (width == 0 || height == 0)
        throw platform::AppError(
            QStringLiteral("The enhanced metafile has an empty frame (%1×%2 pixels)").arg(width).arg(height));
    if (width * height * 4 > kMaxDecodedBytes || width > 1 << 20 || height > 1 << 20)
        throw platform::AppError(
            QStringLiteral("The enhanced metafile is too large to draw (%1×%2 pixels)").arg(width).arg(height));
    return std::make_unique<EmfPicture>(fileBytes.left(qsizetype(header.totalBytes)), QSize(int(width), int(height)));
}

} // namespace

std::unique_ptr<Picture> loadMetafile(const QByteArray& fileBytes)
{
    if (emf::looksLikeEmf(platform::asBytes(fileBytes)))
        return loadEmf(fileBytes);
    return loadPlaceableWmf(fileBytes);
}

} // namespace store
