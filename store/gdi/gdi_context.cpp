#include "gdi_context_p.h"
#include "gdi_lines.h"

#include <QPainterPathStroker>

#include <algorithm>
#include <cmath>

namespace store::gdi {

namespace {

// Scale of one logical unit in device pixels for the metric mapping modes, in millimetres per unit.
double metricUnitMm(int mode)
{
    switch (mode) {
    case MmLoMetric:
        return 0.1;
    case MmHiMetric:
        return 0.01;
    case MmLoEnglish:
        return 0.254;
    case MmHiEnglish:
        return 0.0254;
    case MmTwips:
        return 25.4 / 1440;
    default:
        return 0;
    }
}

bool finite(double v)
{
    return std::isfinite(v) && std::abs(v) < 1e12;
}

bool finiteTransform(const QTransform& t)
{
    return finite(t.m11()) && finite(t.m12()) && finite(t.m21()) && finite(t.m22()) && finite(t.dx()) && finite(t.dy());
}

/** Clips a polygon to `box` (Sutherland-Hodgman); the inside of the polygon within the box is kept. */
QPolygonF clipPolygon(const QPolygonF& polygon, const QRectF& box)
{
    QPolygonF out = polygon;
    auto clipEdge = [&out](auto inside, auto intersect) {
        if (out.isEmpty())
            return;
        QPolygonF in;
        in.swap(out);
        QPointF prev = in.last();
        for (const QPointF& cur : in) {
            const bool curIn = inside(cur);
            if (curIn != inside(prev))
                out.append(intersect(prev, cur));
            if (curIn)
                out.append(cur);
            prev = cur;
        }
    };
    const double l = box.left(), r = box.right(), t = box.top(), b = box.bottom();
    auto atX = [](QPointF a, QPointF c, double x) {
        return QPointF(x, a.y() + (c.y() - a.y()) * (x - a.x()) / (c.x() - a.x()));
    };
    auto atY = [](QPointF a, QPointF c, double y) {
        return QPointF(a.x() + (c.x() - a.x()) * (y - a.y()) / (c.y() - a.y()), y);
    };
    clipEdge([l](QPointF p) { return p.x() >= l; }, [&](QPointF a, QPointF c) { return atX(a, c, l); });
    clipEdge([r](QPointF p) { return p.x() <= r; }, [&](QPointF a, QPointF c) { return atX(a, c, r); });
    clipEdge([t](QPointF p) { return p.y() >= t; }, [&](QPointF a, QPointF c) { return atY(a, c, t); });
    clipEdge([b](QPointF p) { return p.y() <= b; }, [&](QPointF a, QPointF c) { return atY(a, c, b); });
    return out;
}

/** Clips the segment a-c to `box` (Liang-Barsky); false when none of it lies inside. */
bool clipSegment(QPointF& a, QPointF& c, const QRectF& box)
{
    double t0 = 0, t1 = 1;
    const double dx = c.x() - a.x(), dy = c.y() - a.y();
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x() - box.left(), box.right() - a.x(), a.y() - box.top(), box.bottom() - a.y()};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return false;
        } else {
            const double t = q[i] / p[i];
            if (p[i] < 0)
                t0 = std::max(t0, t);
            else
                t1 = std::min(t1, t);
        }
    }
    if (t0 > t1)
        return false;
    const QPointF start = a;
    a = start + QPointF(dx * t0, dy * t0);
    c = start + QPointF(dx * t1, dy * t1);
    return true;
}

/** Composition changes cost a paint-engine update each; make them only when they change. */
void setComposition(QPainter& painter, QPainter::CompositionMode mode)
{
    if (painter.compositionMode() != mode)
        painter.setCompositionMode(mode);
}

Brush stockBrush(std::uint32_t stock)
{
    Brush b;
    switch (stock) {
    case WhiteBrush:
        b.color = 0xFFFFFF;
        break;
    case LtGrayBrush:
        b.color = 0xC0C0C0;
        break;
    case GrayBrush:
        b.color = 0x808080;
        break;
    case DkGrayBrush:
        b.color = 0x404040;
        break;
    case NullBrush:
        b.style = BsNull;
        break;
    case DcBrush:
        b.color = 0xFFFFFF;
        break;
    default:
        b.color = 0;
        break;
    }
    return b;
}

} // namespace

// --- Impl helpers -------------------------------------------------------------------------------------------

DeviceContext::Impl::Impl(QPainter& p)
    : painter(p)
{
    s.brush.color = 0xFFFFFF;
    s.font.faceName = QStringLiteral("Arial");
    s.font.height = 0;
}

QTransform DeviceContext::Impl::pageTransform() const
{
    double sx = 1;
    double sy = 1;
    QPointF wOrg = s.windowOrg;
    QPointF vOrg = s.viewportOrg;
    if (s.mapMode == MmIsotropic || s.mapMode == MmAnisotropic) {
        sx = s.windowExt.x() != 0 ? s.viewportExt.x() / s.windowExt.x() : 1;
        sy = s.windowExt.y() != 0 ? s.viewportExt.y() / s.windowExt.y() : 1;
        if (s.mapMode == MmIsotropic) {
            // Both axes take the smaller scale; each keeps its own direction.
            const double m = std::min(std::abs(sx), std::abs(sy));
            sx = std::copysign(m, sx);
            sy = std::copysign(m, sy);
        }
    } else if (const double mm = metricUnitMm(s.mapMode); mm > 0) {
        sx = mm * pixelsPerMmX;
        sy = -mm * pixelsPerMmY;
    }
    return QTransform(sx, 0, 0, sy, vOrg.x() - wOrg.x() * sx, vOrg.y() - wOrg.y() * sy);
}

const QTransform& DeviceContext::Impl::transform() const
{
    if (!transformValid) {
        toPicture = s.world * pageTransform() * base;
        if (!finiteTransform(toPicture))
            toPicture = base;
        transformValid = true;
    }
    return toPicture;
}

double DeviceContext::Impl::scaleX() const
{
    const QTransform& t = transform();
    return std::hypot(t.m11(), t.m12());
}

double DeviceContext::Impl::scaleY() const
{
    const QTransform& t = transform();
    return std::hypot(t.m21(), t.m22());
}

QRectF DeviceContext::Impl::reachRect() const
{
    const QRectF r = pictureRect();
    const double margin = 4 * (r.width() + r.height()) + 1024;
    return r.adjusted(-margin, -margin, margin, margin);
}

QPainterPath DeviceContext::Impl::tame(const QPainterPath& path, bool forStroke) const
{
    // Far-away coordinates make the paint engine crawl (dashing, clipping and rasterising millions of pixels
    // that are never seen); cut such paths down to a box well beyond the picture first.
    const QRectF reach = reachRect();
    if (reach.contains(path.controlPointRect()))
        return path;
    QPainterPath out;
    out.setFillRule(path.fillRule());
    for (const QPolygonF& polygon : path.toSubpathPolygons()) {
        if (forStroke) {
            for (qsizetype i = 1; i < polygon.size(); ++i) {
                QPointF a = polygon[i - 1];
                QPointF c = polygon[i];
                if (!clipSegment(a, c, reach))
                    continue;
                if (out.elementCount() == 0 || out.currentPosition() != a)
                    out.moveTo(a);
                out.lineTo(c);
            }
        } else {
            const QPolygonF clipped = clipPolygon(polygon, reach);
            if (clipped.size() >= 3)
                out.addPolygon(clipped);
        }
    }
    return out;
}

QRectF DeviceContext::Impl::pictureRect() const
{
    const QPaintDevice* device = painter.device();
    return device ? QRectF(0, 0, device->width(), device->height()) : QRectF();
}

void DeviceContext::Impl::applyClip()
{
    // Changing the transform replays the clip in the paint engine; leave an identity transform alone.
    if (painter.worldMatrixEnabled() && !painter.worldTransform().isIdentity())
        painter.resetTransform();
    if (clipApplied)
        return;
    std::optional<QPainterPath> effective = s.clip;
    if (s.metaClip)
        effective = effective ? effective->intersected(*s.metaClip) : *s.metaClip;
    if (!effective) {
        painter.setClipping(false);
    } else {
        painter.setClipPath(*effective);
    }
    clipApplied = true;
}

void DeviceContext::Impl::combineClip(const QPainterPath& unbounded, int mode)
{
    const QPainterPath region = tame(unbounded, false);
    const QPainterPath current = s.clip ? *s.clip : [this] {
        QPainterPath all;
        all.addRect(pictureRect());
        return all;
    }();
    switch (mode) {
    case RgnAnd:
        s.clip = current.intersected(region);
        break;
    case RgnOr:
        s.clip = current.united(region);
        break;
    case RgnXor:
        s.clip = current.subtracted(region).united(region.subtracted(current));
        break;
    case RgnDiff:
        s.clip = current.subtracted(region);
        break;
    case RgnCopy:
        s.clip = region;
        break;
    default:
        return;
    }
    clipChanged();
}

bool DeviceContext::Impl::penVisible() const
{
    return (s.pen.style & PsStyleMask) != PsNull;
}

bool DeviceContext::Impl::brushVisible(const Brush& brush) const
{
    return brush.style != BsNull;
}

QPen DeviceContext::Impl::qtPen() const
{
    const Pen& p = s.pen;
    const std::uint32_t style = p.style & PsStyleMask;
    const bool geometric = p.extended ? (p.style & PsGeometric) != 0 : p.width > 1;
    const double scale = std::sqrt(std::abs(transform().determinant()));
    double width = p.width * scale;
    if (!geometric && p.extended)
        width = 1;
    const QRectF picture = pictureRect();
    width = std::min(width, 2 * (picture.width() + picture.height()) + 16);
    // Lines up to one and a half pixels wide, and width 0, are drawn one whole pixel wide, as the system draws
    // them (a thinner line would leave gaps); the paint engine also draws these much faster.
    if (!(width > 1.5))
        width = 1;

    QPen pen(QColor(rgb(p.color)));
    pen.setWidthF(width);
    if (geometric || p.extended) {
        switch (p.style & PsEndcapMask) {
        case PsEndcapSquare:
            pen.setCapStyle(Qt::SquareCap);
            break;
        case PsEndcapFlat:
            pen.setCapStyle(Qt::FlatCap);
            break;
        default:
            pen.setCapStyle(Qt::RoundCap);
            break;
        }
        switch (p.style & PsJoinMask) {
        case PsJoinBevel:
            pen.setJoinStyle(Qt::BevelJoin);
            break;
        case PsJoinMiter:
            pen.setJoinStyle(Qt::MiterJoin);
            pen.setMiterLimit(s.miterLimit);
            break;
        default:
            pen.setJoinStyle(Qt::RoundJoin);
            break;
        }
    } else {
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
    }

    // Dash lengths are in units of the pen's width in Qt. Cosmetic dashes are fixed pixel lengths; geometric ones
    // scale with the width. A plain pen wider than one unit is always drawn solid.
    QList<qreal> pattern;
    const bool dashesAllowed = p.extended || p.width <= 1;
    if (dashesAllowed) {
        const bool fixedPixels = !geometric;
        auto lengths = [&](std::initializer_list<double> cosmetic, std::initializer_list<double> geo) {
            if (fixedPixels)
                for (double v : cosmetic)
                    pattern.append(v / width);
            else
                pattern.append(geo);
        };
        switch (style) {
        case PsDash:
            lengths({18, 6}, {3, 1});
            break;
        case PsDot:
        case PsAlternate:
            lengths({3, 3}, {1, 1});
            break;
        case PsDashDot:
            lengths({9, 6, 3, 6}, {3, 1, 1, 1});
            break;
        case PsDashDotDot:
            lengths({9, 3, 3, 3, 3, 3}, {3, 1, 1, 1, 1, 1});
            break;
        case PsUserStyle:
            if (!p.dashes.empty()) {
                double total = 0;
                for (double d : p.dashes) {
                    const double len = geometric ? d * scale / width : d / width;
                    pattern.append(std::max(len, 0.01));
                    total += len;
                }
                if (pattern.size() % 2 == 1)
                    pattern.append(pattern);
                if (total <= 0)
                    pattern.clear();
            }
            break;
        default:
            break;
        }
    }
    if (!pattern.isEmpty()) {
        if (pen.capStyle() != Qt::FlatCap && geometric) {
            // Round and square caps lengthen each dash by the width; take that from the gaps as GDI does not.
        }
        pen.setDashPattern(pattern);
    }
    return pen;
}

QBrush DeviceContext::Impl::qtBrush(const Brush& brush) const
{
    const QColor color(rgb(brush.color));
    switch (brush.style) {
    case BsSolid:
        return QBrush(color);
    case BsHatched: {
        // An 8x8 cell like GDI's, one pixel lines, background from the context.
        QImage cell(8, 8, QImage::Format_ARGB32_Premultiplied);
        cell.fill(s.bkMode == Opaque ? QColor(rgb(s.bkColor)) : QColor(Qt::transparent));
        const QRgb ink = color.rgba();
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                bool on = false;
                switch (brush.hatch) {
                case HsHorizontal:
                    on = y == 7;
                    break;
                case HsVertical:
                    on = x == 7;
                    break;
                case HsFDiagonal:
                    on = x == y;
                    break;
                case HsBDiagonal:
                    on = x == 7 - y;
                    break;
                case HsCross:
                    on = x == 7 || y == 7;
                    break;
                case HsDiagCross:
                    on = x == y || x == 7 - y;
                    break;
                default:
                    on = y == 7;
                    break;
                }
                if (on)
                    cell.setPixel(x, y, ink);
            }
        }
        return QBrush(cell);
    }
    case BsPattern:
    case BsDibPattern:
    case BsDibPatternPt:
    case BsPattern8x8:
    case BsDibPattern8x8:
    case BsMonoPattern:
        if (brush.pattern.isNull())
            return QBrush(color);
        if (brush.pattern.format() == QImage::Format_Indexed8 && brush.pattern.colorCount() == 2) {
            // Monochrome patterns take the text colour for 0 bits and the background colour for 1 bits.
            QImage mono = brush.pattern;
            mono.setColor(0, rgb(s.textColor));
            mono.setColor(1, rgb(s.bkColor));
            return QBrush(mono);
        }
        return QBrush(brush.pattern);
    default:
        return QBrush(color);
    }
}

bool DeviceContext::Impl::beginRop2(QColor& color, bool& overrideColor)
{
    overrideColor = false;
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    switch (s.rop2) {
    case R2Nop:
        return false;
    case R2Black:
        color = Qt::black;
        overrideColor = true;
        break;
    case R2White:
        color = Qt::white;
        overrideColor = true;
        break;
    case R2Not:
        mode = QPainter::RasterOp_NotDestination;
        break;
    case R2XorPen:
        mode = QPainter::RasterOp_SourceXorDestination;
        break;
    case R2NotXorPen:
        mode = QPainter::RasterOp_NotSourceXorDestination;
        break;
    case R2MaskPen:
        mode = QPainter::RasterOp_SourceAndDestination;
        break;
    case R2MergePen:
        mode = QPainter::RasterOp_SourceOrDestination;
        break;
    case R2NotCopyPen:
        mode = QPainter::RasterOp_NotSource;
        break;
    case R2MaskPenNot:
        mode = QPainter::RasterOp_SourceAndNotDestination;
        break;
    case R2MaskNotPen:
        mode = QPainter::RasterOp_NotSourceAndDestination;
        break;
    case R2MergeNotPen:
        mode = QPainter::RasterOp_NotSourceOrDestination;
        break;
    case R2MergePenNot:
        mode = QPainter::RasterOp_SourceOrNotDestination;
        break;
    case R2NotMaskPen:
        mode = QPainter::RasterOp_NotSourceOrNotDestination;
        break;
    case R2NotMergePen:
        mode = QPainter::RasterOp_NotSourceAndNotDestination;
        break;
    default:
        break;
    }
    setComposition(painter, mode);
    return true;
}

void DeviceContext::Impl::paintPicturePath(const QPainterPath& picture, bool fill, bool stroke, const Brush* brush)
{
    const Brush& useBrush = brush ? *brush : s.brush;
    fill = fill && brushVisible(useBrush);
    stroke = stroke && penVisible();
    if (!fill && !stroke)
        return;
    applyClip();
    QColor override;
    bool overrideColor = false;
    if (!beginRop2(override, overrideColor))
        return;
    if (fill) {
        QBrush b = overrideColor ? QBrush(override) : qtBrush(useBrush);
        b.setTransform(QTransform::fromTranslate(s.brushOrg.x(), s.brushOrg.y()));
        painter.fillPath(tame(picture, false), b);
    }
    if (stroke) {
        QPen pen = this->pen();
        if (overrideColor)
            pen.setColor(override);
        const QPainterPath outline = tame(picture, true);
        QImage* target = pen.style() == Qt::SolidLine && pen.widthF() <= 1 ? directLineTarget(painter) : nullptr;
        if (!target || !drawPixelPath(*target, outline, pen.color().rgb()))
            painter.strokePath(outline, pen);
    }
    setComposition(painter, QPainter::CompositionMode_SourceOver);
}

void DeviceContext::Impl::drawShape(const QPainterPath& logical, bool fill, bool stroke)
{
    QPainterPath picture = transform().map(logical);
    picture.setFillRule(fillRule(s.polyFillMode));
    if (inPath) {
        if (path.elementCount() + picture.elementCount() <= int(kMaxPathPoints))
            path.addPath(picture);
        pathHasFigure = false;
        return;
    }
    paintPicturePath(picture, fill, stroke);
}

bool DeviceContext::Impl::extendOpenPath(std::span<const QPointF> logical, bool curves)
{
    if (!inPath)
        return false;
    if (path.elementCount() + logical.size() + 1 > kMaxPathPoints)
        return true;
    const QTransform& m = transform();
    const QPointF start = m.map(s.position);
    if (!pathHasFigure || path.currentPosition() != start)
        path.moveTo(start);
    if (curves) {
        for (std::size_t i = 0; i + 2 < logical.size(); i += 3)
            path.cubicTo(m.map(logical[i]), m.map(logical[i + 1]), m.map(logical[i + 2]));
    } else {
        for (const QPointF& point : logical)
            path.lineTo(m.map(point));
    }
    pathHasFigure = true;
    return true;
}

void DeviceContext::Impl::continueFigure(QPainterPath& logical)
{
    // `logical` starts with a moveTo at the current position.
    if (inPath) {
        const QPainterPath picture = transform().map(logical);
        if (path.elementCount() + picture.elementCount() > int(kMaxPathPoints))
            return;
        const QPointF start = transform().map(s.position);
        if (!pathHasFigure || path.currentPosition() != start)
            path.moveTo(start);
        for (int i = 1; i < picture.elementCount(); ++i) {
            const QPainterPath::Element e = picture.elementAt(i);
            if (e.isLineTo()) {
                path.lineTo(e);
            } else if (e.isCurveTo() && i + 2 < picture.elementCount()) {
                path.cubicTo(e, picture.elementAt(i + 1), picture.elementAt(i + 2));
                i += 2;
            } else if (e.isMoveTo()) {
                path.moveTo(e);
            }
        }
        pathHasFigure = true;
        return;
    }
    paintPicturePath(transform().map(logical), false, true);
}

QPainterPath DeviceContext::Impl::regionPath(const Region& region) const
{
    QPainterPath p;
    for (const QRect& r : region.rects)
        p.addRect(QRectF(r));
    return p;
}

ArcGeometry arcGeometry(const QRectF& box, QPointF start, QPointF end, bool clockwise)
{
    ArcGeometry g;
    g.box = box.normalized();
    const QPointF c = g.box.center();
    const double rx = std::max(g.box.width() / 2, 1e-9);
    const double ry = std::max(g.box.height() / 2, 1e-9);
    // Parametric angles on the ellipse, counter-clockwise with y pointing down, as Qt measures them.
    const double a0 = std::atan2(-(start.y() - c.y()) / ry, (start.x() - c.x()) / rx) * 180 / M_PI;
    const double a1 = std::atan2(-(end.y() - c.y()) / ry, (end.x() - c.x()) / rx) * 180 / M_PI;
    double sweep = a1 - a0;
    if (clockwise) {
        while (sweep >= 0)
            sweep -= 360;
    } else {
        while (sweep <= 0)
            sweep += 360;
    }
    g.startDegrees = a0;
    g.sweepDegrees = sweep;
    return g;
}

// --- DeviceContext ------------------------------------------------------------------------------------------

DeviceContext::DeviceContext(QPainter& painter)
    : m_impl(std::make_unique<Impl>(painter))
{
    // Shapes and lines have hard edges, as the system draws them: no pixel is blended with what lies beneath,
    // which raster operations need, and the paint engine draws them several times faster. Letters are smoothed
    // (see textOut), as the system's font smoothing does.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
}

DeviceContext::~DeviceContext() = default;

void DeviceContext::setBaseTransform(const QTransform& deviceToPicture)
{
    if (!finiteTransform(deviceToPicture))
        return;
    m_impl->base = deviceToPicture;
    m_impl->invalidateTransform();
}

void DeviceContext::setDeviceResolution(double pixelsPerMmX, double pixelsPerMmY)
{
    if (finite(pixelsPerMmX) && finite(pixelsPerMmY) && pixelsPerMmX > 0 && pixelsPerMmY > 0) {
        m_impl->pixelsPerMmX = pixelsPerMmX;
        m_impl->pixelsPerMmY = pixelsPerMmY;
        m_impl->invalidateTransform();
    }
}

void DeviceContext::reserveObjects(std::uint32_t count)
{
    count = std::min(count, kMaxObjects);
    if (count > m_impl->objects.size())
        m_impl->objects.resize(count);
}

void DeviceContext::setObject(std::uint32_t index, Object object)
{
    if (index >= kMaxObjects)
        return;
    if (index >= m_impl->objects.size())
        m_impl->objects.resize(index + 1);
    m_impl->objects[index] = std::move(object);
}

int DeviceContext::addObject(Object object)
{
    auto& objects = m_impl->objects;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        if (std::holds_alternative<std::monostate>(objects[i])) {
            objects[i] = std::move(object);
            return int(i);
        }
    }
    if (objects.size() >= kMaxObjects)
        return -1;
    objects.push_back(std::move(object));
    return int(objects.size() - 1);
}

void DeviceContext::selectObject(std::uint32_t index)
{
    const Object* o = object(index);
    if (!o)
        return;
    State& s = m_impl->s;
    if (const auto* pen = std::get_if<Pen>(o)) {
        s.pen = *pen;
        m_impl->penCache.reset();
    } else if (const auto* brush = std::get_if<Brush>(o))
        s.brush = *brush;
    else if (const auto* font = std::get_if<Font>(o))
        s.font = *font;
    else if (const auto* palette = std::get_if<Palette>(o)) {
        s.palette = *palette;
        m_impl->penCache.reset(); // a pen may name its colour by palette index
    } else if (const auto* region = std::get_if<Region>(o))
        setClipRegionLogical(*region, RgnCopy);
}

void DeviceContext::selectStockObject(std::uint32_t stock)
{
    State& s = m_impl->s;
    m_impl->penCache.reset();
    switch (stock) {
    case WhitePen:
        s.pen = Pen {};
        s.pen.color = 0xFFFFFF;
        break;
    case BlackPen:
    case DcPen:
        s.pen = Pen {};
        break;
    case NullPen:
        s.pen = Pen {};
        s.pen.style = PsNull;
        break;
    case OemFixedFont:
    case AnsiFixedFont:
    case SystemFixedFont:
        s.font = Font {};
        s.font.faceName = QStringLiteral("Courier New");
        break;
    case AnsiVarFont:
    case SystemFont:
    case DeviceDefaultFont:
    case DefaultGuiFont:
        s.font = Font {};
        s.font.faceName = QStringLiteral("Arial");
        break;
    case DefaultPalette:
        s.palette = Palette {};
        m_impl->penCache.reset();
        break;
    default:
        if (stock <= NullBrush || stock == DcBrush)
            s.brush = stockBrush(stock);
        break;
    }
}

void DeviceContext::deleteObject(std::uint32_t index)
{
    if (index < m_impl->objects.size())
        m_impl->objects[index] = std::monostate {};
}

const Object* DeviceContext::object(std::uint32_t index) const
{
    if (index >= m_impl->objects.size() || std::holds_alternative<std::monostate>(m_impl->objects[index]))
        return nullptr;
    return &m_impl->objects[index];
}

std::optional<Brush> DeviceContext::brushAt(std::uint32_t index, bool stock) const
{
    if (stock)
        return index <= NullBrush || index == DcBrush ? std::optional<Brush>(stockBrush(index)) : std::nullopt;
    const Object* o = object(index);
    if (const auto* brush = o ? std::get_if<Brush>(o) : nullptr)
        return *brush;
    return std::nullopt;
}

void DeviceContext::saveDc()
{
    if (int(m_impl->stack.size()) < kMaxSaveDepth)
        m_impl->stack.push_back(m_impl->s);
}

void DeviceContext::restoreDc(int which)
{
    auto& stack = m_impl->stack;
    const int depth = int(stack.size());
    int level = which < 0 ? depth + which : which - 1; // the saved state to return to, 0-based
    if (level < 0 || level >= depth)
        return;
    m_impl->s = stack[std::size_t(level)];
    stack.resize(std::size_t(level));
    m_impl->invalidateTransform();
    m_impl->clipChanged();
}

void DeviceContext::setMapMode(int mode)
{
    State& s = m_impl->s;
    if (mode < MmText || mode > MmAnisotropic)
        return;
    if (mode != MmIsotropic && mode != MmAnisotropic) {
        s.windowExt = {1, 1};
        s.viewportExt = {1, 1};
    } else if (s.mapMode != MmIsotropic && s.mapMode != MmAnisotropic && s.mapMode != MmText) {
        // Leaving a metric mode keeps its scale as the starting extents.
        const QTransform page = m_impl->pageTransform();
        s.windowExt = {1, 1};
        s.viewportExt = {page.m11(), page.m22()};
    }
    s.mapMode = mode;
    m_impl->invalidateTransform();
}

void DeviceContext::setWindowOrg(double x, double y)
{
    m_impl->s.windowOrg = {x, y};
    m_impl->invalidateTransform();
}

void DeviceContext::setWindowExt(double x, double y)
{
    State& s = m_impl->s;
    if ((s.mapMode != MmIsotropic && s.mapMode != MmAnisotropic) || x == 0 || y == 0)
        return;
    s.windowExt = {x, y};
    m_impl->invalidateTransform();
}

void DeviceContext::setViewportOrg(double x, double y)
{
    m_impl->s.viewportOrg = {x, y};
    m_impl->invalidateTransform();
}

void DeviceContext::setViewportExt(double x, double y)
{
    State& s = m_impl->s;
    if ((s.mapMode != MmIsotropic && s.mapMode != MmAnisotropic) || x == 0 || y == 0)
        return;
    s.viewportExt = {x, y};
    m_impl->invalidateTransform();
}

void DeviceContext::offsetWindowOrg(double dx, double dy)
{
    m_impl->s.windowOrg += QPointF(dx, dy);
    m_impl->invalidateTransform();
}

void DeviceContext::offsetViewportOrg(double dx, double dy)
{
    m_impl->s.viewportOrg += QPointF(dx, dy);
    m_impl->invalidateTransform();
}

void DeviceContext::scaleWindowExt(int xNum, int xDenom, int yNum, int yDenom)
{
    const QPointF e = m_impl->s.windowExt;
    if (xDenom != 0 && yDenom != 0)
        setWindowExt(e.x() * xNum / xDenom, e.y() * yNum / yDenom);
}

void DeviceContext::scaleViewportExt(int xNum, int xDenom, int yNum, int yDenom)
{
    const QPointF e = m_impl->s.viewportExt;
    if (xDenom != 0 && yDenom != 0)
        setViewportExt(e.x() * xNum / xDenom, e.y() * yNum / yDenom);
}

void DeviceContext::setGraphicsMode(int mode)
{
    if (mode == 1 || mode == 2)
        m_impl->s.graphicsMode = mode;
}

void DeviceContext::setWorldTransform(const QTransform& transform)
{
    if (!finiteTransform(transform))
        return;
    m_impl->s.world = transform;
    m_impl->invalidateTransform();
}

void DeviceContext::modifyWorldTransform(const QTransform& transform, int mode)
{
    QTransform& world = m_impl->s.world;
    QTransform next = world;
    switch (mode) {
    case MwtIdentity:
        next = QTransform();
        break;
    case MwtLeftMultiply:
        next = transform * world;
        break;
    case MwtRightMultiply:
        next = world * transform;
        break;
    case MwtSet:
        next = transform;
        break;
    default:
        return;
    }
    if (!finiteTransform(next))
        return;
    world = next;
    m_impl->invalidateTransform();
}

QTransform DeviceContext::logicalToPicture() const
{
    return m_impl->transform();
}

void DeviceContext::setBkMode(int mode)
{
    if (mode == Transparent || mode == Opaque)
        m_impl->s.bkMode = mode;
}

void DeviceContext::setBkColor(ColorRef color)
{
    m_impl->s.bkColor = color;
}

void DeviceContext::setTextColor(ColorRef color)
{
    m_impl->s.textColor = color;
}

void DeviceContext::setTextAlign(std::uint32_t align)
{
    m_impl->s.textAlign = align;
}

void DeviceContext::setTextCharExtra(int extra)
{
    m_impl->s.charExtra = extra;
}

void DeviceContext::setRop2(int rop)
{
    if (rop >= R2Black && rop <= R2White)
        m_impl->s.rop2 = rop;
}

void DeviceContext::setPolyFillMode(int mode)
{
    if (mode == Alternate || mode == Winding)
        m_impl->s.polyFillMode = mode;
}

void DeviceContext::setStretchBltMode(int mode)
{
    m_impl->s.stretchMode = mode;
}

void DeviceContext::setMiterLimit(double limit)
{
    if (finite(limit) && limit >= 1) {
        m_impl->s.miterLimit = limit;
        m_impl->penCache.reset();
    }
}

void DeviceContext::setArcDirection(int direction)
{
    if (direction == 1 || direction == 2)
        m_impl->s.arcDirection = direction;
}

void DeviceContext::setBrushOrg(QPointF origin)
{
    if (finite(origin.x()) && finite(origin.y()))
        m_impl->s.brushOrg = origin;
}

const Font& DeviceContext::currentFont() const
{
    return m_impl->s.font;
}

std::span<const QRgb> DeviceContext::logicalPalette() const
{
    return m_impl->logicalPalette();
}

void DeviceContext::moveTo(QPointF point)
{
    m_impl->s.position = point;
    if (m_impl->inPath) {
        m_impl->pathHasFigure = false;
    }
}

void DeviceContext::Impl::strokePolyline(const QPolygonF& picture)
{
    applyClip();
    setComposition(painter, QPainter::CompositionMode_SourceOver);
    const QPen& current = pen();
    if (current.style() == Qt::SolidLine && current.widthF() <= 1) {
        if (QImage* target = directLineTarget(painter)) {
            drawPixelPolyline(*target, picture, current.color().rgb());
            return;
        }
    }
    painter.setPen(current);
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(picture);
}

void DeviceContext::lineTo(QPointF point)
{
    Impl& d = *m_impl;
    if (!d.inPath && d.s.rop2 == R2CopyPen && d.penVisible()) {
        // Charts draw thousands of single lines; a plain line is much cheaper for the paint engine than a path.
        const QPointF a = d.transform().map(d.s.position);
        const QPointF b = d.transform().map(point);
        const QRectF reach = d.reachRect();
        if (reach.contains(a) && reach.contains(b)) {
            d.strokePolyline(QPolygonF {a, b});
            d.s.position = point;
            return;
        }
    }
    if (!d.extendOpenPath(std::span(&point, 1), false)) {
        QPainterPath p(d.s.position);
        p.lineTo(point);
        d.continueFigure(p);
    }
    d.s.position = point;
}

void DeviceContext::lineToEach(std::span<const QPointF> points)
{
    Impl& d = *m_impl;
    const QPen& pen = d.pen();
    if (points.size() > 1 && !d.inPath && d.s.rop2 == R2CopyPen && d.penVisible() && pen.style() == Qt::SolidLine
        && pen.widthF() <= 1) {
        // One-pixel solid lines have no joins: drawn as one polyline they look the same, and draw much faster.
        QPolygonF picture;
        picture.reserve(qsizetype(points.size()) + 1);
        const QRectF reach = d.reachRect();
        picture.push_back(d.transform().map(d.s.position));
        for (const QPointF& point : points)
            picture.push_back(d.transform().map(point));
        if (std::all_of(picture.begin(), picture.end(), [&](const QPointF& p) { return reach.contains(p); })) {
            d.strokePolyline(picture);
            d.s.position = points.back();
            return;
        }
    }
    for (const QPointF& point : points)
        lineTo(point);
}

QPointF DeviceContext::currentPosition() const
{
    return m_impl->s.position;
}

// --- Clipping -----------------------------------------------------------------------------------------------

void DeviceContext::intersectClipRect(const QRectF& logical)
{
    QPainterPath p;
    p.addRect(logical.normalized());
    m_impl->combineClip(m_impl->transform().map(p), RgnAnd);
}

void DeviceContext::excludeClipRect(const QRectF& logical)
{
    QPainterPath p;
    p.addRect(logical.normalized());
    m_impl->combineClip(m_impl->transform().map(p), RgnDiff);
}

void DeviceContext::setClipRegion(const Region& deviceRegion, int mode)
{
    if (mode == RgnCopy && deviceRegion.rects.empty()) {
        m_impl->s.clip.reset();
        m_impl->clipChanged();
        return;
    }
    m_impl->combineClip(m_impl->base.map(m_impl->regionPath(deviceRegion)), mode);
}

void DeviceContext::setClipRegionLogical(const Region& logicalRegion, int mode)
{
    if (mode == RgnCopy && logicalRegion.rects.empty()) {
        m_impl->s.clip.reset();
        m_impl->clipChanged();
        return;
    }
    m_impl->combineClip(m_impl->transform().map(m_impl->regionPath(logicalRegion)), mode);
}

void DeviceContext::offsetClipRegion(double dx, double dy)
{
    State& s = m_impl->s;
    if (!s.clip)
        return;
    // The offset is in logical units; move by its length in picture pixels.
    const QTransform& t = m_impl->transform();
    const QPointF d = t.map(QPointF(dx, dy)) - t.map(QPointF(0, 0));
    s.clip->translate(d);
    m_impl->clipChanged();
}

void DeviceContext::selectClipPath(int mode)
{
    if (m_impl->inPath)
        return;
    QPainterPath p = m_impl->path;
    p.setFillRule(fillRule(m_impl->s.polyFillMode));
    m_impl->path = QPainterPath();
    m_impl->combineClip(p, mode);
}

void DeviceContext::setMetaRegion()
{
    State& s = m_impl->s;
    if (s.clip) {
        s.metaClip = s.metaClip ? s.metaClip->intersected(*s.clip) : *s.clip;
        s.clip.reset();
        m_impl->clipChanged();
    }
}

// --- Paths --------------------------------------------------------------------------------------------------

void DeviceContext::beginPath()
{
    m_impl->inPath = true;
    m_impl->path = QPainterPath();
    m_impl->pathHasFigure = false;
}

void DeviceContext::endPath()
{
    m_impl->inPath = false;
}

void DeviceContext::abortPath()
{
    m_impl->inPath = false;
    m_impl->path = QPainterPath();
}

void DeviceContext::closeFigure()
{
    if (m_impl->inPath && m_impl->path.elementCount() > 0) {
        m_impl->path.closeSubpath();
        m_impl->pathHasFigure = false;
    }
}

void DeviceContext::fillPath()
{
    if (m_impl->inPath)
        return;
    QPainterPath p = m_impl->path;
    p.setFillRule(fillRule(m_impl->s.polyFillMode));
    m_impl->path = QPainterPath();
    m_impl->paintPicturePath(p, true, false);
}

void DeviceContext::strokePath()
{
    if (m_impl->inPath)
        return;
    QPainterPath p = m_impl->path;
    m_impl->path = QPainterPath();
    m_impl->paintPicturePath(p, false, true);
}

void DeviceContext::strokeAndFillPath()
{
    if (m_impl->inPath)
        return;
    QPainterPath p = m_impl->path;
    p.setFillRule(fillRule(m_impl->s.polyFillMode));
    m_impl->path = QPainterPath();
    m_impl->paintPicturePath(p, true, true);
}

void DeviceContext::flattenPath()
{
    if (m_impl->inPath)
        return;
    QPainterPath flat;
    for (const QPolygonF& polygon : m_impl->path.toSubpathPolygons())
        flat.addPolygon(polygon);
    m_impl->path = flat;
}

void DeviceContext::widenPath()
{
    if (m_impl->inPath || !m_impl->penVisible())
        return;
    const QPen pen = m_impl->qtPen();
    QPainterPathStroker stroker(pen);
    QPainterPath wide = stroker.createStroke(m_impl->path);
    wide.setFillRule(Qt::WindingFill);
    m_impl->path = wide;
}

// --- Lines and shapes ---------------------------------------------------------------------------------------

void DeviceContext::polyline(std::span<const QPointF> points)
{
    if (points.size() < 2)
        return;
    QPainterPath p(points[0]);
    for (std::size_t i = 1; i < points.size(); ++i)
        p.lineTo(points[i]);
    if (m_impl->inPath) {
        m_impl->drawShape(p, false, true);
        m_impl->pathHasFigure = true;
        return;
    }
    m_impl->drawShape(p, false, true);
}

void DeviceContext::polylineTo(std::span<const QPointF> points)
{
    if (points.empty())
        return;
    if (!m_impl->extendOpenPath(points, false)) {
        QPainterPath p(m_impl->s.position);
        for (const QPointF& point : points)
            p.lineTo(point);
        m_impl->continueFigure(p);
    }
    m_impl->s.position = points.back();
}

void DeviceContext::polygon(std::span<const QPointF> points)
{
    if (points.size() < 2)
        return;
    QPainterPath p;
    p.addPolygon(QPolygonF(QList<QPointF>(points.begin(), points.end())));
    p.closeSubpath();
    m_impl->drawShape(p, true, true);
}

void DeviceContext::polyPolygon(std::span<const QPointF> points, std::span<const std::uint32_t> counts)
{
    QPainterPath p;
    std::size_t at = 0;
    for (std::uint32_t count : counts) {
        const std::size_t n = std::min<std::size_t>(count, points.size() - at);
        if (n >= 2) {
            p.moveTo(points[at]);
            for (std::size_t i = 1; i < n; ++i)
                p.lineTo(points[at + i]);
            p.closeSubpath();
        }
        at += n;
        if (at >= points.size())
            break;
    }
    m_impl->drawShape(p, true, true);
}

void DeviceContext::polyPolyline(std::span<const QPointF> points, std::span<const std::uint32_t> counts)
{
    QPainterPath p;
    std::size_t at = 0;
    for (std::uint32_t count : counts) {
        const std::size_t n = std::min<std::size_t>(count, points.size() - at);
        if (n >= 2) {
            p.moveTo(points[at]);
            for (std::size_t i = 1; i < n; ++i)
                p.lineTo(points[at + i]);
        }
        at += n;
        if (at >= points.size())
            break;
    }
    m_impl->drawShape(p, false, true);
}

void DeviceContext::polyBezier(std::span<const QPointF> points)
{
    if (points.size() < 4)
        return;
    QPainterPath p(points[0]);
    for (std::size_t i = 1; i + 2 < points.size(); i += 3)
        p.cubicTo(points[i], points[i + 1], points[i + 2]);
    m_impl->drawShape(p, false, true);
}

void DeviceContext::polyBezierTo(std::span<const QPointF> points)
{
    if (points.size() < 3)
        return;
    const std::size_t used = points.size() / 3 * 3;
    if (!m_impl->extendOpenPath(points.first(used), true)) {
        QPainterPath p(m_impl->s.position);
        for (std::size_t i = 0; i < used; i += 3)
            p.cubicTo(points[i], points[i + 1], points[i + 2]);
        m_impl->continueFigure(p);
    }
    m_impl->s.position = points[used - 1];
}

void DeviceContext::polyDraw(std::span<const QPointF> points, std::span<const std::uint8_t> types)
{
    const std::size_t n = std::min(points.size(), types.size());
    QPainterPath p(m_impl->s.position);
    QPointF figureStart = m_impl->s.position;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t type = types[i] & ~PtCloseFigure;
        if (type == PtMoveTo) {
            p.moveTo(points[i]);
            figureStart = points[i];
        } else if (type == PtLineTo) {
            p.lineTo(points[i]);
        } else if (type == PtBezierTo && i + 2 < n) {
            p.cubicTo(points[i], points[i + 1], points[i + 2]);
            i += 2;
        } else {
            break;
        }
        if (types[i] & PtCloseFigure) {
            p.lineTo(figureStart);
            p.closeSubpath();
            p.moveTo(figureStart);
        }
        m_impl->s.position = points[i];
    }
    if (m_impl->inPath) {
        m_impl->drawShape(p, false, true);
        return;
    }
    m_impl->drawShape(p, false, true);
}

void DeviceContext::arc(const QRectF& box, QPointF start, QPointF end)
{
    const ArcGeometry g = arcGeometry(box, start, end, m_impl->s.arcDirection == 2);
    QPainterPath p;
    p.arcMoveTo(g.box, g.startDegrees);
    p.arcTo(g.box, g.startDegrees, g.sweepDegrees);
    m_impl->drawShape(p, false, true);
}

void DeviceContext::arcTo(const QRectF& box, QPointF start, QPointF end)
{
    const ArcGeometry g = arcGeometry(box, start, end, m_impl->s.arcDirection == 2);
    QPainterPath p(m_impl->s.position);
    p.arcTo(g.box, g.startDegrees, g.sweepDegrees);
    const QPointF last = p.currentPosition();
    m_impl->continueFigure(p);
    m_impl->s.position = last;
}

void DeviceContext::chord(const QRectF& box, QPointF start, QPointF end)
{
    const ArcGeometry g = arcGeometry(box, start, end, m_impl->s.arcDirection == 2);
    QPainterPath p;
    p.arcMoveTo(g.box, g.startDegrees);
    p.arcTo(g.box, g.startDegrees, g.sweepDegrees);
    p.closeSubpath();
    m_impl->drawShape(p, true, true);
}

void DeviceContext::pie(const QRectF& box, QPointF start, QPointF end)
{
    const ArcGeometry g = arcGeometry(box, start, end, m_impl->s.arcDirection == 2);
    QPainterPath p(g.box.center());
    p.arcTo(g.box, g.startDegrees, g.sweepDegrees);
    p.closeSubpath();
    m_impl->drawShape(p, true, true);
}

void DeviceContext::angleArc(QPointF center, double radius, double startAngle, double sweepAngle)
{
    if (!finite(radius) || !finite(startAngle) || !finite(sweepAngle))
        return;
    sweepAngle = std::clamp(sweepAngle, -3600.0, 3600.0);
    const QRectF box(center.x() - radius, center.y() - radius, 2 * radius, 2 * radius);
    QPainterPath p(m_impl->s.position);
    // Angles count counter-clockwise on a y-up page; in y-down coordinates that is Qt's convention negated.
    p.arcTo(box, -startAngle, -sweepAngle);
    const QPointF last = p.currentPosition();
    m_impl->continueFigure(p);
    m_impl->s.position = last;
}

void DeviceContext::rectangle(const QRectF& box)
{
    QPainterPath p;
    p.addRect(box.normalized());
    m_impl->drawShape(p, true, true);
}

void DeviceContext::roundRect(const QRectF& box, double cornerWidth, double cornerHeight)
{
    QPainterPath p;
    const QRectF r = box.normalized();
    p.addRoundedRect(
        r, std::min(std::abs(cornerWidth) / 2, r.width() / 2), std::min(std::abs(cornerHeight) / 2, r.height() / 2));
    m_impl->drawShape(p, true, true);
}

void DeviceContext::ellipse(const QRectF& box)
{
    QPainterPath p;
    p.addEllipse(box.normalized());
    m_impl->drawShape(p, true, true);
}

void DeviceContext::setPixel(QPointF point, ColorRef color)
{
    const QPointF at = m_impl->transform().map(point);
    m_impl->applyClip();
    m_impl->painter.fillRect(QRectF(std::floor(at.x()), std::floor(at.y()), 1, 1), QColor(m_impl->rgb(color)));
}

// --- Regions ------------------------------------------------------------------------------------------------

void DeviceContext::fillRegion(const Region& region, const Brush& brush)
{
    QPainterPath p = m_impl->transform().map(m_impl->regionPath(region));
    p.setFillRule(Qt::WindingFill);
    m_impl->paintPicturePath(p, true, false, &brush);
}

void DeviceContext::frameRegion(const Region& region, const Brush& brush, double width, double height)
{
    QPainterPath inside = m_impl->regionPath(region).simplified();
    QPainterPathStroker stroker;
    stroker.setWidth(2 * std::clamp(std::max(std::abs(width), std::abs(height)), 0.0, 1e6));
    stroker.setJoinStyle(Qt::MiterJoin);
    QPainterPath frame = stroker.createStroke(inside).intersected(inside);
    m_impl->paintPicturePath(m_impl->transform().map(frame), true, false, &brush);
}

void DeviceContext::invertRegion(const Region& region)
{
    QPainterPath p = m_impl->transform().map(m_impl->regionPath(region));
    m_impl->applyClip();
    m_impl->painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    m_impl->painter.fillPath(p, Qt::black);
    m_impl->painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void DeviceContext::paintRegion(const Region& region)
{
    QPainterPath p = m_impl->transform().map(m_impl->regionPath(region));
    p.setFillRule(Qt::WindingFill);
    m_impl->paintPicturePath(p, true, false);
}

} // namespace store::gdi
