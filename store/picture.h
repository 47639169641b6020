#pragma once

#include "gdi/decode_limits.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>

namespace store {

enum class PictureFormat { Bmp, Jpeg, Emf, Wmf };

/** "bmp", "jpeg", "emf" or "wmf". */
[[nodiscard]] const char* formatName(PictureFormat format);

/**
 * The format a file name selects by its lower-cased extension: "bmp", "jpg"/"jpeg", "emf", "wmf" (a metafile's
 * content later decides between enhanced and placeable). Raises AppError for any other extension.
 */
[[nodiscard]] PictureFormat formatForFileName(const QString& fileName);

/**
 * A picture as its layer holds it: the bytes it keeps, its natural size, and its pixels on demand.
 * A layer never reads or draws the bytes behind the picture's own data.
 */
class Picture {
public:
    virtual ~Picture() = default;

    [[nodiscard]] virtual PictureFormat format() const = 0;

    /** Natural size in pixels. */
    [[nodiscard]] virtual QSize size() const = 0;

    /** Offset in the loaded file where the picture's own data ends; what follows is not the picture's. */
    [[nodiscard]] virtual qint64 pictureEnd() const = 0;

    /**
     * False when the picture's data has no end of its own (a JPEG cut short before its end-of-image marker): it
     * then runs on into whatever follows, a description included, and pictureEnd() is only the end of the file.
     */
    [[nodiscard]] virtual bool hasOwnEnd() const = 0;

    /** Facts only this format has, one "name: value" line each, in the order the info command prints them. */
    [[nodiscard]] virtual QStringList details() const = 0;

    /**
     * The picture at its natural size. Decoded (or, for metafiles, played onto a white background) on the
     * first call and kept, so repainting costs nothing. Raises AppError when the data cannot be decoded.
     */
    [[nodiscard]] virtual const QImage& image() const = 0;

    /**
     * Like image(), for a window that shows whatever it can: a picture whose data fails to decode gives what could
     * be decoded, the rest transparent (all of it when nothing decodes), and the error's message in `error`.
     */
    [[nodiscard]] virtual const QImage& drawableImage(QString& error) const;

    /** The bytes this layer writes for the picture into a described file, in front of the marker. */
    [[nodiscard]] virtual QByteArray encoded() const = 0;

private:
    mutable QImage m_undecodable;
};

/**
 * Loads a picture from a whole file's bytes through the layer that `fileName`'s extension selects.
 * Only headers are parsed here; pixels are decoded by image(). Raises AppError for an unknown extension or an
 * invalid or oversized picture.
 */
[[nodiscard]] std::unique_ptr<Picture> loadPicture(const QString& fileName, const QByteArray& fileBytes);

} // namespace store
