#include "bmp_layer.h"

#include "layers.h"
#include "platform/bytes.h"
#include "platform/errors.h"

#include <algorithm>
#include <limits>

namespace store {

using platform::AppError;

namespace {

constexpr qint64 kFileHeaderSize = 14;
constexpr int kSizeImageOffset = 20; // biSizeImage inside the 40-byte and later info headers
// The colour space fields of a 124-byte header: its type, and where a linked or embedded profile lies.
constexpr int kColourSpaceOffset = 56;
constexpr int kProfileDataOffset = 112;
constexpr int kProfileSizeOffset = 116;
constexpr std::uint32_t kProfileLinked = 0x4C494E4B; // 'LINK'
constexpr std::uint32_t kProfileEmbedded = 0x4D424544; // 'MBED'
constexpr std::uint32_t kColourSpaceSrgb = 0x73524742; // 'sRGB'

void appendLe16(QByteArray& out, std::uint16_t value)
{
    out.append(char(value & 0xFF));
    out.append(char(value >> 8));
}

void appendLe32(QByteArray& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.append(char((value >> shift) & 0xFF));
}

void putLe32(QByteArray& out, qsizetype at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = char((value >> (8 * i)) & 0xFF);
}

std::uint32_t clampU32(qint64 value)
{
    return static_cast<std::uint32_t>(std::min<qint64>(value, std::numeric_limits<std::uint32_t>::max()));
}

QByteArray fileHeader(qint64 fileSize, qint64 pixelOffset)
{
    QByteArray out("BM");
    appendLe32(out, clampU32(fileSize));
    appendLe32(out, 0); // two reserved words
    appendLe32(out, clampU32(pixelOffset));
    return out;
}

platform::ByteView slice(const QByteArray& bytes, qint64 from, qint64 to)
{
    return platform::asBytes(bytes).subspan(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
}

} // namespace

BmpPicture::BmpPicture(const QByteArray& fileBytes)
    : m_bytes(fileBytes)
{
    const qint64 size = m_bytes.size();
    if (size < 2 || m_bytes.at(0) != 'B' || m_bytes.at(1) != 'M')
        throw AppError(QStringLiteral("Not a BMP file (no BM signature)"));
    if (size < kFileHeaderSize)
        throw AppError(QStringLiteral("BMP header is truncated"));
    const qint64 offset = platform::readLe32(platform::asBytes(m_bytes), 10);

    m_header = dib::parseHeader(slice(m_bytes, kFileHeaderSize, size));
    if (offset > size)
        throw AppError(
            QStringLiteral("BMP pixel data offset %1 lies outside the file (%2 bytes)").arg(offset).arg(size));
    if (offset < kFileHeaderSize + qint64(m_header.tableOffset))
        throw AppError(QStringLiteral("BMP pixel data offset %1 lies inside the header").arg(offset));
    if (offset == size)
        throw AppError(QStringLiteral("BMP file has no pixel data"));
    // Parsed again with only the bytes in front of the pixels, so the colour table never reaches into them.
    m_header = dib::parseHeader(slice(m_bytes, kFileHeaderSize, offset));

    m_pixelOffset = offset;
    const platform::ByteView pixels = slice(m_bytes, offset, size);
    const bool runLength = m_header.compression == dib::Rle8 || m_header.compression == dib::Rle4;
    // Run-length data without a usable size ends at its end-of-bitmap escape, never in what follows the picture:
    // a size that runs past the escape would reach into a description stored behind it once that is long enough.
    const std::size_t runLengthEnd = runLength ? dib::runLengthDataLength(m_header, pixels) : 0;
    if (runLength && (m_header.sizeImage == 0 || m_header.sizeImage > runLengthEnd))
        m_pixelLength = static_cast<qint64>(runLengthEnd);
    else
        m_pixelLength = static_cast<qint64>(dib::pixelDataLength(m_header, pixels.size()));
}

BmpPicture::~BmpPicture()
{
    stopDecoding();
}

bool BmpPicture::decodesByRows() const
{
    return m_header.compression != dib::Rle8 && m_header.compression != dib::Rle4;
}

QString BmpPicture::decodeRows(RowTarget& target, int first) const
{
    const platform::ByteView bits = slice(m_bytes, m_pixelOffset, pictureEnd());
    const auto row = [&target](int y) { return reinterpret_cast<QRgb*>(target.row(y)); };
    constexpr int kBatch = 32; // rows reported at once
    try {
        for (const auto& [from, to] : {std::pair(first, m_header.height), std::pair(0, first)}) {
            for (int y = from; y < to; y += kBatch) {
                const int end = std::min(to, y + kBatch);
                dib::decodeImageRows(m_header, bits, y, end, row);
                if (!target.written(y, end))
                    return {};
            }
        }
    } catch (const platform::AppError& e) {
        return e.message();
    }
    return {};
}

const QImage& BmpPicture::image() const
{
    if (decodesByRows())
        return decodedImage();
    if (!m_decoded) {
        m_image = dib::decodePixels(m_header, slice(m_bytes, m_pixelOffset, pictureEnd()));
        m_decoded = true;
    }
    return m_image;
}

QByteArray BmpPicture::encoded() const
{
    if (m_header.compression == dib::Rle8 || m_header.compression == dib::Rle4)
        return encodedRunLength();
    return encodedUncompressed();
}

QByteArray BmpPicture::encodedRunLength() const
{
    // Everything behind the info header stays where it was, so the pixel data offset is unchanged.
    QByteArray out = fileHeader(m_bytes.size(), m_pixelOffset);
    out.append(m_bytes.mid(kFileHeaderSize));
    return out;
}

bool BmpPicture::shortPixelData() const
{
    if (!decodesByRows())
        return false;
    const std::size_t declared = m_header.sizeImage != 0 ? m_header.sizeImage : dib::fullPixelDataLength(m_header);
    return std::size_t(m_pixelLength) < declared;
}

QByteArray BmpPicture::headForDescription(const QByteArray& head) const
{
    if (!shortPixelData())
        return head;
    if (m_header.headerSize == 12)
        throw AppError(QStringLiteral("dane obrazu BMP są krótsze, niż mówi jego nagłówek, a nagłówek tego rodzaju "
                                      "nie ma pola, które by to poprawiło - opis zostałby odczytany jako piksele"));
    QByteArray corrected = head;
    putLe32(corrected, kFileHeaderSize + kSizeImageOffset, clampU32(m_pixelLength));
    return corrected;
}

QByteArray BmpPicture::encodedUncompressed() const
{
    const bool shortData = shortPixelData();

    QByteArray info;
    if (m_header.headerSize == 12) {
        appendLe32(info, 40);
        appendLe32(info, std::uint32_t(m_header.width));
        appendLe32(info, std::uint32_t(m_header.height));
        appendLe16(info, 1);
        appendLe16(info, std::uint16_t(m_header.bitCount));
        appendLe32(info, dib::Rgb);
        appendLe32(info, clampU32(m_pixelLength));
        appendLe32(info, 0); // pixels per metre, x and y
        appendLe32(info, 0);
        appendLe32(info, std::uint32_t(m_header.palette.size()));
        appendLe32(info, 0);
    } else {
        info = m_bytes.mid(kFileHeaderSize, qsizetype(m_header.tableOffset));
        // Pixel data that ended early is written as it is, and the header says so: otherwise whatever follows
        // the picture in a described file would be read back as its missing pixels.
        if (shortData)
            putLe32(info, kSizeImageOffset, clampU32(m_pixelLength));
        // Only the headers, colour table and pixels are written, so a colour profile stored elsewhere in the file
        // is not; the header must then stop pointing at it, or it would point into the pixels or the description.
        if (m_header.headerSize >= 124) {
            const std::uint32_t space = platform::readLe32(platform::asBytes(info), kColourSpaceOffset);
            if (space == kProfileLinked || space == kProfileEmbedded) {
                putLe32(info, kColourSpaceOffset, kColourSpaceSrgb);
                putLe32(info, kProfileDataOffset, 0);
                putLe32(info, kProfileSizeOffset, 0);
            }
        }
    }

    QByteArray table;
    table.reserve(qsizetype(m_header.palette.size()) * 4);
    for (const QRgb colour : m_header.palette) {
        table.append(char(qBlue(colour)));
        table.append(char(qGreen(colour)));
        table.append(char(qRed(colour)));
        table.append('\0');
    }

    const qint64 pixelOffset = kFileHeaderSize + info.size() + table.size();
    QByteArray out = fileHeader(pixelOffset + m_pixelLength, pixelOffset);
    out.reserve(pixelOffset + m_pixelLength);
    out.append(info);
    out.append(table);
    out.append(m_bytes.constData() + m_pixelOffset, m_pixelLength);
    return out;
}

std::unique_ptr<Picture> loadBmp(const QByteArray& fileBytes)
{
    return std::make_unique<BmpPicture>(fileBytes);
}

} // namespace store
