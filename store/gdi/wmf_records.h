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

/** The record functions this program reads. */
enum Function : std::uint16_t {
    SaveDc = 0x001E,
    RealizePalette = 0x0035,
    SetPalEntries = 0x0037,
    CreatePalette = 0x00F7,
    SetBkMode = 0x0102,
    SetMapMode = 0x0103,
    SetRop2 = 0x0104,
    SetRelAbs = 0x0105,
    SetPolyFillMode = 0x0106,
    SetStretchBltMode = 0x0107,
    SetTextCharExtra = 0x0108,
    RestoreDc = 0x0127,
    InvertRegion = 0x012A,
    PaintRegion = 0x012B,
    SelectClipRegion = 0x012C,
    SelectObject = 0x012D,
    SetTextAlign = 0x012E,
    ResizePalette = 0x0139,
    DibCreatePatternBrush = 0x0142,
    SetLayout = 0x0149,
    DeleteObject = 0x01F0,
    CreatePatternBrush = 0x01F9,
    SetBkColor = 0x0201,
    SetTextColor = 0x0209,
    SetTextJustification = 0x020A,
    SetWindowOrg = 0x020B,
    SetWindowExt = 0x020C,
    SetViewportOrg = 0x020D,
    SetViewportExt = 0x020E,
    OffsetWindowOrg = 0x020F,
    OffsetViewportOrg = 0x0211,
    LineTo = 0x0213,
    MoveTo = 0x0214,
    OffsetClipRgn = 0x0220,
    FillRegion = 0x0228,
    SetMapperFlags = 0x0231,
    SelectPalette = 0x0234,
    CreatePenIndirect = 0x02FA,
    CreateFontIndirect = 0x02FB,
    CreateBrushIndirect = 0x02FC,
    Polygon = 0x0324,
    Polyline = 0x0325,
    ScaleWindowExt = 0x0410,
    ScaleViewportExt = 0x0412,
    ExcludeClipRect = 0x0415,
    IntersectClipRect = 0x0416,
    Ellipse = 0x0418,
    FloodFill = 0x0419,
    Rectangle = 0x041B,
    SetPixel = 0x041F,
    FrameRegion = 0x0429,
    AnimatePalette = 0x0436,
    TextOut = 0x0521,
    PolyPolygon = 0x0538,
    ExtFloodFill = 0x0548,
    RoundRect = 0x061C,
    PatBlt = 0x061D,
    Escape = 0x0626,
    CreateRegion = 0x06FF,
    Arc = 0x0817,
    Pie = 0x081A,
    Chord = 0x0830,
    BitBlt = 0x0922,
    DibBitBlt = 0x0940,
    ExtTextOut = 0x0A32,
    StretchBlt = 0x0B23,
    DibStretchBlt = 0x0B41,
    SetDibToDev = 0x0D33,
    StretchDib = 0x0F43,
};

} // namespace store::wmf
