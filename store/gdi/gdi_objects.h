#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QRgb>
#include <QString>
#include <QTransform>

#include <cstdint>
#include <span>
#include <variant>
#include <vector>

/**
 * The graphics objects and constants of the Windows drawing model that both metafile formats share. Values are
 * the ones the files store, so the players copy them in without translation.
 */
namespace store::gdi {

/** A colour as the files store it: 0x00BBGGRR. */
using ColorRef = std::uint32_t;

[[nodiscard]] inline QRgb toQRgb(ColorRef c)
{
    return qRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

/** A bitmap record's colour usage: its colour table holds 16-bit indices into the logical palette. */
inline constexpr std::uint32_t kDibPalColors = 1;
/** A pattern brush record's colour usage: the bitmap has no colour table; its bits are drawn in the context's colours.
 */
inline constexpr std::uint32_t kDibPalIndices = 2;

/** The palette every context starts with: the system's twenty static colours. */
[[nodiscard]] inline std::span<const QRgb> defaultPalette()
{
    static constexpr QRgb kColours[] = {0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080,
        0xFF008080, 0xFFC0C0C0, 0xFFC0DCC0, 0xFFA6CAF0, 0xFFFFFBF0, 0xFFA0A0A4, 0xFF808080, 0xFFFF0000, 0xFF00FF00,
        0xFFFFFF00, 0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF};
    return kColours;
}

/**
 * A colour in a context with the given logical palette: 0x01 in the top byte (PALETTEINDEX) names an entry of the
 * palette (black beyond it); every other value is 0x00BBGGRR.
 */
[[nodiscard]] inline QRgb resolveColour(ColorRef c, std::span<const QRgb> palette)
{
    if ((c >> 24) == 0x01) {
        const std::size_t index = c & 0xFFFF;
        return index < palette.size() ? palette[index] : qRgb(0, 0, 0);
    }
    return toQRgb(c);
}

// Pen styles (the low nibble), end caps, joins and the pen type.
enum PenStyle : std::uint32_t {
    PsSolid = 0,
    PsDash = 1,
    PsDot = 2,
    PsDashDot = 3,
    PsDashDotDot = 4,
    PsNull = 5,
    PsInsideFrame = 6,
    PsUserStyle = 7,
    PsAlternate = 8,
    PsStyleMask = 0x0000000F,
    PsEndcapRound = 0x00000000,
    PsEndcapSquare = 0x00000100,
    PsEndcapFlat = 0x00000200,
    PsEndcapMask = 0x00000F00,
    PsJoinRound = 0x00000000,
    PsJoinBevel = 0x00001000,
    PsJoinMiter = 0x00002000,
    PsJoinMask = 0x0000F000,
    PsGeometric = 0x00010000,
};

enum BrushStyle : std::uint32_t {
    BsSolid = 0,
    BsNull = 1,
    BsHatched = 2,
    BsPattern = 3,
    BsIndexed = 4,
    BsDibPattern = 5,
    BsDibPatternPt = 6,
    BsPattern8x8 = 7,
    BsDibPattern8x8 = 8,
    BsMonoPattern = 9,
};

enum HatchStyle : std::uint32_t {
    HsHorizontal = 0,
    HsVertical = 1,
    HsFDiagonal = 2,
    HsBDiagonal = 3,
    HsCross = 4,
    HsDiagCross = 5,
};

enum MapMode : int {
    MmText = 1,
    MmLoMetric = 2,
    MmHiMetric = 3,
    MmLoEnglish = 4,
    MmHiEnglish = 5,
    MmTwips = 6,
    MmIsotropic = 7,
    MmAnisotropic = 8,
};

enum BackgroundMode : int { Transparent = 1, Opaque = 2 };
enum PolyFillMode : int { Alternate = 1, Winding = 2 };

/** Text alignment flags. */
enum TextAlign : std::uint32_t {
    TaNoUpdateCp = 0,
    TaUpdateCp = 1,
    TaLeft = 0,
    TaRight = 2,
    TaCenter = 6,
    TaHorizontalMask = 6,
    TaTop = 0,
    TaBottom = 8,
    TaBaseline = 24,
    TaVerticalMask = 24,
    TaRtlReading = 256,
};

/** ExtTextOut options. */
enum TextOutOption : std::uint32_t {
    EtoOpaque = 0x0002,
    EtoClipped = 0x0004,
    EtoGlyphIndex = 0x0010,
    EtoRtlReading = 0x0080,
    EtoNoRect = 0x0100,
    EtoSmallChars = 0x0200,
    EtoPdy = 0x2000,
};

/** How a new clip region combines with the current one. */
enum RegionMode : int { RgnAnd = 1, RgnOr = 2, RgnXor = 3, RgnDiff = 4, RgnCopy = 5 };

/** Binary raster operations (SetROP2). */
enum Rop2 : int {
    R2Black = 1,
    R2NotMergePen = 2,
    R2MaskNotPen = 3,
    R2NotCopyPen = 4,
    R2MaskPenNot = 5,
    R2Not = 6,
    R2XorPen = 7,
    R2NotMaskPen = 8,
    R2MaskPen = 9,
    R2NotXorPen = 10,
    R2Nop = 11,
    R2MergeNotPen = 12,
    R2CopyPen = 13,
    R2MergePenNot = 14,
    R2MergePen = 15,
    R2White = 16,
};

/** The ternary raster operations that real files use for blits. */
enum Rop3 : std::uint32_t {
    RopBlackness = 0x00000042,
    RopNotSrcErase = 0x001100A6,
    RopNotSrcCopy = 0x00330008,
    RopSrcErase = 0x00440328,
    RopDstInvert = 0x00550009,
    RopPatInvert = 0x005A0049,
    RopSrcInvert = 0x00660046,
    RopSrcAnd = 0x008800C6,
    RopDstCopy = 0x00AA0029,
    RopMergePaint = 0x00BB0226,
    RopMergeCopy = 0x00C000CA,
    RopSrcCopy = 0x00CC0020,
    RopSrcPaint = 0x00EE0086,
    RopPatCopy = 0x00F00021,
    RopPatPaint = 0x00FB0A09,
    RopWhiteness = 0x00FF0062,
};

/** Point types of PolyDraw. */
enum PointType : std::uint8_t { PtCloseFigure = 1, PtLineTo = 2, PtBezierTo = 4, PtMoveTo = 6 };

/** World transform modification modes. */
enum WorldTransformMode : int { MwtIdentity = 1, MwtLeftMultiply = 2, MwtRightMultiply = 3, MwtSet = 4 };

/** A pen: CreatePen's logical pen, or an extended pen with its brush, caps, joins and user dashes. */
struct Pen {
    std::uint32_t style = PsSolid; // PenStyle bits
    double width = 0; // logical units; 0 means one device pixel
    ColorRef color = 0;
    bool extended = false; // from an extended pen: geometric pens keep their dashes at any width
    std::vector<double> dashes; // PS_USERSTYLE lengths in logical units (geometric) or pixels (cosmetic)
    QImage pattern; // a pattern-brush pen's image, or null
};

/**
 * A brush; pattern brushes carry their image. Monochrome patterns are Format_Mono images whose indices are the
 * pattern's bits: they are drawn with the text colour for 0 bits and the background colour for 1 bits, as the
 * context has them when the brush paints.
 */
struct Brush {
    std::uint32_t style = BsSolid;
    ColorRef color = 0;
    std::uint32_t hatch = HsHorizontal;
    QImage pattern;
};

/** A logical font as the files describe it. */
struct Font {
    int height = 0; // logical units; negative = character (em) height, positive = cell height
    int width = 0; // average character width, 0 = natural
    int escapement = 0; // tenths of a degree, counter-clockwise
    int orientation = 0;
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    std::uint8_t charSet = 1; // 0 ANSI, 1 default, 2 symbol, 204 Cyrillic, 238 Eastern European, ...
    std::uint8_t pitchAndFamily = 0;
    QString faceName;

    bool operator==(const Font&) const = default;
};

/** A palette's entries (opaque colours). */
struct Palette {
    std::vector<QRgb> entries;
};

/**
 * A region: rectangles in the coordinates given when it was made (logical units for objects, device units for
 * clip regions set by EMF records). At most kMaxRegionRects rectangles are kept.
 */
struct Region {
    std::vector<QRect> rects;
};

using Object = std::variant<std::monostate, Pen, Brush, Font, Palette, Region>;

/** Limits that keep hostile files from exhausting memory or time. */
inline constexpr std::uint32_t kMaxObjects = 65536;
inline constexpr int kMaxSaveDepth = 1024;
inline constexpr std::size_t kMaxPathPoints = 1 << 20;
inline constexpr std::size_t kMaxRegionRects = 2048;
inline constexpr int kMaxBitmapSide = 16384;

/** Stock objects (the index with its high bit set, as EMF stores it, masked off). */
enum StockObject : std::uint32_t {
    WhiteBrush = 0,
    LtGrayBrush = 1,
    GrayBrush = 2,
    DkGrayBrush = 3,
    BlackBrush = 4,
    NullBrush = 5,
    WhitePen = 6,
    BlackPen = 7,
    NullPen = 8,
    OemFixedFont = 10,
    AnsiFixedFont = 11,
    AnsiVarFont = 12,
    SystemFont = 13,
    DeviceDefaultFont = 14,
    DefaultPalette = 15,
    SystemFixedFont = 16,
    DefaultGuiFont = 17,
    DcBrush = 18,
    DcPen = 19,
};

/** One vertex of a gradient fill, colour channels 0..0xFFFF. */
struct TriVertex {
    QPointF point;
    std::uint16_t red = 0, green = 0, blue = 0, alpha = 0;
};

enum GradientMode : std::uint32_t { GradientRectH = 0, GradientRectV = 1, GradientTriangle = 2 };

/** What a flood fill spreads over: everything up to a border of the colour, or the surface of that colour. */
enum FloodFillMode : int { FloodFillBorder = 0, FloodFillSurface = 1 };

} // namespace store::gdi
