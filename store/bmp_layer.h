#pragma once

#include "gdi/dib.h"
#include "picture.h"

#include <QByteArray>
#include <QImage>

namespace store {

/**
 * A BMP file: the 14-byte file header ("BM"), an info header, a colour table and the pixel data. Loading parses
 * the headers only; the pixels are decoded on the first call to image(). The loaded file's bytes are shared, not
 * copied, and nothing behind the pixel data is ever read.
 */
class BmpPicture final : public Picture {
public:
    /** Parses a whole file's bytes. Raises AppError for anything that is not a BMP picture this layer can show. */
    explicit BmpPicture(const QByteArray& fileBytes);
    ~BmpPicture() override;

    [[nodiscard]] PictureFormat format() const override { return PictureFormat::Bmp; }
    [[nodiscard]] QSize size() const override { return {m_header.width, m_header.height}; }
    [[nodiscard]] qint64 pictureEnd() const override { return m_pixelOffset + m_pixelLength; }
    [[nodiscard]] bool hasOwnEnd() const override { return true; }
    [[nodiscard]] QStringList details() const override { return {}; }
    /** Decoded once; uncompressed pixels row by row, here or on a worker (see decodeInBackground()). */
    [[nodiscard]] const QImage& image() const override;

    /**
     * Uncompressed pixel data shorter than the header says gets the image size it has in the header, so that a
     * description behind it is never read as its missing pixels; a 12-byte core header has no such field, and is
     * refused.
     */
    [[nodiscard]] QByteArray headForDescription(const QByteArray& head) const override;

    [[nodiscard]] const dib::Header& header() const { return m_header; }
    /** Where the pixel data starts in the loaded file, and how many of its bytes belong to the picture. */
    [[nodiscard]] qint64 pixelOffset() const { return m_pixelOffset; }
    [[nodiscard]] qint64 pixelLength() const { return m_pixelLength; }

protected:
    /** Uncompressed pixels decode by rows; run-length ones only as a whole. */
    [[nodiscard]] bool decodesByRows() const override;
    [[nodiscard]] QString decodeRows(RowTarget& target, int first) const override;

private:
    [[nodiscard]] QByteArray encodedUncompressed() const;
    /** Whether uncompressed pixel data ends before the length its header gives. */
    [[nodiscard]] bool shortPixelData() const;
    [[nodiscard]] QByteArray encodedRunLength() const;

    QByteArray m_bytes;
    dib::Header m_header;
    qint64 m_pixelOffset = 0;
    qint64 m_pixelLength = 0;
    mutable QImage m_image;
    mutable bool m_decoded = false;
};

} // namespace store
