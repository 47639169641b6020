#pragma once

#include "picture.h"
#include "platform/bytes.h"

#include <optional>

namespace store {

/**
 * A JPEG picture through libjpeg. It holds the whole file as loaded (a shallow copy of the caller's buffer, a
 * description block included) and writes it back unchanged, so a JPEG is never re-compressed. Only the header
 * (and the Exif orientation) is read when it is loaded; the pixels are decoded on the first call of image(). A
 * photo taken turned or mirrored is shown upright: its size and pixels are those of the turned picture, while
 * the file's bytes stay as they are.
 */
class JpegPicture final : public Picture {
public:
    /**
     * Parses the header. Raises AppError "JPEG error #N" (libjpeg's message code) for a damaged header, and
     * AppError when the decoded image would exceed kMaxDecodedBytes.
     */
    explicit JpegPicture(const QByteArray& fileBytes);
    ~JpegPicture() override;

    [[nodiscard]] PictureFormat format() const override { return PictureFormat::Jpeg; }
    /** As shown: the stored size, turned a quarter when the Exif orientation says so. */
    [[nodiscard]] QSize size() const override;
    [[nodiscard]] QSize storedSize() const override { return m_stored; }
    /** Just after the end-of-image marker; the end of the file when it has none. */
    [[nodiscard]] qint64 pictureEnd() const override;
    /** False for a file cut short before its end-of-image marker: then nobody knows where the picture ends. */
    [[nodiscard]] bool hasEndOfImage() const;
    [[nodiscard]] bool hasOwnEnd() const override { return hasEndOfImage(); }
    /** "grey: yes|no", "progressive: yes|no" and "orientation: N" (the Exif orientation, 1 to 8). */
    [[nodiscard]] QStringList details() const override;
    /**
     * Decoded once, in Format_RGB32, here or on a worker (see decodeInBackground()), and turned upright as the
     * Exif orientation says. Warnings are ignored, so a truncated file shows what it has and grey below; a
     * decoder error raises "JPEG error #N".
     */
    [[nodiscard]] const QImage& image() const override;

    [[nodiscard]] bool isGrey() const { return m_grey; }
    [[nodiscard]] bool isProgressive() const { return m_progressive; }
    /** The Exif orientation, 1 (as stored, also without one or with a damaged Exif block) to 8. */
    [[nodiscard]] int orientation() const { return m_orientation; }

protected:
    [[nodiscard]] bool decodesByRows() const override { return true; }
    [[nodiscard]] bool decodesReduced() const override { return true; }
    [[nodiscard]] int firstDecodedRow(int wanted) const override;
    /** Top-down from `first` (libjpeg passes over the rows above without drawing them), then a second pass above. */
    [[nodiscard]] QString decodeRows(RowTarget& target, int first) const override;

private:
    QByteArray m_bytes;
    QSize m_stored;
    bool m_grey = false;
    bool m_progressive = false;
    int m_orientation = 1;
    mutable std::optional<qint64> m_end;
};

/**
 * Where the JPEG data that starts at bytes[0] ends: the offset just after its end-of-image marker, found by
 * walking the marker segments and skipping entropy-coded data as the decoder does. -1 when there is no
 * end-of-image marker.
 */
[[nodiscard]] qint64 jpegDataEnd(platform::ByteView bytes);

} // namespace store
