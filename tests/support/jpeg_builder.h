#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

/**
 * JPEG fixtures made with libjpeg's compressor. Everything here is inline so that the benchmarks can use it
 * without linking the test support library. Inputs are the tests' own, so libjpeg's default error handler
 * (which ends the process) is good enough.
 */
namespace testing_support {

struct JpegOptions {
    int quality = 90;
    bool progressive = false;
    /** One grey component (the image is converted to grey first). */
    bool grey = false;
};

namespace detail {

/** Owns a compressor writing into memory; the buffer is taken when it is finished. */
class JpegCompressor {
public:
    JpegCompressor()
    {
        m_cinfo.err = jpeg_std_error(&m_err);
        jpeg_create_compress(&m_cinfo);
        jpeg_mem_dest(&m_cinfo, &m_buffer, &m_size);
    }
    ~JpegCompressor()
    {
        jpeg_destroy_compress(&m_cinfo);
        std::free(m_buffer);
    }
    JpegCompressor(const JpegCompressor&) = delete;
    JpegCompressor& operator=(const JpegCompressor&) = delete;

    jpeg_compress_struct* operator->() { return &m_cinfo; }
    jpeg_compress_struct* get() { return &m_cinfo; }

    QByteArray finish()
    {
        jpeg_finish_compress(&m_cinfo);
        return {reinterpret_cast<const char*>(m_buffer), static_cast<qsizetype>(m_size)};
    }

private:
    jpeg_error_mgr m_err {};
    jpeg_compress_struct m_cinfo {};
    unsigned char* m_buffer = nullptr;
    unsigned long m_size = 0;
};

} // namespace detail

/** `image` compressed to a complete JPEG file (SOI to EOI). */
inline QByteArray encodeJpeg(const QImage& image, const JpegOptions& options = {})
{
    const QImage source
        = options.grey ? image.convertToFormat(QImage::Format_Grayscale8) : image.convertToFormat(QImage::Format_RGB32);
    detail::JpegCompressor c;
    c->image_width = static_cast<JDIMENSION>(source.width());
    c->image_height = static_cast<JDIMENSION>(source.height());
    c->input_components = options.grey ? 1 : 4;
    c->in_color_space = options.grey ? JCS_GRAYSCALE : JCS_EXT_BGRX;
    jpeg_set_defaults(c.get());
    jpeg_set_quality(c.get(), options.quality, TRUE);
    if (options.progressive)
        jpeg_simple_progression(c.get());
    jpeg_start_compress(c.get(), TRUE);
    while (c->next_scanline < c->image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(source.constScanLine(static_cast<int>(c->next_scanline)));
        jpeg_write_scanlines(c.get(), &row, 1);
    }
    return c.finish();
}

/**
 * A uniform CMYK JPEG. `ink` is C, M, Y, K with 255 meaning full ink. With `adobe` the file carries an Adobe
 * marker and stores the inks inverted, as most CMYK files do; without it, the inks are stored as given.
 */
inline QByteArray encodeCmykJpeg(int width, int height, std::array<std::uint8_t, 4> ink, bool adobe)
{
    detail::JpegCompressor c;
    c->image_width = static_cast<JDIMENSION>(width);
    c->image_height = static_cast<JDIMENSION>(height);
    c->input_components = 4;
    c->in_color_space = JCS_CMYK;
    jpeg_set_defaults(c.get());
    jpeg_set_colorspace(c.get(), JCS_CMYK);
    c->write_Adobe_marker = adobe ? TRUE : FALSE;
    jpeg_set_quality(c.get(), 95, TRUE);
    jpeg_start_compress(c.get(), TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * 4);
    for (std::size_t i = 0; i < row.size(); ++i)
        row[i] = static_cast<JSAMPLE>(adobe ? 255 - ink[i % 4] : ink[i % 4]);
    while (c->next_scanline < c->image_height) {
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(c.get(), &pointer, 1);
    }
    return c.finish();
}

/** A width×height picture with four coloured quadrants: red, green (top), blue, white (bottom). */
inline QImage quadrantImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2;
            const bool bottom = y >= height / 2;
            row[x] = !bottom ? (right ? qRgb(0, 255, 0) : qRgb(255, 0, 0))
                             : (right ? qRgb(255, 255, 255) : qRgb(0, 0, 255));
        }
    }
    return image;
}

/** A smooth, detailed picture that compresses like a photograph rather than a flat graphic. */
inline QImage photoLikeImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    std::uint32_t noise = 12345;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int grain = static_cast<int>(noise >> 28) - 8;
            const int r = (x * 255 / width + grain) & 0xFF;
            const int g = (y * 255 / height + grain) & 0xFF;
            const int b = (((x / 37) ^ (y / 23)) * 7 + grain) & 0xFF;
            row[x] = qRgb(r, g, b);
        }
    }
    return image;
}

/** The offset of the first header marker 0xFF `code` in a JPEG (segments walked from SOI), or -1. */
inline qsizetype findJpegMarker(const QByteArray& jpeg, std::uint8_t code)
{
    qsizetype pos = 2;
    while (pos + 4 <= jpeg.size() && static_cast<std::uint8_t>(jpeg[pos]) == 0xFF) {
        const auto marker = static_cast<std::uint8_t>(jpeg[pos + 1]);
        if (marker == code)
            return pos;
        if (marker == 0xDA || marker == 0xD9)
            return -1; // entropy-coded data follows; header markers are all before it
        pos += 2 + ((static_cast<std::uint8_t>(jpeg[pos + 2]) << 8) | static_cast<std::uint8_t>(jpeg[pos + 3]));
    }
    return -1;
}

/** `jpeg` without its quantisation tables: the header reads, no pixel decodes ("JPEG error #52"). */
inline QByteArray withoutQuantisationTables(QByteArray jpeg)
{
    for (qsizetype dqt = findJpegMarker(jpeg, 0xDB); dqt > 0; dqt = findJpegMarker(jpeg, 0xDB)) {
        const int length = (static_cast<std::uint8_t>(jpeg[dqt + 2]) << 8) | static_cast<std::uint8_t>(jpeg[dqt + 3]);
        jpeg.remove(dqt, 2 + length);
    }
    return jpeg;
}

/** A JPEG with a comment segment holding `text` inserted right after SOI (the picture is unchanged). */
inline QByteArray withComment(const QByteArray& jpeg, const QByteArray& text)
{
    QByteArray segment("\xFF\xFE", 2);
    const auto length = static_cast<int>(text.size() + 2);
    segment.append(static_cast<char>(length >> 8)).append(static_cast<char>(length & 0xFF)).append(text);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

/** `jpeg` with an Exif APP1 segment holding `tiff` (the Exif data after "Exif\0\0") inserted right after SOI. */
inline QByteArray withExif(const QByteArray& jpeg, const QByteArray& tiff)
{
    const QByteArray body = QByteArray("Exif\0\0", 6) + tiff;
    const auto length = static_cast<int>(body.size() + 2);
    QByteArray segment("\xFF\xE1", 2);
    segment.append(static_cast<char>(length >> 8)).append(static_cast<char>(length & 0xFF)).append(body);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

/** Exif data (little-endian TIFF) whose first IFD holds only the Orientation tag (0x0112, one SHORT). */
inline QByteArray exifOrientationTiff(int orientation)
{
    return QByteArray("II*\0\x08\0\0\0" // header, IFD at 8
                      "\x01\0" // one entry
                      "\x12\x01\x03\0\x01\0\0\0",
               18)
        + QByteArray(1, static_cast<char>(orientation)) + QByteArray(7, '\0'); // value; no next IFD
}

/** True when the colours differ by at most `tolerance` in each channel (JPEG is lossy). */
inline bool nearColour(QRgb actual, QColor expected, int tolerance = 12)
{
    return std::abs(qRed(actual) - expected.red()) <= tolerance
        && std::abs(qGreen(actual) - expected.green()) <= tolerance
        && std::abs(qBlue(actual) - expected.blue()) <= tolerance;
}

} // namespace testing_support
