#pragma once

#include "gdi/wmf_records.h"
#include "picture.h"

#include <QByteArray>
#include <QImage>
#include <QRect>

#include <cstdint>
#include <memory>
#include <optional>

namespace store {

/**
 * A placeable Windows metafile: the placeable header and the metafile behind it, held up to the metafile's own
 * end (its header's size field). Drawn by playing the records with the placeable bounding box mapped onto the
 * natural-size rectangle; written back as a fresh placeable header and the held metafile unchanged.
 */
class WmfPicture : public Picture {
public:
    WmfPicture(const wmf::PlaceableHeader& header, QByteArray metafile, QSize naturalSize);

    [[nodiscard]] PictureFormat format() const override { return PictureFormat::Wmf; }
    [[nodiscard]] QSize size() const override { return m_size; }
    [[nodiscard]] qint64 pictureEnd() const override { return wmf::kPlaceableHeaderBytes + m_metafile.size(); }
    [[nodiscard]] bool hasOwnEnd() const override { return true; }
    [[nodiscard]] QStringList details() const override { return {}; }
    [[nodiscard]] const QImage& image() const override;
    [[nodiscard]] QImage drawnAt(QSize pixels) const override;

    [[nodiscard]] const wmf::PlaceableHeader& placeableHeader() const { return m_header; }
    /** The metafile as held: its 18-byte header and its records. */
    [[nodiscard]] const QByteArray& metafile() const { return m_metafile; }

private:
    wmf::PlaceableHeader m_header;
    QByteArray m_metafile;
    QSize m_size;
    mutable std::optional<QImage> m_image;
};

/**
 * Loads a placeable Windows metafile from a whole file's bytes (bytes after the metafile's own end are not the
 * picture's). Raises AppError with a clear message for a missing key, a bad checksum, a damaged or truncated
 * metafile header, an empty bounding box and a picture too large to draw.
 */
[[nodiscard]] std::unique_ptr<Picture> loadPlaceableWmf(const QByteArray& fileBytes);

} // namespace store
