#include "wmf_records.h"

#include "platform/errors.h"

namespace store::wmf {

namespace {

std::uint16_t checksumOf(ByteView header)
{
    std::uint16_t sum = 0;
    for (std::size_t word = 0; word < 10; ++word)
        sum ^= platform::readLe16(header, word * 2);
    return sum;
}

} // namespace

PlaceableHeader parsePlaceableHeader(ByteView bytes)
{
    if (bytes.size() < std::size_t(kPlaceableHeaderBytes) || platform::readLe32(bytes, 0) != kPlaceableKey)
        throw platform::AppError(QStringLiteral("Invalid metafile: not a placeable Windows metafile"));
    if (checksumOf(bytes) != platform::readLe16(bytes, 20))
        throw platform::AppError(QStringLiteral("Invalid metafile: the placeable header's checksum is wrong"));
    PlaceableHeader header;
    header.left = platform::readLe16s(bytes, 6);
    header.top = platform::readLe16s(bytes, 8);
    header.right = platform::readLe16s(bytes, 10);
    header.bottom = platform::readLe16s(bytes, 12);
    header.unitsPerInch = platform::readLe16(bytes, 14);
    return header;
}

MetaHeader parseMetaHeader(ByteView metafile)
{
    using platform::readLe16;
    using platform::readLe32;
    if (metafile.size() < kMetaHeaderBytes)
        throw platform::AppError(QStringLiteral("Invalid metafile: the Windows metafile header is missing"));
    MetaHeader header;
    header.type = readLe16(metafile, 0);
    header.headerWords = readLe16(metafile, 2);
    header.version = readLe16(metafile, 4);
    header.sizeWords = readLe32(metafile, 6);
    header.objectCount = readLe16(metafile, 10);
    header.maxRecordWords = readLe32(metafile, 12);
    if ((header.type != 1 && header.type != 2) || header.headerWords != 9)
        throw platform::AppError(QStringLiteral("Invalid metafile: the Windows metafile header is not valid"));
    if (header.sizeWords < kMetaHeaderBytes / 2)
        throw platform::AppError(
            QStringLiteral("Invalid metafile: the metafile size %1 is smaller than its header").arg(header.sizeWords));
    return header;
}

namespace {

/** Where the end-of-file record ends, walking the records from the header; 0 when none is found. */
std::size_t endOfFileRecordEnd(ByteView metafile)
{
    std::size_t offset = kMetaHeaderBytes;
    while (offset + 6 <= metafile.size()) {
        const std::uint32_t words = platform::readLe32(metafile, offset);
        if (platform::readLe16(metafile, offset + 4) == 0x0000 && words == 3)
            return offset + 6;
        if (words < 3 || words > (metafile.size() - offset) / 2)
            break;
        offset += std::size_t(words) * 2;
    }
    return 0;
}

} // namespace

std::size_t heldLength(ByteView metafile, const MetaHeader& header)
{
    const std::uint64_t claimed = std::uint64_t(header.sizeWords) * 2;
    // Held up to the end-of-file record when the claimed size runs past it (some writers count the placeable
    // header too) or past the file: never into what follows the metafile, a description block included.
    const std::size_t recordsEnd = endOfFileRecordEnd(metafile);
    if (recordsEnd != 0 && claimed > recordsEnd)
        return recordsEnd;
    if (claimed <= metafile.size())
        return std::size_t(claimed);
    throw platform::AppError(QStringLiteral("Invalid metafile: the file is truncated (%1 of %2 metafile bytes)")
                                 .arg(metafile.size())
                                 .arg(claimed));
}

RecordReader::RecordReader(ByteView metafile)
    : m_bytes(metafile)
    , m_offset(kMetaHeaderBytes)
{
}

bool RecordReader::next(Record& record)
{
    if (m_done)
        return false;
    const std::size_t remaining = m_offset < m_bytes.size() ? m_bytes.size() - m_offset : 0;
    if (remaining < 6) {
        // A metafile that ends without its end-of-file record simply ends.
        m_done = true;
        return false;
    }
    const std::uint32_t sizeWords = platform::readLe32(m_bytes, m_offset);
    const std::uint16_t function = platform::readLe16(m_bytes, m_offset + 4);
    if (function == 0x0000) {
        m_done = true;
        return false;
    }
    if (sizeWords < 3 || sizeWords > remaining / 2) {
        m_done = true;
        m_damaged = true;
        return false;
    }
    const std::size_t length = std::size_t(sizeWords) * 2;
    record.function = function;
    record.params = Params(m_bytes.subspan(m_offset + 6, length - 6));
    m_offset += length;
    return true;
}

} // namespace store::wmf
