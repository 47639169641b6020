#pragma once

#include "gdi_objects.h"

#include <QPainter>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QTransform>

#include <array>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace store::gdi {

/**
 * A Windows-like device context drawing onto a QPainter: the object table, the current state (mapping, transform,
 * colours, modes, clip, path) with its save stack, and the drawing primitives. The metafile players parse records
 * and call these; nothing here knows a record layout.
 *
 * Coordinates passed in are logical units. They go through the world transform (EMF), then the page transform
 * (mapping mode, window and viewport), which yields device units, and then the base transform that maps device
 * units onto the picture's pixels. Clip regions given in device units (setClipRegion) are device units in that
 * sense. Every method tolerates any argument values: out-of-range indices are ignored, sizes are capped.
 */
class DeviceContext {
public:
    /** Draws onto `painter`, whose device is the picture image; the caller keeps both alive. */
    explicit DeviceContext(QPainter& painter);
    ~DeviceContext();
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;

    // --- Set-up by the player -------------------------------------------------------------------------------

    /** The transform from device units onto picture pixels (EMF: the frame onto the picture rectangle). */
    void setBaseTransform(const QTransform& deviceToPicture);
    /** Device pixels per millimetre, used by the metric mapping modes (EMF: szlDevice / szlMillimeters). */
    void setDeviceResolution(double pixelsPerMmX, double pixelsPerMmY);

    // --- Object table ---------------------------------------------------------------------------------------

    /** Grows the table to `count` slots (capped at kMaxObjects); EMF's header gives the handle count. */
    void reserveObjects(std::uint32_t count);
    /** Stores `object` in slot `index` (EMF's explicit handles), replacing what was there. Ignored when out of range.
     */
    void setObject(std::uint32_t index, Object object);
    /** Stores `object` in the lowest free slot (WMF's rule) and gives back the slot, or -1 when the table is full. */
    int addObject(Object object);
    /** Selects the pen, brush, font, palette or region in slot `index` into the context (regions set the clip). */
    void selectObject(std::uint32_t index);
    /** Selects a stock object (EMF: the index without its high bit). */
    void selectStockObject(std::uint32_t stock);
    /** Empties slot `index`; objects already selected stay in effect, as copies. */
    void deleteObject(std::uint32_t index);
    /** The object in slot `index`, or nullptr for an empty or out-of-range slot. */
    [[nodiscard]] const Object* object(std::uint32_t index) const;
    /** The brush in slot `index`, or the stock brush when `stock` is set; nullopt when there is none. */
    [[nodiscard]] std::optional<Brush> brushAt(std::uint32_t index, bool stock = false) const;

    // --- State stack ----------------------------------------------------------------------------------------

    void saveDc();
    /** Negative `which` counts back from the newest saved state (-1 = newest); positive is an absolute level. */
    void restoreDc(int which);

    // --- Mapping --------------------------------------------------------------------------------------------

    void setMapMode(int mode);
    void setWindowOrg(double x, double y);
    void setWindowExt(double x, double y);
    void setViewportOrg(double x, double y);
    void setViewportExt(double x, double y);
    void offsetWindowOrg(double dx, double dy);
    void offsetViewportOrg(double dx, double dy);
    void scaleWindowExt(int xNum, int xDenom, int yNum, int yDenom);
    void scaleViewportExt(int xNum, int xDenom, int yNum, int yDenom);
    /** GM_COMPATIBLE (1) or GM_ADVANCED (2). */
    void setGraphicsMode(int mode);
    void setWorldTransform(const QTransform& transform);
    /** Combines `transform` with the world transform according to a WorldTransformMode. */
    void modifyWorldTransform(const QTransform& transform, int mode);
    /** Logical units to picture pixels, as the current state maps them. */
    [[nodiscard]] QTransform logicalToPicture() const;

    // --- Attributes -----------------------------------------------------------------------------------------

    void setBkMode(int mode);
    void setBkColor(ColorRef color);
    void setTextColor(ColorRef color);
    void setTextAlign(std::uint32_t align);
    void setTextCharExtra(int extra);
    void setRop2(int rop);
    void setPolyFillMode(int mode);
    void setStretchBltMode(int mode);
    void setMiterLimit(double limit);
    /** AD_COUNTERCLOCKWISE (1) or AD_CLOCKWISE (2). */
    void setArcDirection(int direction);
    void setBrushOrg(QPointF origin);
    [[nodiscard]] const Font& currentFont() const;
    /** The selected palette's colours (the default palette's until one is selected). */
    [[nodiscard]] std::span<const QRgb> logicalPalette() const;

    // --- Current position -----------------------------------------------------------------------------------

    void moveTo(QPointF point);
    void lineTo(QPointF point);
    /** lineTo for each point in turn; plain one-pixel lines are drawn in one go, which looks the same. */
    void lineToEach(std::span<const QPointF> points);
    [[nodiscard]] QPointF currentPosition() const;

    // --- Clipping -------------------------------------------------------------------------------------------

    void intersectClipRect(const QRectF& logical);
    void excludeClipRect(const QRectF& logical);
    /** Combines a region in device units with the clip; RgnCopy with no rectangles removes the clip. */
    void setClipRegion(const Region& deviceRegion, int mode);
    /** Combines a region in logical units (WMF region objects) with the clip. */
    void setClipRegionLogical(const Region& logicalRegion, int mode);
    void offsetClipRegion(double dx, double dy);
    /** Combines the current path (which is then discarded) with the clip. */
    void selectClipPath(int mode);
    /** Makes the current clip the meta region: later clip changes stay inside it. */
    void setMetaRegion();

    // --- Paths ----------------------------------------------------------------------------------------------

    void beginPath();
    void endPath();
    void abortPath();
    void closeFigure();
    void fillPath();
    void strokePath();
    void strokeAndFillPath();
    void flattenPath();
    void widenPath();

    // --- Drawing --------------------------------------------------------------------------------------------

    void polyline(std::span<const QPointF> points);
    /** Lines from the current position through `points`; the last point becomes the current position. */
    void polylineTo(std::span<const QPointF> points);
    void polygon(std::span<const QPointF> points);
    /** `counts` splits `points` into polygons; counts that run past the points are cut short. */
    void polyPolygon(std::span<const QPointF> points, std::span<const std::uint32_t> counts);
    void polyPolyline(std::span<const QPointF> points, std::span<const std::uint32_t> counts);
    /** A start point then three points per cubic Bézier segment. */
    void polyBezier(std::span<const QPointF> points);
    /** Three points per segment, starting at the current position. */
    void polyBezierTo(std::span<const QPointF> points);
    /** Points with PointType flags (MoveTo, LineTo, BezierTo, optionally | CloseFigure). */
    void polyDraw(std::span<const QPointF> points, std::span<const std::uint8_t> types);
    void arc(const QRectF& box, QPointF start, QPointF end);
    /** Like arc(), with a line from the current position to the arc's start; the arc's end becomes current. */
    void arcTo(const QRectF& box, QPointF start, QPointF end);
    void chord(const QRectF& box, QPointF start, QPointF end);
    void pie(const QRectF& box, QPointF start, QPointF end);
    /** Angles in degrees, counter-clockwise; draws a line from the current position to the arc's start. */
    void angleArc(QPointF center, double radius, double startAngle, double sweepAngle);
    void rectangle(const QRectF& box);
    void roundRect(const QRectF& box, double cornerWidth, double cornerHeight);
    void ellipse(const QRectF& box);
    void setPixel(QPointF point, ColorRef color);

    /** One text output: the reference point, the text, and optional per-character advances (logical units). */
    struct TextOut {
        QPointF reference;
        QString text;
        std::vector<double> dx; // advance after each character; empty = the font's own advances
        std::vector<double> dy; // vertical advances (ETO_PDY), usually empty
        std::uint32_t options = 0; // TextOutOption bits
        std::optional<QRectF> rect; // clipping/opaquing rectangle, logical units
    };
    void textOut(const TextOut& text);

    /**
     * A blit: `source` (may be null for raster operations that use no source) from `sourceRect` in its pixels
     * onto `dest` in logical units, combined by a ternary raster operation with the current brush.
     */
    void stretchBlt(const QRectF& dest, const QImage* source, const QRectF& sourceRect, std::uint32_t rop);
    /** A blit that uses `mask` (monochrome, may be null) to choose between two raster operations. */
    void maskBlt(const QRectF& dest, const QImage& source, const QRectF& sourceRect, const QImage* mask,
        QPoint maskOrigin, std::uint32_t rop);
    /**
     * Copies `sourceRect` of `source` onto a parallelogram: `corners` are where the source's upper-left, upper-right
     * and lower-left corners land (logical units). Where `mask` (monochrome, may be null) is clear, the destination
     * stays.
     */
    void plgBlt(const std::array<QPointF, 3>& corners, const QImage& source, const QRectF& sourceRect,
        const QImage* mask, QPoint maskOrigin);
    /** Source-over blending with a constant alpha (0..255) and, if `perPixelAlpha`, the source's own alpha. */
    void alphaBlend(
        const QRectF& dest, const QImage& source, const QRectF& sourceRect, int constantAlpha, bool perPixelAlpha);
    /** A blit that leaves the pixels of `transparent` colour out. */
    void transparentBlt(const QRectF& dest, const QImage& source, const QRectF& sourceRect, ColorRef transparent);
    void gradientFill(std::span<const TriVertex> vertices, std::span<const std::uint32_t> indices, std::uint32_t mode);
    /**
     * Fills with the current brush the pixels joined to `start` (logical units) side by side: those not of
     * `color` (FloodFillBorder) or those of `color` (FloodFillSurface). Nothing when `start` itself does not
     * qualify or lies outside the clip.
     */
    void floodFill(QPointF start, ColorRef color, int mode);

    /** Region operations; the region's rectangles are in logical units. */
    void fillRegion(const Region& region, const Brush& brush);
    void frameRegion(const Region& region, const Brush& brush, double width, double height);
    void invertRegion(const Region& region);
    void paintRegion(const Region& region);

private:
    struct State;
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

/**
 * The points of consecutive LineTo records, held back and drawn together by lineToEach when a record of another
 * kind comes, when many have gathered, or when playback ends (flush).
 */
class LineRun {
public:
    explicit LineRun(DeviceContext& dc)
        : m_dc(dc)
    {
    }

    void add(QPointF point)
    {
        m_points.push_back(point);
        if (m_points.size() >= kMaxPoints)
            flush();
    }

    void flush()
    {
        if (!m_points.empty())
            m_dc.lineToEach(m_points);
        m_points.clear();
    }

private:
    static constexpr std::size_t kMaxPoints = 4096;
    DeviceContext& m_dc;
    std::vector<QPointF> m_points;
};

} // namespace store::gdi
