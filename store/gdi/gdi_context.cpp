// The device context: its construction, the drawing state and the saved states, and taming far-away paths.
#include "gdi_context_p.h"

#include <algorithm>
#include <cmath>

namespace store::gdi {

namespace {

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

} // namespace

DeviceContext::Impl::Impl(QPainter& p)
    : painter(p)
{
    s.brush.color = 0xFFFFFF;
    s.font.faceName = QStringLiteral("Arial");
    s.font.height = 0;
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

} // namespace store::gdi
