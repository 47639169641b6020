#include "emf_player.h"

#include "emf_player_p.h"
#include "platform/errors.h"

#include <algorithm>
#include <span>

namespace store::emf {

namespace detail {

void Player::play(const Record& r)
{
    if (r.type() == EmrLineTo) {
        m_lineRun.add(r.pointL(8));
        return;
    }
    m_lineRun.flush();
    // Each family handles its own records; comments (EMF+ data included), colour management, OpenGL and other
    // records that no family takes draw nothing here.
    using Family = bool (Player::*)(const Record&);
    static constexpr Family kFamilies[]
        = {&Player::playObjects, &Player::playState, &Player::playMapping, &Player::playClipping, &Player::playPaths,
            &Player::playDrawing, &Player::playRegions, &Player::playBitmaps, &Player::playText};
    for (Family family : kFamilies) {
        if ((this->*family)(r))
            return;
    }
}

bool Player::playState(const Record& r)
{
    switch (r.type()) {
    case EmrSetBkMode:
        m_dc.setBkMode(r.i32(8));
        return true;
    case EmrSetPolyFillMode:
        m_dc.setPolyFillMode(r.i32(8));
        return true;
    case EmrSetRop2:
        m_dc.setRop2(r.i32(8));
        return true;
    case EmrSetStretchBltMode:
        m_dc.setStretchBltMode(r.i32(8));
        return true;
    case EmrSetTextAlign:
        m_dc.setTextAlign(r.u32(8));
        return true;
    case EmrSetTextColor:
        m_dc.setTextColor(r.u32(8));
        return true;
    case EmrSetBkColor:
        m_dc.setBkColor(r.u32(8));
        return true;
    case EmrSetBrushOrgEx:
        m_dc.setBrushOrg(r.pointL(8));
        return true;
    case EmrSetArcDirection:
        m_dc.setArcDirection(r.i32(8));
        return true;
    case EmrSetMiterLimit:
        m_dc.setMiterLimit(r.u32(8));
        return true;
    case EmrSaveDc:
        m_dc.saveDc();
        return true;
    case EmrRestoreDc:
        m_dc.restoreDc(r.i32(8));
        return true;
    default:
        return false;
    }
}

bool Player::playMapping(const Record& r)
{
    switch (r.type()) {
    case EmrSetMapMode:
        m_dc.setMapMode(r.i32(8));
        return true;
    case EmrSetWindowExtEx:
        m_dc.setWindowExt(r.i32(8), r.i32(12));
        return true;
    case EmrSetWindowOrgEx:
        m_dc.setWindowOrg(r.i32(8), r.i32(12));
        return true;
    case EmrSetViewportExtEx:
        m_dc.setViewportExt(r.i32(8), r.i32(12));
        return true;
    case EmrSetViewportOrgEx:
        m_dc.setViewportOrg(r.i32(8), r.i32(12));
        return true;
    case EmrScaleViewportExtEx:
        m_dc.scaleViewportExt(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
        return true;
    case EmrScaleWindowExtEx:
        m_dc.scaleWindowExt(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
        return true;
    case EmrSetWorldTransform:
        m_dc.setWorldTransform(xform(r, 8));
        return true;
    case EmrModifyWorldTransform:
        m_dc.modifyWorldTransform(xform(r, 8), int(r.u32(32)));
        return true;
    default:
        return false;
    }
}

bool Player::playClipping(const Record& r)
{
    switch (r.type()) {
    case EmrOffsetClipRgn:
        m_dc.offsetClipRegion(r.i32(8), r.i32(12));
        return true;
    case EmrSetMetaRgn:
        m_dc.setMetaRegion();
        return true;
    case EmrExcludeClipRect:
        m_dc.excludeClipRect(r.rectL(8));
        return true;
    case EmrIntersectClipRect:
        m_dc.intersectClipRect(r.rectL(8));
        return true;
    case EmrExtSelectClipRgn:
        m_dc.setClipRegion(region(r, 16, r.u32(8)), r.i32(12));
        return true;
    case EmrSelectClipPath:
        m_dc.selectClipPath(r.i32(8));
        return true;
    default:
        return false;
    }
}

bool Player::playPaths(const Record& r)
{
    switch (r.type()) {
    case EmrBeginPath:
        m_dc.beginPath();
        return true;
    case EmrEndPath:
        m_dc.endPath();
        return true;
    case EmrCloseFigure:
        m_dc.closeFigure();
        return true;
    case EmrFillPath:
        m_dc.fillPath();
        return true;
    case EmrStrokeAndFillPath:
        m_dc.strokeAndFillPath();
        return true;
    case EmrStrokePath:
        m_dc.strokePath();
        return true;
    case EmrFlattenPath:
        m_dc.flattenPath();
        return true;
    case EmrWidenPath:
        m_dc.widenPath();
        return true;
    case EmrAbortPath:
        m_dc.abortPath();
        return true;
    default:
        return false;
    }
}

bool Player::playDrawing(const Record& r)
{
    switch (r.type()) {
    case EmrPolyBezier:
    case EmrPolygon:
    case EmrPolyline:
    case EmrPolyBezierTo:
    case EmrPolylineTo:
        poly(r, false);
        return true;
    case EmrPolyBezier16:
    case EmrPolygon16:
    case EmrPolyline16:
    case EmrPolyBezierTo16:
    case EmrPolylineTo16:
        poly(r, true);
        return true;
    case EmrPolyPolyline:
    case EmrPolyPolygon:
        polyPoly(r, false);
        return true;
    case EmrPolyPolyline16:
    case EmrPolyPolygon16:
        polyPoly(r, true);
        return true;
    case EmrPolyDraw:
    case EmrPolyDraw16:
        polyDraw(r, r.type() == EmrPolyDraw16);
        return true;
    case EmrMoveToEx:
        m_dc.moveTo(r.pointL(8));
        return true;
    case EmrSetPixelV:
        m_dc.setPixel(r.pointL(8), r.u32(16));
        return true;
    case EmrExtFloodFill:
        m_dc.floodFill(r.pointL(8), r.u32(16), int(r.u32(20)));
        return true;
    default:
        return playShape(r);
    }
}

bool Player::playShape(const Record& r)
{
    switch (r.type()) {
    case EmrAngleArc:
        m_dc.angleArc(r.pointL(8), r.u32(16), r.f32(20), r.f32(24));
        return true;
    case EmrEllipse:
        m_dc.ellipse(r.rectL(8));
        return true;
    case EmrRectangle:
        m_dc.rectangle(r.rectL(8));
        return true;
    case EmrRoundRect:
        m_dc.roundRect(r.rectL(8), r.i32(24), r.i32(28));
        return true;
    case EmrArc:
        m_dc.arc(r.rectL(8), r.pointL(24), r.pointL(32));
        return true;
    case EmrArcTo:
        m_dc.arcTo(r.rectL(8), r.pointL(24), r.pointL(32));
        return true;
    case EmrChord:
        m_dc.chord(r.rectL(8), r.pointL(24), r.pointL(32));
        return true;
    case EmrPie:
        m_dc.pie(r.rectL(8), r.pointL(24), r.pointL(32));
        return true;
    default:
        return false;
    }
}

bool Player::playRegions(const Record& r)
{
    switch (r.type()) {
    case EmrFillRgn:
        if (auto b = brush(r.u32(28)))
            m_dc.fillRegion(region(r, 32, r.u32(24)), *b);
        return true;
    case EmrFrameRgn:
        if (auto b = brush(r.u32(28)))
            m_dc.frameRegion(region(r, 40, r.u32(24)), *b, r.i32(32), r.i32(36));
        return true;
    case EmrInvertRgn:
        m_dc.invertRegion(region(r, 28, r.u32(24)));
        return true;
    case EmrPaintRgn:
        m_dc.paintRegion(region(r, 28, r.u32(24)));
        return true;
    default:
        return false;
    }
}

bool Player::readPoints(const Record& r, std::size_t at, std::uint32_t count, bool small)
{
    const std::size_t each = small ? 4 : 8;
    if (count > r.size() / each || !r.has(at, std::size_t(count) * each))
        return false;
    m_points.resize(count);
    for (std::uint32_t i = 0; i < count; ++i)
        m_points[i] = small ? r.pointS(at + i * each) : r.pointL(at + i * each);
    return true;
}

void Player::poly(const Record& r, bool small)
{
    const std::uint32_t count = r.u32(24);
    if (!readPoints(r, 28, count, small))
        return;
    const std::span<const QPointF> pts(m_points);
    switch (r.type()) {
    case EmrPolyBezier:
    case EmrPolyBezier16:
        m_dc.polyBezier(pts);
        break;
    case EmrPolygon:
    case EmrPolygon16:
        m_dc.polygon(pts);
        break;
    case EmrPolyline:
    case EmrPolyline16:
        m_dc.polyline(pts);
        break;
    case EmrPolyBezierTo:
    case EmrPolyBezierTo16:
        m_dc.polyBezierTo(pts);
        break;
    case EmrPolylineTo:
    case EmrPolylineTo16:
        m_dc.polylineTo(pts);
        break;
    default:
        break;
    }
}

void Player::polyPoly(const Record& r, bool small)
{
    const std::uint32_t polys = r.u32(24);
    const std::uint32_t count = r.u32(28);
    if (polys > r.size() / 4 || !r.has(32, std::size_t(polys) * 4))
        return;
    std::vector<std::uint32_t> counts(polys);
    std::uint64_t total = 0;
    for (std::uint32_t i = 0; i < polys; ++i) {
        counts[i] = r.u32(32 + std::size_t(i) * 4);
        total += counts[i];
    }
    if (total > count)
        return;
    if (!readPoints(r, 32 + std::size_t(polys) * 4, count, small))
        return;
    if (r.type() == EmrPolyPolygon || r.type() == EmrPolyPolygon16)
        m_dc.polyPolygon(m_points, counts);
    else
        m_dc.polyPolyline(m_points, counts);
}

void Player::polyDraw(const Record& r, bool small)
{
    const std::uint32_t count = r.u32(24);
    if (!readPoints(r, 28, count, small))
        return;
    const ByteView types = r.bytes(28 + std::size_t(count) * (small ? 4 : 8), count);
    if (types.size() != count)
        return;
    m_dc.polyDraw(m_points, types);
}

gdi::Region Player::region(const Record& r, std::size_t at, std::uint32_t length)
{
    gdi::Region region;
    const ByteView data = r.bytes(at, length);
    if (data.size() < 32)
        return region;
    const Record rgn(0, data);
    const std::uint32_t headerSize = rgn.u32(0);
    const std::uint32_t count = rgn.u32(8);
    const std::size_t start = std::max<std::uint32_t>(headerSize, 32);
    if (start > data.size())
        return region;
    const std::size_t fit = std::min<std::size_t>(count, (data.size() - start) / 16);
    const std::size_t n = std::min(fit, gdi::kMaxRegionRects);
    region.rects.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t o = start + i * 16;
        const QRect rect(QPoint(rgn.i32(o), rgn.i32(o + 4)), QPoint(rgn.i32(o + 8) - 1, rgn.i32(o + 12) - 1));
        if (rect.isValid())
            region.rects.push_back(rect);
    }
    return region;
}

QTransform Player::xform(const Record& r, std::size_t at)
{
    return QTransform(r.f32(at), r.f32(at + 4), r.f32(at + 8), r.f32(at + 12), r.f32(at + 16), r.f32(at + 20));
}

std::optional<gdi::Brush> Player::brush(std::uint32_t index) const
{
    return m_dc.brushAt(index & ~kStockFlag, (index & kStockFlag) != 0);
}

} // namespace detail

namespace {

using detail::Player;
using gdi::DeviceContext;

/**
 * Device pixels per millimetre of the header's reference device (its size in pixels and in millimetres), 96 per
 * inch when the header has none. The micrometre size of newer headers is not used: writers fill the millimetres
 * consistently with the way their records were scaled, and not always the micrometres.
 */
QPointF deviceResolution(const Header& h)
{
    auto one = [](int pixels, int millimetres) {
        if (pixels > 0 && millimetres > 0)
            return double(pixels) / millimetres;
        return 96 / 25.4;
    };
    return {one(h.devicePixels.width(), h.deviceMillimeters.width()),
        one(h.devicePixels.height(), h.deviceMillimeters.height())};
}

} // namespace

void play(ByteView emf, QPainter& painter, const QRectF& target)
{
    const Header header = parseHeader(emf);
    const QPointF resolution = deviceResolution(header);

    // The frame (0.01 mm) in reference-device pixels, mapped onto the target rectangle.
    const double left = header.frame.left() * resolution.x() / 100;
    const double top = header.frame.top() * resolution.y() / 100;
    const double right = (header.frame.right()) * resolution.x() / 100;
    const double bottom = (header.frame.bottom()) * resolution.y() / 100;
    if (right == left || bottom == top)
        return;
    const double sx = target.width() / (right - left);
    const double sy = target.height() / (bottom - top);
    const QTransform base(sx, 0, 0, sy, target.left() - left * sx, target.top() - top * sy);

    painter.save();
    {
        DeviceContext dc(painter);
        dc.setBaseTransform(base);
        dc.setDeviceResolution(resolution.x(), resolution.y());
        Player player(dc);
        RecordReader reader(emf.first(header.totalBytes));
        Record record;
        while (reader.next(record))
            player.play(record);
        player.finish();
    }
    painter.restore();
}

} // namespace store::emf
