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

/** The record types this program reads. */
enum RecordType : std::uint32_t {
    EmrHeader = 1,
    EmrPolyBezier = 2,
    EmrPolygon = 3,
    EmrPolyline = 4,
    EmrPolyBezierTo = 5,
    EmrPolylineTo = 6,
    EmrPolyPolyline = 7,
    EmrPolyPolygon = 8,
    EmrSetWindowExtEx = 9,
    EmrSetWindowOrgEx = 10,
    EmrSetViewportExtEx = 11,
    EmrSetViewportOrgEx = 12,
    EmrSetBrushOrgEx = 13,
    EmrEof = 14,
    EmrSetPixelV = 15,
    EmrSetMapMode = 17,
    EmrSetBkMode = 18,
    EmrSetPolyFillMode = 19,
    EmrSetRop2 = 20,
    EmrSetStretchBltMode = 21,
    EmrSetTextAlign = 22,
    EmrSetTextColor = 24,
    EmrSetBkColor = 25,
    EmrOffsetClipRgn = 26,
    EmrMoveToEx = 27,
    EmrSetMetaRgn = 28,
    EmrExcludeClipRect = 29,
    EmrIntersectClipRect = 30,
    EmrScaleViewportExtEx = 31,
    EmrScaleWindowExtEx = 32,
    EmrSaveDc = 33,
    EmrRestoreDc = 34,
    EmrSetWorldTransform = 35,
    EmrModifyWorldTransform = 36,
    EmrSelectObject = 37,
    EmrCreatePen = 38,
    EmrCreateBrushIndirect = 39,
    EmrDeleteObject = 40,
    EmrAngleArc = 41,
    EmrEllipse = 42,
    EmrRectangle = 43,
    EmrRoundRect = 44,
    EmrArc = 45,
    EmrChord = 46,
    EmrPie = 47,
    EmrSelectPalette = 48,
    EmrCreatePalette = 49,
    EmrExtFloodFill = 53,
    EmrLineTo = 54,
    EmrArcTo = 55,
    EmrPolyDraw = 56,
    EmrSetArcDirection = 57,
    EmrSetMiterLimit = 58,
    EmrBeginPath = 59,
    EmrEndPath = 60,
    EmrCloseFigure = 61,
    EmrFillPath = 62,
    EmrStrokeAndFillPath = 63,
    EmrStrokePath = 64,
    EmrFlattenPath = 65,
    EmrWidenPath = 66,
    EmrSelectClipPath = 67,
    EmrAbortPath = 68,
    EmrGdiComment = 70,
    EmrFillRgn = 71,
    EmrFrameRgn = 72,
    EmrInvertRgn = 73,
    EmrPaintRgn = 74,
    EmrExtSelectClipRgn = 75,
    EmrBitBlt = 76,
    EmrStretchBlt = 77,
    EmrMaskBlt = 78,
    EmrPlgBlt = 79,
    EmrSetDiBitsToDevice = 80,
    EmrStretchDiBits = 81,
    EmrExtCreateFontIndirectW = 82,
    EmrExtTextOutA = 83,
    EmrExtTextOutW = 84,
    EmrPolyBezier16 = 85,
    EmrPolygon16 = 86,
    EmrPolyline16 = 87,
    EmrPolyBezierTo16 = 88,
    EmrPolylineTo16 = 89,
    EmrPolyPolyline16 = 90,
    EmrPolyPolygon16 = 91,
    EmrPolyDraw16 = 92,
    EmrCreateMonoBrush = 93,
    EmrCreateDibPatternBrushPt = 94,
    EmrExtCreatePen = 95,
    EmrPolyTextOutA = 96,
    EmrPolyTextOutW = 97,
    EmrSmallTextOut = 108,
    EmrAlphaBlend = 114,
    EmrTransparentBlt = 116,
    EmrGradientFill = 118,
};

} // namespace store::emf
