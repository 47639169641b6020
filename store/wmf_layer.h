#pragma once

#include "picture.h"

#include <QByteArray>
#include <QImage>
#include <QRect>

#include <cstdint>
#include <memory>
#include <optional>

namespace store {

/** The 22-byte header in front of a placeable Windows metafile. */
struct PlaceableHeader {
    std::int16_t left = 0;
    std::int16_t top = 0;
    std::int16_t right = 0;
    std::int16_t bottom = 0;
    /** Metafile units per inch as stored; 0 counts as 96. */
    std::uint16_t unitsPerInch = 0;
};

inline constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
inline constexpr int kPlaceableHeaderBytes = 22;

/** The 22 header bytes for `header`: key, bounding box, units per inch, handle 0, reserved 0, checksum. */
[[nodiscard]] QByteArray encodePlaceableHeader(const PlaceableHeader& header);

/**
 * A placeable Windows metafile: the placeable header and the metafile behind it, held up to the metafile's own
 * end (its header's size field). Drawn by playing the records with the placeable bounding box mapped onto the
 * natural-size rectangle; written back as a fresh placeable header and the held metafile unchanged.
 */
class WmfPicture : public Picture {
public:
    WmfPicture(const PlaceableHeader& header, QByteArray metafile, QSize naturalSize);

    [[nodiscard]] PictureFormat format() const override { return PictureFormat::Wmf; }
    [[nodiscard]] QSize size() const override { return m_size; }
    [[nodiscard]] qint64 pictureEnd() const override { return kPlaceableHeaderBytes + m_metafile.size(); }
    [[nodiscard]] const QImage& image() const override;
    [[nodiscard]] QByteArray encoded() const override;

    [[nodiscard]] const PlaceableHeader& placeableHeader() const { return m_header; }
    /** The metafile as held: its 18-byte header and its records. */
    [[nodiscard]] const QByteArray& metafile() const { return m_metafile; }

private:
    PlaceableHeader m_header;
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
