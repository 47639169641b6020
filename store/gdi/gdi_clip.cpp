// The clip region, the meta region and the region operations.
#include "gdi_context_p.h"

#include <QPainterPathStroker>

#include <algorithm>
#include <cmath>

namespace store::gdi {

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
QPainterPath DeviceContext::Impl::regionPath(const Region& region) const
{
    QPainterPath p;
    for (const QRect& r : region.rects)
        p.addRect(QRectF(r));
    return p;
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
