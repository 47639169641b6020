#include "emf_records.h"

#include "platform/errors.h"

namespace store::emf {

using platform::readLe32;
using platform::readLe32s;

bool looksLikeEmf(ByteView bytes)
{
    return bytes.size() > 100 && readLe32(bytes, 0) == kHeaderType && readLe32(bytes, 40) == kSignature;
}

Header parseHeader(ByteView bytes)
{
    if (!looksLikeEmf(bytes))
        throw platform::AppError(QStringLiteral("Not an enhanced metafile"));
    const std::uint32_t headerSize = readLe32(bytes, 4);
    if (headerSize < kMinHeaderBytes || headerSize > bytes.size())
        throw platform::AppError(QStringLiteral("Damaged enhanced metafile header (header size %1)").arg(headerSize));
    Header h;
    auto rect = [&](std::size_t at) {
        return QRect(QPoint(readLe32s(bytes, at), readLe32s(bytes, at + 4)),
            QPoint(readLe32s(bytes, at + 8), readLe32s(bytes, at + 12)));
    };
    h.bounds = rect(8);
    h.frame = rect(24);
    h.totalBytes = readLe32(bytes, 48);
    h.recordCount = readLe32(bytes, 52);
    h.handleCount = platform::readLe16(bytes, 56);
    h.devicePixels = QSize(readLe32s(bytes, 72), readLe32s(bytes, 76));
    h.deviceMillimeters = QSize(readLe32s(bytes, 80), readLe32s(bytes, 84));
    if (headerSize >= 108)
        h.deviceMicrometers = QSize(readLe32s(bytes, 100), readLe32s(bytes, 104));
    if (h.totalBytes < headerSize)
        throw platform::AppError(
            QStringLiteral("Damaged enhanced metafile: total size %1 is smaller than its header").arg(h.totalBytes));
    if (h.totalBytes > bytes.size())
        throw platform::AppError(
            QStringLiteral("Truncated enhanced metafile: %1 of %2 bytes present").arg(bytes.size()).arg(h.totalBytes));
    return h;
}

bool RecordReader::next(Record& record)
{
    if (m_done)
        return false;
    if (m_at + 8 > m_bytes.size()) {
        m_done = true;
        return false;
    }
    const std::uint32_t type = readLe32(m_bytes, m_at);
    const std::uint32_t size = readLe32(m_bytes, m_at + 4);
    if (size < 8 || size % 4 != 0 || size > m_bytes.size() - m_at) {
        m_done = true;
        m_damaged = true;
        return false;
    }
    record = Record(type, m_bytes.subspan(m_at, size));
    m_at += size;
    if (type == kEofType)
        m_done = true;
    return true;
}

} // namespace store::emf
