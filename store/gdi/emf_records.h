#pragma once

#include "platform/bytes.h"

#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>

#include <cstdint>
#include <cstring>

/** Enhanced metafiles: the header and a bounds-checked walk over the records. */
namespace store::emf {

using platform::ByteView;

inline constexpr std::uint32_t kHeaderType = 1;
inline constexpr std::uint32_t kEofType = 14;
inline constexpr std::uint32_t kSignature = 0x464D4520; // " EMF"
/** The smallest header that carries every field the player reads (up to and including szlMillimeters). */
inline constexpr std::size_t kMinHeaderBytes = 88;

/** The fields of the header record that sizing and playing need. */
struct Header {
    QRect bounds; // reference-device pixels, inclusive
    QRect frame; // 0.01 mm, as stored (left, top, right, bottom may be in any order)
    std::uint32_t totalBytes = 0;
    std::uint32_t recordCount = 0;
    std::uint16_t handleCount = 0;
    QSize devicePixels;
    QSize deviceMillimeters;
    QSize deviceMicrometers; // 0×0 when the header is too short to carry it
};

/** Whether `bytes` starts like an enhanced metafile: more than 100 bytes, type 1, the signature at offset 40. */
[[nodiscard]] bool looksLikeEmf(ByteView bytes);

/**
 * Parses the header record. Raises AppError when the header is damaged, when its total size is below the
 * header or above `bytes.size()` (a truncated file), or when its frame is empty.
 */
[[nodiscard]] Header parseHeader(ByteView bytes);

/**
 * One record: its type and its bytes (type and size fields included). Readers return 0 (or an empty view) for
 * fields that lie outside the record, so a short record can never be read past its end.
 */
class Record {
public:
    Record() = default;
    Record(std::uint32_t type, ByteView bytes)
        : m_type(type)
        , m_bytes(bytes)
    {
    }

    [[nodiscard]] std::uint32_t type() const { return m_type; }
    [[nodiscard]] std::size_t size() const { return m_bytes.size(); }
    [[nodiscard]] bool has(std::size_t offset, std::size_t length) const
    {
        return offset <= m_bytes.size() && length <= m_bytes.size() - offset;
    }
    [[nodiscard]] std::uint32_t u32(std::size_t at) const { return has(at, 4) ? platform::readLe32(m_bytes, at) : 0; }
    [[nodiscard]] std::int32_t i32(std::size_t at) const { return std::int32_t(u32(at)); }
    [[nodiscard]] std::uint16_t u16(std::size_t at) const { return has(at, 2) ? platform::readLe16(m_bytes, at) : 0; }
    [[nodiscard]] std::int16_t i16(std::size_t at) const { return std::int16_t(u16(at)); }
    [[nodiscard]] std::uint8_t u8(std::size_t at) const { return has(at, 1) ? m_bytes[at] : 0; }
    [[nodiscard]] float f32(std::size_t at) const
    {
        const std::uint32_t bits = u32(at);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    /** `length` bytes at `at`, or an empty view when they are not all inside the record. */
    [[nodiscard]] ByteView bytes(std::size_t at, std::size_t length) const
    {
        return has(at, length) ? m_bytes.subspan(at, length) : ByteView {};
    }
    [[nodiscard]] QPointF pointL(std::size_t at) const { return QPointF(i32(at), i32(at + 4)); }
    [[nodiscard]] QPointF pointS(std::size_t at) const { return QPointF(i16(at), i16(at + 2)); }
    /** A RECTL (left, top, right, bottom) as a rectangle from (left, top) to (right, bottom), not normalised. */
    [[nodiscard]] QRectF rectL(std::size_t at) const
    {
        return QRectF(QPointF(i32(at), i32(at + 4)), QPointF(i32(at + 8), i32(at + 12)));
    }

private:
    std::uint32_t m_type = 0;
    ByteView m_bytes;
};

/**
 * Walks the records of a metafile held in `bytes`. Stops at the EOF record, at the end of the bytes, or at a
 * record whose size is too small to advance, not a multiple of 4, or runs past the end (damaged()).
 */
class RecordReader {
public:
    explicit RecordReader(ByteView bytes)
        : m_bytes(bytes)
    {
    }

    /** The next record, or false when the walk is over. */
    bool next(Record& record);
    /** True when the walk stopped at a damaged record instead of the EOF record or the end. */
    [[nodiscard]] bool damaged() const { return m_damaged; }

private:
    ByteView m_bytes;
    std::size_t m_at = 0;
    bool m_done = false;
    bool m_damaged = false;
};

} // namespace store::emf
