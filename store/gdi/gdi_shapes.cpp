// Lines, polygons, curves, arcs and the other shapes, outside or inside a path.
#include "gdi_context_p.h"
#include "gdi_lines.h"

#include <algorithm>
#include <cmath>

namespace store::gdi {

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

namespace {

/**
 * One path of the runs of `points` that `counts` gives, each closed when `close` is set; runs of fewer than two
 * points are skipped, and counts past the points given end the path.
 */
QPainterPath runsPath(std::span<const QPointF> points, std::span<const std::uint32_t> counts, bool close)
{
    QPainterPath p;
    std::size_t at = 0;
    for (std::uint32_t count : counts) {
        const std::size_t n = std::min<std::size_t>(count, points.size() - at);
        if (n >= 2) {
            p.moveTo(points[at]);
            for (std::size_t i = 1; i < n; ++i)
                p.lineTo(points[at + i]);
            if (close)
                p.closeSubpath();
        }
        at += n;
        if (at >= points.size())
            break;
    }
    return p;
}

} // namespace

void DeviceContext::polyPolygon(std::span<const QPointF> points, std::span<const std::uint32_t> counts)
{
    m_impl->drawShape(runsPath(points, counts, true), true, true);
}

void DeviceContext::polyPolyline(std::span<const QPointF> points, std::span<const std::uint32_t> counts)
{
    m_impl->drawShape(runsPath(points, counts, false), false, true);
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
} // namespace store::gdi
