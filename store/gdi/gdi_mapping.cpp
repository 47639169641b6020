// Mapping modes, window and viewport, and the world transform: from logical units to picture pixels.
#include "gdi_context_p.h"

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

} // namespace

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
} // namespace store::gdi
