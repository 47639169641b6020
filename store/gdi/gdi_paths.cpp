// Paths: recording figures between BeginPath and EndPath, and filling, stroking or widening them.
#include "gdi_context_p.h"

#include <QPainterPathStroker>

namespace store::gdi {

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

} // namespace store::gdi
