#pragma once

// The device context's inner state, shared by its implementation files (shapes, text, bitmaps).

#include "gdi_context.h"

#include <QBrush>
#include <QFont>
#include <QFontMetricsF>
#include <QPen>
#include <QRawFont>

#include <cmath>
#include <optional>
#include <vector>

namespace store::gdi {

struct DeviceContext::State {
    Pen pen;
    Brush brush;
    Font font;
    Palette palette;

    int mapMode = MmText;
    QPointF windowOrg;
    QPointF windowExt {1, 1};
    QPointF viewportOrg;
    QPointF viewportExt {1, 1};
    QTransform world;
    int graphicsMode = 1;

    int bkMode = Opaque;
    ColorRef bkColor = 0xFFFFFF;
    ColorRef textColor = 0;
    std::uint32_t textAlign = 0;
    int charExtra = 0;
    int rop2 = R2CopyPen;
    int polyFillMode = Alternate;
    int stretchMode = 1;
    double miterLimit = 10;
    int arcDirection = 1;
    QPointF brushOrg;
    QPointF position; // logical units

    /** The clip in picture pixels; nullopt = the whole picture. */
    std::optional<QPainterPath> clip;
    /** The meta region (picture pixels) that every later clip stays inside. */
    std::optional<QPainterPath> metaClip;
};

/** Where each character of a string placed character by character goes. */
struct PlacedCharacter {
    qsizetype index = 0; // in the string
    qsizetype length = 1; // UTF-16 units: 2 for a character beyond the 16-bit range
    QPointF origin; // on the baseline
};

/** A string laid out for text output: its characters, advances and place in picture pixels. */
struct TextRun {
    QString string; // Symbol-font codes already mapped to the characters they show
    double sx = 1; // one logical unit along x and y, in picture pixels
    double sy = 1;
    bool useDx = false;
    std::vector<double> advances; // per UTF-16 unit, from the record's spacing (when useDx)
    double width = 0; // in picture pixels
    double x = 0; // where the string starts and where its baseline lies, in the turned frame of `place`
    double baseline = 0;
    QTransform place; // from that frame to picture pixels: the reference point, turned by the escapement
};

struct DeviceContext::Impl {
    explicit Impl(QPainter& p);

    QPainter& painter;
    QTransform base;
    double pixelsPerMmX = 96 / 25.4;
    double pixelsPerMmY = 96 / 25.4;
    std::vector<Object> objects;
    State s;
    std::vector<State> stack;

    bool inPath = false;
    bool pathClosedByEnd = false;
    QPainterPath path; // picture pixels
    bool pathHasFigure = false;

    // Derived values, recomputed when the state they depend on changes.
    mutable bool transformValid = false;
    mutable QTransform toPicture;
    bool clipApplied = false;
    /** Pixels that flood fills may still cover in this playback. */
    std::int64_t floodFillBudget = std::int64_t(1) << 28;

    [[nodiscard]] const QTransform& transform() const;
    [[nodiscard]] std::span<const QRgb> logicalPalette() const
    {
        return s.palette.entries.empty() ? defaultPalette() : std::span<const QRgb>(s.palette.entries);
    }
    /** A colour of a record in this context (palette indices resolved). */
    [[nodiscard]] QRgb rgb(ColorRef c) const { return resolveColour(c, logicalPalette()); }
    void invalidateTransform()
    {
        transformValid = false;
        penCache.reset();
    }
    /** The current pen as qtPen() makes it, kept until the pen or the transform changes. */
    [[nodiscard]] const QPen& pen() const
    {
        if (!penCache)
            penCache = qtPen();
        return *penCache;
    }
    mutable std::optional<QPen> penCache;
    [[nodiscard]] QTransform pageTransform() const;
    /** Length in picture pixels of one logical unit along x and along y. */
    [[nodiscard]] double scaleX() const;
    [[nodiscard]] double scaleY() const;
    [[nodiscard]] QRectF pictureRect() const;
    /** A box far beyond the picture that paths are cut down to before they are drawn. */
    [[nodiscard]] QRectF reachRect() const;
    /** `path` unchanged when it stays within reachRect(), else cut to it (as an area, or as lines for strokes). */
    [[nodiscard]] QPainterPath tame(const QPainterPath& path, bool forStroke) const;

    /** Sets the painter's clip from the state (identity transform afterwards). */
    void applyClip();
    void clipChanged() { clipApplied = false; }
    void combineClip(const QPainterPath& picturePath, int mode);

    [[nodiscard]] bool penVisible() const;
    [[nodiscard]] bool brushVisible(const Brush& brush) const;
    /** The current pen as a QPen for drawing in picture pixels. */
    [[nodiscard]] QPen qtPen() const;
    [[nodiscard]] QBrush qtBrush(const Brush& brush) const;
    /** The current brush laid over `box` (picture pixels), aligned to the brush origin; transparent where none. */
    [[nodiscard]] QImage brushImage(const QRect& box) const;
    /**
     * Draws a blit's ternary raster operation `code` pixel by pixel over `pictureDest`, from `source` (null when the
     * operation takes none) mapped by `sourceToPicture`. False, drawing nothing, when the painter has no image to
     * read the destination from.
     */
    bool ternaryBlit(std::uint8_t code, const QPainterPath& pictureDest, const QTransform& sourceToPicture,
        const QImage* source, const QRectF& sourceRect);
    /** Paints the current brush over the pixels of `box` that `filled` (one flag per pixel, rows `width` long) marks.
     */
    void paintFilled(const std::vector<bool>& filled, std::int64_t width, const QRect& box);
    /** Sets composition and antialiasing for the binary raster operation; false when nothing is to be drawn. */
    bool beginRop2(QColor& penColorOverride, bool& overrideColor);

    /** Draws lines in picture pixels with the current pen, in copy-pen mode, outside any path. */
    void strokePolyline(const QPolygonF& picture);
    /** Fills and/or strokes a shape given in logical units (or adds it to the open path). */
    void drawShape(const QPainterPath& logical, bool fill, bool stroke);
    /** Fills and strokes a shape in picture pixels with the current pen and brush. */
    void paintPicturePath(const QPainterPath& picture, bool fill, bool stroke, const Brush* brush = nullptr);
    /** Appends lines or curves from the current position (for the *To functions). */
    void continueFigure(QPainterPath& logicalPath);
    /**
     * continueFigure for lines to `logical` points (or Bézier curves, three points each), without a path of their
     * own: files build paths of thousands of such records. False, doing nothing, when no path is open.
     */
    bool extendOpenPath(std::span<const QPointF> logical, bool curves);

    [[nodiscard]] QPainterPath regionPath(const Region& region) const;

    /** The last font made for text output, kept while consecutive texts use the same font at the same size. */
    struct FontCache {
        Font font;
        double height = 0;
        double width = 0;
        double dpi = 0;
        QFont qfont;
        std::optional<QFontMetricsF> metrics;
        /** The font's own glyphs, for text placed character by character; made on first need. */
        std::optional<QRawFont> rawFont;
    };
    std::optional<FontCache> fontCache;

    // Text output in its phases (gdi_textout.cpp).
    /** The font for the current state at the given pixel sizes, made on first need and kept. */
    const FontCache& textFont(double heightPx, double widthPx);
    /** Lays out a record's text; nullopt when it cannot show (a degenerate transform, far outside the picture). */
    [[nodiscard]] std::optional<TextRun> layoutText(const DeviceContext::TextOut& text);
    void measureText(const DeviceContext::TextOut& text, TextRun& run, const QFontMetricsF& metrics);
    void alignText(TextRun& run, const QFontMetricsF& metrics) const;
    /** The record's opaque and clipping rectangle. */
    void paintTextBox(const DeviceContext::TextOut& text);
    void drawTextRun(const DeviceContext::TextOut& text, const TextRun& run);
    [[nodiscard]] std::vector<PlacedCharacter> placeCharacters(
        const DeviceContext::TextOut& text, const TextRun& run) const;
};

/** True for a coordinate or factor the paint engine can work with. */
[[nodiscard]] inline bool finite(double v)
{
    return std::isfinite(v) && std::abs(v) < 1e12;
}

[[nodiscard]] inline bool finiteTransform(const QTransform& t)
{
    return finite(t.m11()) && finite(t.m12()) && finite(t.m21()) && finite(t.m22()) && finite(t.dx()) && finite(t.dy());
}

/** Composition changes cost a paint-engine update each; make them only when they change. */
inline void setComposition(QPainter& painter, QPainter::CompositionMode mode)
{
    if (painter.compositionMode() != mode)
        painter.setCompositionMode(mode);
}

/** The Qt fill rule for a poly fill mode. */
[[nodiscard]] inline Qt::FillRule fillRule(int polyFillMode)
{
    return polyFillMode == Winding ? Qt::WindingFill : Qt::OddEvenFill;
}

/** Points of a rectangle's arc: the ellipse inscribed in `box`, from the radial through `start` to that through `end`.
 */
struct ArcGeometry {
    QRectF box;
    double startDegrees = 0;
    double sweepDegrees = 0;
};
[[nodiscard]] ArcGeometry arcGeometry(const QRectF& box, QPointF start, QPointF end, bool clockwise);

} // namespace store::gdi
