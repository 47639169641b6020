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
void putLe32(QByteArray& out, qsizetype at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = char((value >> (8 * i)) & 0xFF);
}

std::uint32_t clampU32(qint64 value)
{
    return static_cast<std::uint32_t>(std::min<qint64>(value, std::numeric_limits<std::uint32_t>::max()));
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

std::unique_ptr<Picture> loadBmp(const QByteArray& fileBytes)
{
    return std::make_unique<BmpPicture>(fileBytes);
}

} // namespace store
