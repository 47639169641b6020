#include "jpeg_layer.h"

#include "exif_orientation.h"
#include "layers.h"
#include "platform/errors.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <cstring>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace store {

namespace {

// libjpeg reports a fatal error by calling error_exit, which must not return. We leave with longjmp back into
// the function that started the work. Only the functions below call setjmp, and they keep no object with a
// destructor alive across it: they take plain pointers, hold plain locals, and destroy the decompressor on
// every path. The C++ wrappers turn their result into an exception afterwards.

struct ErrorManager {
    jpeg_error_mgr pub; // first, so libjpeg's pointer to it is a pointer to the whole
    std::jmp_buf jump;
    int code;
};

void onError(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    err->code = err->pub.msg_code;
    std::longjmp(err->jump, 1);
}

// Real progressive files have a dozen scans. A damaged or hostile one may repeat scans by the thousand, each
// a pass over the whole picture; past this many the picture is refused rather than decoded for minutes.
constexpr int kMaxScans = 500;
constexpr int kTooManyScans = -1; // our own code, beside libjpeg's message codes

void limitScans(j_common_ptr cinfo)
{
    const auto* decompressor = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (decompressor->input_scan_number > kMaxScans) {
        auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
        err->code = kTooManyScans;
        std::longjmp(err->jump, 1);
    }
}

// Warnings (a truncated file, extraneous bytes) must not stop the decoder: it shows what it has.
void ignoreMessage(j_common_ptr, int) { }
void ignoreOutput(j_common_ptr) { }

void prepare(jpeg_decompress_struct* cinfo, ErrorManager* err)
{
    // Zeroed first, so that destroying it is safe even when jpeg_create_decompress itself fails.
    std::memset(cinfo, 0, sizeof *cinfo);
    cinfo->err = jpeg_std_error(&err->pub);
    err->pub.error_exit = onError;
    err->pub.emit_message = ignoreMessage;
    err->pub.output_message = ignoreOutput;
    err->code = 0;
}

void start(jpeg_decompress_struct* cinfo, const JOCTET* data, unsigned long size)
{
    jpeg_create_decompress(cinfo);
    // libjpeg's own buffers (a progressive file keeps every coefficient) stay within the limit the image has.
    cinfo->mem->max_memory_to_use = kMaxDecodedBytes;
    jpeg_mem_src(cinfo, data, size);
    jpeg_read_header(cinfo, TRUE);
}

struct HeaderInfo {
    JDIMENSION width;
    JDIMENSION height;
    bool grey;
    bool progressive;
};

/** Parses the header. Gives false and libjpeg's message code on failure. */
bool readHeader(const JOCTET* data, unsigned long size, HeaderInfo* info, int* errorCode)
{
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    prepare(&cinfo, &err);
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        *errorCode = err.code;
        return false;
    }
    start(&cinfo, data, size);
    info->width = cinfo.image_width;
    info->height = cinfo.image_height;
    info->grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    info->progressive = cinfo.progressive_mode != 0;
    jpeg_destroy_decompress(&cinfo);
    return true;
}

inline unsigned char scale(unsigned a, unsigned b)
{
    return static_cast<unsigned char>((a * b + 127) / 255);
}

/**
 * CMYK as libjpeg gives it to B, G, R, 0xFF. Files with an Adobe marker store the inks inverted (0 = full
 * ink), which is how nearly every CMYK JPEG is written.
 */
void cmykToBgrx(const JSAMPLE* in, unsigned char* out, JDIMENSION width, bool adobeInverted)
{
    for (JDIMENSION x = 0; x < width; ++x, in += 4, out += 4) {
        unsigned c = in[0], m = in[1], y = in[2], k = in[3];
        if (!adobeInverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[0] = scale(y, k);
        out[1] = scale(m, k);
        out[2] = scale(c, k);
        out[3] = 0xFF;
    }
}

constexpr JDIMENSION kBatch = 16; // rows decoded and reported at once

/**
 * Turns the rows of a photo taken turned or mirrored upright on their way from the decoder into `shown`, which has
 * the picture's shown size: the pixels are moved once, as they are decoded, and never again on repaint. A row that
 * stays a row (orientations 2 to 4) is decoded straight into the row it is shown in and reversed there when
 * mirrored; only mirrored rows (2) arrive top-down as usual and are reported as they come. A quarter turn (5 to 8)
 * makes rows columns: a band of rows is decoded into a buffer of its own and copied out in tiles, and the shown
 * rows are reported all at once when the last one is in.
 */
class OrientedTarget final : public RowTarget {
public:
    OrientedTarget(RowTarget& shown, int orientation, QSize stored)
        : m_shown(shown)
        , m_orientation(orientation)
        , m_width(stored.width())
        , m_height(stored.height())
    {
        if (swapsAxes(m_orientation))
            m_band.resize(std::size_t(kBand) * std::size_t(m_width));
    }

    unsigned char* row(int y) override
    {
        if (swapsAxes(m_orientation))
            return reinterpret_cast<unsigned char*>(bandRow(y));
        return m_shown.row(m_orientation <= 2 ? y : m_height - 1 - y);
    }

    bool written(int from, int to) override
    {
        if (m_orientation == 2 || m_orientation == 3) {
            for (int y = from; y < to; ++y) {
                auto* pixels = reinterpret_cast<std::uint32_t*>(row(y));
                std::reverse(pixels, pixels + m_width);
            }
        }
        if (m_orientation <= 2)
            return m_shown.written(from, to);
        m_decoded = to;
        // A band is copied out when it is full; the decoder fills it in batches that never cross its end.
        if (swapsAxes(m_orientation) && (to % kBand == 0 || to == m_height))
            placeBand(to);
        return m_shown.wanted();
    }

    /**
     * Reports the shown rows after the passes, unless they were stopped or nothing decoded (a picture that fails
     * before its first row shows nothing, turned or not). Rows the decoder never reached after an error are grey,
     * as libjpeg fills the missing part of a truncated file, and the picture is reported whole: a turned row mixes
     * decoded pixels and missing ones, so it cannot be left out on its own as an upright picture's row is.
     */
    void finish()
    {
        if (m_orientation <= 2 || m_decoded == 0 || !m_shown.wanted())
            return;
        // A quarter turn's band holds kBand rows at a time: it is filled and copied out band by band.
        for (int from = m_decoded; from < m_height;) {
            const int end = swapsAxes(m_orientation) ? std::min(m_height, (from / kBand + 1) * kBand) : m_height;
            for (int y = from; y < end; ++y)
                std::fill_n(reinterpret_cast<std::uint32_t*>(row(y)), m_width, kMissing);
            if (swapsAxes(m_orientation))
                placeBand(end);
            from = end;
        }
        (void)m_shown.written(0, swapsAxes(m_orientation) ? m_width : m_height);
    }

private:
    /** Rows a quarter turn copies out at once: each shown row then takes 64 neighbouring pixels per visit. */
    static constexpr int kBand = 64;
    static_assert(kBand % int(kBatch) == 0);
    static constexpr std::uint32_t kMissing = 0xFF808080;

    std::uint32_t* bandRow(int y) { return m_band.data() + std::size_t(y % kBand) * std::size_t(m_width); }

    /**
     * Copies the band's stored rows [m_placed, end) to the columns they are shown in. Stored pixel (x, y) is shown
     * in row x (5, 6) or w - 1 - x (7, 8), at column y (5, 8) or h - 1 - y (6, 7). Tiles of 16 shown rows keep the
     * writes to 16 streams while the band's rows are read along.
     */
    void placeBand(int end)
    {
        const int w = m_width;
        const int first = m_placed;
        const int count = end - first;
        const bool rowsReversed = m_orientation == 7 || m_orientation == 8;
        const bool columnsReversed = m_orientation == 6 || m_orientation == 7;
        const int column = columnsReversed ? m_height - 1 - first : first;
        const int step = columnsReversed ? -1 : 1;
        constexpr int kTile = 16;
        std::uint32_t* out[kTile];
        for (int x0 = 0; x0 < w; x0 += kTile) {
            const int tile = std::min(kTile, w - x0);
            for (int k = 0; k < tile; ++k) {
                const int x = x0 + k;
                out[k] = reinterpret_cast<std::uint32_t*>(m_shown.row(rowsReversed ? w - 1 - x : x)) + column;
            }
            for (int i = 0; i < count; ++i) {
                const std::uint32_t* in = bandRow(first + i) + x0;
                const std::ptrdiff_t at = std::ptrdiff_t(i) * step;
                for (int k = 0; k < tile; ++k)
                    out[k][at] = in[k];
            }
        }
        m_placed = end;
    }

    RowTarget& m_shown;
    int m_orientation;
    int m_width;
    int m_height;
    /** A quarter turn's band of stored rows, kBand of them, row y at y % kBand. */
    std::vector<std::uint32_t> m_band;
    /** Stored rows [0, m_decoded) are decoded; [0, m_placed) of a quarter turn are in place. */
    int m_decoded = 0;
    int m_placed = 0;
};

/** How a pass over the rows ended. */
struct PassResult {
    int errorCode;
    bool stopped; // the target wanted no more rows
};

/**
 * Decodes rows [from, to) of the picture into `target` (B, G, R, 0xFF in memory), passing over the rows above
 * `from` without drawing them. Gives false and libjpeg's message code on failure; the rows written before it are
 * already reported to the target.
 */
bool decodePass(const JOCTET* data, unsigned long size, RowTarget* target, int reduction, JDIMENSION width,
    JDIMENSION height, JDIMENSION from, JDIMENSION to, PassResult* result)
{
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    jpeg_progress_mgr progress;
    prepare(&cinfo, &err);
    std::memset(&progress, 0, sizeof progress);
    progress.progress_monitor = limitScans;
    result->errorCode = 0;
    result->stopped = false;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        result->errorCode = err.code;
        return false;
    }
    start(&cinfo, data, size);
    cinfo.progress = &progress;
    const bool cmyk = cinfo.num_components == 4;
    // BGRA rather than BGRX: libjpeg leaves the X byte undefined, while Format_RGB32 needs it to be 0xFF.
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    // A reduced picture is shrunk inside the inverse transform: far less work than decoding it whole and scaling.
    cinfo.scale_num = 1;
    cinfo.scale_denom = static_cast<unsigned>(reduction);
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_width != width || cinfo.output_height != height || cinfo.output_components != 4) {
        // The header said otherwise when the file was loaded; the bytes are the same, so this cannot happen.
        jpeg_destroy_decompress(&cinfo);
        result->errorCode = JERR_BAD_STATE;
        return false;
    }
    if (from > 0)
        jpeg_skip_scanlines(&cinfo, from);
    JSAMPROW rows[kBatch];
    JSAMPARRAY inks = cmyk ? (*cinfo.mem->alloc_sarray)(
                          reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE, cinfo.output_width * 4, kBatch)
                           : nullptr;
    const bool inverted = cinfo.saw_Adobe_marker != 0;
    while (cinfo.output_scanline < to && !result->stopped) {
        const JDIMENSION first = cinfo.output_scanline;
        const JDIMENSION count = std::min(kBatch, to - first);
        // Straight into the picture's rows, except CMYK, which is converted from a buffer of its own.
        for (JDIMENSION i = 0; i < count; ++i)
            rows[i] = cmyk ? inks[i] : target->row(int(first + i));
        JDIMENSION done = 0;
        while (done < count) {
            const JDIMENSION got = jpeg_read_scanlines(&cinfo, rows + done, count - done);
            if (got == 0)
                break; // cannot happen with a memory source, which never suspends
            done += got;
        }
        if (done == 0)
            break;
        if (cmyk) {
            for (JDIMENSION i = 0; i < done; ++i)
                cmykToBgrx(inks[i], target->row(int(first + i)), width, inverted);
        }
        result->stopped = !target->written(int(first), int(first + done));
    }
    // What follows the last row wanted does not matter for the picture, so the decoder is destroyed without
    // reading on to the end-of-image marker.
    jpeg_destroy_decompress(&cinfo);
    return true;
}

platform::AppError jpegError(int code)
{
    if (code == kTooManyScans)
        return platform::AppError(QStringLiteral("The JPEG picture has more than %1 scans").arg(kMaxScans));
    return platform::AppError(QStringLiteral("JPEG error #%1").arg(code));
}

const JOCTET* dataOf(const QByteArray& bytes)
{
    return reinterpret_cast<const JOCTET*>(bytes.constData());
}

} // namespace

JpegPicture::JpegPicture(const QByteArray& fileBytes)
    : m_bytes(fileBytes)
{
    HeaderInfo info {};
    int code = 0;
    if (!readHeader(dataOf(m_bytes), static_cast<unsigned long>(m_bytes.size()), &info, &code))
        throw jpegError(code);
    if (qint64(info.width) * qint64(info.height) * 4 > kMaxDecodedBytes) {
        throw platform::AppError(
            QStringLiteral("The picture is too large to display (%1×%2 pixels)").arg(info.width).arg(info.height));
    }
    m_stored = QSize(static_cast<int>(info.width), static_cast<int>(info.height));
    m_grey = info.grey;
    m_progressive = info.progressive;
    m_orientation = exifOrientation(platform::asBytes(m_bytes));
}

QSize JpegPicture::size() const
{
    return shownSize(m_stored, m_orientation);
}

qint64 JpegPicture::pictureEnd() const
{
    if (!m_end)
        m_end = jpegDataEnd(platform::asBytes(m_bytes));
    return *m_end < 0 ? m_bytes.size() : *m_end;
}

bool JpegPicture::hasEndOfImage() const
{
    (void)pictureEnd();
    return *m_end >= 0;
}

QStringList JpegPicture::details() const
{
    return {QStringLiteral("grey: %1").arg(m_grey ? u"yes" : u"no"),
        QStringLiteral("progressive: %1").arg(m_progressive ? u"yes" : u"no"),
        QStringLiteral("orientation: %1").arg(m_orientation)};
}

JpegPicture::~JpegPicture()
{
    stopDecoding();
}

const QImage& JpegPicture::image() const
{
    return decodedImage();
}

int JpegPicture::firstDecodedRow(int wanted) const
{
    // A progressive file's scans all come before its first row, and a second pass for the rows above would read
    // them all again: it is decoded top-down. So is a turned picture (more than mirrored), whose rows are all
    // ready together.
    return m_progressive || m_orientation > 2 ? 0 : wanted;
}

QString JpegPicture::decodeRows(RowTarget& target, int first) const
{
    // The decoder rounds a reduced side up, as decodedSize() does.
    const int r = reduction();
    const QSize stored((m_stored.width() + r - 1) / r, (m_stored.height() + r - 1) / r);
    const auto width = static_cast<JDIMENSION>(stored.width());
    const auto height = static_cast<JDIMENSION>(stored.height());
    const auto size = static_cast<unsigned long>(m_bytes.size());
    QString error;
    PassResult result {};
    OrientedTarget oriented(target, m_orientation, stored);
    RowTarget* out = m_orientation == 1 ? &target : &oriented;
    if (!decodePass(dataOf(m_bytes), size, out, r, width, height, JDIMENSION(first), height, &result))
        error = jpegError(result.errorCode).message();
    if (first > 0 && !result.stopped) {
        // The rows above come last; a failure there lies earlier in the data than any below, so its message wins.
        if (!decodePass(dataOf(m_bytes), size, out, r, width, height, 0, JDIMENSION(first), &result))
            error = jpegError(result.errorCode).message();
    }
    if (!result.stopped)
        oriented.finish();
    return error;
}

qint64 jpegDataEnd(platform::ByteView bytes)
{
    const std::size_t n = bytes.size();
    const std::uint8_t* b = bytes.data();
    if (n < 2 || b[0] != 0xFF || b[1] != 0xD8)
        return -1;
    std::size_t pos = 2;
    for (;;) {
        // The next marker is 0xFF (any number of fill bytes) and a code other than 0. Whatever lies between,
        // entropy-coded data or garbage, is skipped, as the decoder skips it; 0xFF 0x00 is a stuffed data byte.
        const void* ff = pos < n ? std::memchr(b + pos, 0xFF, n - pos) : nullptr;
        if (ff == nullptr)
            return -1;
        std::size_t at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(ff) - b) + 1;
        while (at < n && b[at] == 0xFF)
            ++at;
        if (at >= n)
            return -1;
        const std::uint8_t code = b[at];
        pos = at + 1;
        if (code == 0xD9)
            return static_cast<qint64>(pos);
        if (code == 0x00 || code == 0x01 || (code >= 0xD0 && code <= 0xD8))
            continue; // no length field: stuffed byte, TEM, RSTn, SOI
        if (pos + 2 > n)
            return -1;
        const std::size_t length = (std::size_t(b[pos]) << 8) | b[pos + 1];
        if (length >= 2)
            pos += length; // a scan's entropy-coded data follows its header and is skipped by the search above
    }
}

std::unique_ptr<Picture> loadJpeg(const QByteArray& fileBytes)
{
    return std::make_unique<JpegPicture>(fileBytes);
}

} // namespace store
