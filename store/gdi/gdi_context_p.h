#pragma once

// The device context's inner state, shared by its implementation files (shapes, text, bitmaps).

#include "gdi_context.h"

#include <QBrush>
#include <QFont>
#include <QFontMetricsF>
#include <QPen>
#include <QRawFont>

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
};

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
