#pragma once

#include "gdi/decode_limits.h"
#include "picture_formats.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace store {

/** Which rows of a picture being decoded hold their pixels: [0, upperEnd) and [bandStart, bandEnd). */
struct DecodedRows {
    int upperEnd = 0;
    int bandStart = 0;
    int bandEnd = 0;

    /** Whether every row of [first, last) is decoded. */
    [[nodiscard]] bool cover(int first, int last) const;
};

/** Where a layer that decodes row by row writes its rows (32 bits a pixel, Format_RGB32). */
class RowTarget {
public:
    virtual ~RowTarget() = default;
    [[nodiscard]] virtual unsigned char* row(int y) = 0;
    /** Rows [from, to) hold their pixels now. Gives false when the rest is no longer wanted: the decoder stops. */
    virtual bool written(int from, int to) = 0;
    /** False once the rest is no longer wanted, for a decoder that reports no rows for a while. */
    [[nodiscard]] virtual bool wanted() const { return true; }
};

/**
 * A picture as its layer holds it: the bytes it keeps, its natural size, and its pixels on demand.
 * A layer never reads or draws the bytes behind the picture's own data.
 */
class Picture {
public:
    Picture();
    virtual ~Picture();
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    [[nodiscard]] virtual PictureFormat format() const = 0;

    /** Natural size in pixels, as shown (a photo taken turned is shown upright). */
    [[nodiscard]] virtual QSize size() const = 0;
    /** The size the file stores the pixels at: size(), unless the picture is shown turned a quarter. */
    [[nodiscard]] virtual QSize storedSize() const { return size(); }

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
     * The picture at its natural size (or decodedSize() after setReduction()). Decoded (or, for metafiles, played onto
     * a white background) on the first call and kept, so repainting costs nothing. Raises AppError when the data cannot
     * be decoded.
     */
    [[nodiscard]] virtual const QImage& image() const = 0;

    /**
     * Like image(), for a window that shows whatever it can: a picture whose data fails to decode gives what could
     * be decoded (the rows decoded before the failure, for a layer that decodes row by row), the rest transparent
     * (all of it when nothing decodes), and the error's message in `error`.
     */
    [[nodiscard]] virtual const QImage& drawableImage(QString& error) const;

    /**
     * The picture drawn at `pixels`, for a layer that draws rather than decodes (a metafile replays its records onto
     * white at that size, sharp); a null image for the others, and when the size is empty or too large to hold.
     */
    [[nodiscard]] virtual QImage drawnAt(QSize pixels) const;

    /**
     * Makes the pixels decode at 1/`reduction` of the natural size, each side rounded up, where the layer can shrink
     * while it decodes (a JPEG: 1, 2, 4 or 8; other values count as the next smaller of them); other layers keep 1.
     * A window that shows the picture smaller needs no more. A change drops what was decoded, stopping the worker:
     * a view that follows the picture lets it go first.
     */
    void setReduction(int reduction);
    [[nodiscard]] int reduction() const { return m_reduction; }
    /** The size image(), drawableImage() and pixelsSoFar() have: size() reduced. */
    [[nodiscard]] QSize decodedSize() const;

    /**
     * `head`, the bytes this picture was loaded from, as a described file keeps them in front of its marker: a layer
     * corrects a header field where a reader would otherwise take what follows for picture data, and raises AppError
     * when it cannot. The bytes are otherwise kept as they are, which the default does.
     */
    [[nodiscard]] virtual QByteArray headForDescription(const QByteArray& head) const { return head; }

    /**
     * Starts decoding the pixels on a worker thread, the rows from `firstRow` to the bottom first and then those
     * above it, into pixelsSoFar(). `onProgress` (may be empty) runs on the worker whenever rows arrive and once
     * when decoding ends. image() and drawableImage() then wait for the worker and give its result. Does nothing
     * when decoding has started or ended, or for a layer that does not decode row by row. The pixels are decoded
     * once, on whichever thread gets there first; destroying the picture stops the worker and waits for it.
     */
    void decodeInBackground(int firstRow, std::function<void()> onProgress) const;
    /** Whether a worker decodes (or has decoded) this picture's rows: pixelsSoFar() and decodedRows() then apply. */
    [[nodiscard]] bool decodesInBackground() const;
    /** Waits until rows [first, last) are decoded or the worker has ended. */
    void waitForRows(int first, int last) const;
    /** The rows decoded so far; may be read on any thread while the worker writes others. */
    [[nodiscard]] DecodedRows decodedRows() const;
    /** Whether the worker has ended (every row decoded, or a decoding error); then image() waits no more. */
    [[nodiscard]] bool decodingEnded() const;
    /** The buffer the worker decodes into, shared: only the rows decodedRows() names hold pixels yet. */
    [[nodiscard]] const QImage& pixelsSoFar() const;

protected:
    /** Whether decodeRows() can shrink the picture while it decodes (see setReduction()). */
    [[nodiscard]] virtual bool decodesReduced() const { return false; }
    /** Whether the layer decodes through decodeRows(); its image() is then decodedImage(). */
    [[nodiscard]] virtual bool decodesByRows() const { return false; }
    /** The row a layer starts from when a window asks for `wanted` first (a layer may only decode top-down). */
    [[nodiscard]] virtual int firstDecodedRow(int wanted) const { return wanted; }
    /**
     * Decodes rows [first, height) and then [0, first) into `target`, telling it of every batch, and stops when it
     * says so. Gives the decoder's error message (rows after the failure stay unwritten), or an empty one.
     */
    [[nodiscard]] virtual QString decodeRows(RowTarget& target, int first) const;
    /** image() of a layer that decodes row by row: decoded once, here or by the worker. */
    [[nodiscard]] const QImage& decodedImage() const;
    /** A layer that decodes row by row calls this first in its destructor, before its data goes away. */
    void stopDecoding() noexcept;

private:
    struct RowDecoding;
    /** Ends the row decoding: waits for the worker, or decodes here when none ran. */
    void finishDecoding() const;
    [[nodiscard]] const QImage& drawableDecodedImage(QString& error) const;
    /** All transparent: what a window shows of a picture that does not decode at all. */
    [[nodiscard]] const QImage& undecodable() const;

    mutable QImage m_undecodable;
    int m_reduction = 1;
    mutable std::unique_ptr<RowDecoding> m_decoding;
    mutable bool m_finished = false;
    /** After decoding: the picture, or the decoder's message and the rows decoded before the failure. */
    mutable QImage m_image;
    mutable QString m_failure;
    mutable QImage m_partial;
};

/**
 * A white image of `pixels` for a metafile to be drawn on; a null image when the size is empty or larger than
 * kMaxDecodedBytes allows, or the memory cannot be had.
 */
[[nodiscard]] QImage drawingSurface(QSize pixels);

/**
 * Loads a picture from a whole file's bytes through the layer of `format`. Only headers are parsed here; pixels are
 * decoded by image(). Raises AppError for an invalid or oversized picture.
 */
[[nodiscard]] std::unique_ptr<Picture> loadPicture(PictureFormat format, const QByteArray& fileBytes);

/** The same through the layer that the extension of `fileName` selects; raises AppError for another extension. */
[[nodiscard]] std::unique_ptr<Picture> loadPicture(const platform::FilePath& fileName, const QByteArray& fileBytes);

} // namespace store
