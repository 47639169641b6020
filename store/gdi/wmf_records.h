#pragma once

#include "platform/bytes.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

/**
 * Bounds-checked views over a Windows metafile: the 18-byte header and the records behind it. Nothing here
 * reads outside the bytes it was given.
 */
namespace store::wmf {

using platform::ByteView;

/** The 22-byte header in front of a placeable Windows metafile. */
struct PlaceableHeader {
    std::int16_t left = 0;
    std::int16_t top = 0;
    std::int16_t right = 0;
    std::int16_t bottom = 0;
    /** Metafile units per inch as stored; 0 counts as 96. */
    std::uint16_t unitsPerInch = 0;
};

inline constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
inline constexpr int kPlaceableHeaderBytes = 22;

/**
 * Parses the placeable header at the start of `bytes`. Raises AppError when the key is missing or the checksum
 * (the ten words before it, exclusive-ored) is wrong.
 */
[[nodiscard]] PlaceableHeader parsePlaceableHeader(ByteView bytes);

/** The 22 header bytes for `header`: key, bounding box, units per inch, handle 0, reserved 0, checksum. */
[[nodiscard]] QByteArray encodePlaceableHeader(const PlaceableHeader& header);

/** The standard header that opens every Windows metafile (after the placeable header, when there is one). */
struct MetaHeader {
    std::uint16_t type = 0; // 1 in memory, 2 on disk
    std::uint16_t headerWords = 0; // always 9
    std::uint16_t version = 0;
    std::uint32_t sizeWords = 0; // the whole metafile in 16-bit words, header included
    std::uint16_t objectCount = 0;
    std::uint32_t maxRecordWords = 0;
};

inline constexpr std::size_t kMetaHeaderBytes = 18;

/** Parses the metafile header at the start of `metafile`. Raises AppError when it is missing or not valid. */
[[nodiscard]] MetaHeader parseMetaHeader(ByteView metafile);

/**
 * How many bytes of `metafile` belong to the metafile: its header's size, when the bytes are there. Some writers
 * count the placeable header in that size, so it claims more than the file holds; the metafile then ends with
 * its end-of-file record. Raises AppError when the metafile is cut short before that record.
 */
[[nodiscard]] std::size_t heldLength(ByteView metafile, const MetaHeader& header);

/** The parameters of one record, read as 16-bit words; a word outside the record reads as 0. */
class Params {
public:
    Params() = default;
    explicit Params(ByteView bytes)
        : m_bytes(bytes)
    {
    }

    /** Number of whole 16-bit words the record carries. */
    [[nodiscard]] std::size_t words() const { return m_bytes.size() / 2; }
    [[nodiscard]] std::uint16_t u16(std::size_t word) const
    {
        return word < words() ? platform::readLe16(m_bytes, word * 2) : std::uint16_t(0);
    }
    [[nodiscard]] std::int16_t s16(std::size_t word) const { return static_cast<std::int16_t>(u16(word)); }
    [[nodiscard]] std::uint32_t u32(std::size_t word) const
    {
        return std::uint32_t(u16(word)) | (std::uint32_t(u16(word + 1)) << 16);
    }
    /** The bytes from word `word` to the end of the record (empty when the record is shorter). */
    [[nodiscard]] ByteView bytesFrom(std::size_t word) const
    {
        return word * 2 <= m_bytes.size() ? m_bytes.subspan(word * 2) : ByteView {};
    }
    [[nodiscard]] ByteView bytes() const { return m_bytes; }

private:
    ByteView m_bytes;
};

struct Record {
    std::uint16_t function = 0;
    Params params;
};

/**
 * Walks the records behind the header. Stops at the end-of-file record, at a record whose size is below the
 * 3-word minimum (it would not advance), and at one that runs past the metafile's end.
 */
class RecordReader {
public:
    /** `metafile` starts with the 18-byte header; its size is the metafile's own length. */
    explicit RecordReader(ByteView metafile);

    /** The next record, or false when playback ends. */
    [[nodiscard]] bool next(Record& record);

    /** True when the walk stopped on a damaged record rather than at the end-of-file record or the end. */
    [[nodiscard]] bool damaged() const { return m_damaged; }

private:
    ByteView m_bytes;
    std::size_t m_offset = 0;
    bool m_done = false;
    bool m_damaged = false;
};

} // namespace store::wmf
