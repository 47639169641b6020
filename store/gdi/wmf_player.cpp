#include "wmf_player.h"

#include "emf_player.h"
#include "gdi_text.h"
#include "platform/errors.h"
#include "wmf_embedded.h"
#include "wmf_player_p.h"

#include <QByteArray>

#include <algorithm>
#include <optional>
#include <vector>

namespace store::wmf {

namespace detail {

void Player::play(const Record& record)
{
    if (record.function == LineTo) {
        m_lineRun.add(pointYx(record.params, 0));
        return;
    }
    m_lineRun.flush();
    // Palette animation, layout and justification records, which no family takes, change nothing we draw.
    using Family = bool (Player::*)(const Record&);
    static constexpr Family kFamilies[]
        = {&Player::playState, &Player::playObjects, &Player::playClipping, &Player::playShapes, &Player::playOutput};
    for (Family family : kFamilies) {
        if ((this->*family)(record))
            return;
    }
}

bool Player::playState(const Record& record)
{
    const Params& p = record.params;
    switch (record.function) {
    case SaveDc:
        m_dc.saveDc();
        return true;
    case RestoreDc:
        m_dc.restoreDc(p.s16(0));
        return true;
    case SetMapMode:
        // The placeable box already fixes where the picture goes; only the two modes that scale the
        // window into it mean something here.
        if (p.s16(0) == gdi::MmIsotropic || p.s16(0) == gdi::MmAnisotropic)
            m_dc.setMapMode(p.s16(0));
        return true;
    case SetWindowOrg:
        m_dc.setWindowOrg(p.s16(1), p.s16(0));
        return true;
    case SetWindowExt:
        if (p.s16(0) != 0 && p.s16(1) != 0)
            m_dc.setWindowExt(p.s16(1), p.s16(0));
        return true;
    case OffsetWindowOrg:
        m_dc.offsetWindowOrg(p.s16(1), p.s16(0));
        return true;
    case ScaleWindowExt:
        m_dc.scaleWindowExt(p.s16(3), p.s16(2), p.s16(1), p.s16(0));
        return true;
    case SetViewportOrg:
    case SetViewportExt:
    case OffsetViewportOrg:
    case ScaleViewportExt:
        // The viewport is the picture rectangle the placeable box maps onto; a metafile cannot move it.
        return true;
    case SetBkMode:
        m_dc.setBkMode(p.s16(0));
        return true;
    case SetBkColor:
        m_dc.setBkColor(colorAt(p, 0));
        return true;
    case SetTextColor:
        m_dc.setTextColor(colorAt(p, 0));
        return true;
    case SetTextAlign:
        m_dc.setTextAlign(p.u16(0));
        return true;
    case SetTextCharExtra:
        m_dc.setTextCharExtra(p.s16(0));
        return true;
    case SetRop2:
        m_dc.setRop2(p.s16(0));
        return true;
    case SetPolyFillMode:
        m_dc.setPolyFillMode(p.s16(0));
        return true;
    case SetStretchBltMode:
        m_dc.setStretchBltMode(p.s16(0));
        return true;
    default:
        return false;
    }
}

bool Player::playClipping(const Record& record)
{
    const Params& p = record.params;
    switch (record.function) {
    case IntersectClipRect:
        m_dc.intersectClipRect(boxAt(p, 0));
        return true;
    case ExcludeClipRect:
        m_dc.excludeClipRect(boxAt(p, 0));
        return true;
    case OffsetClipRgn:
        m_dc.offsetClipRegion(p.s16(1), p.s16(0));
        return true;
    case SelectClipRegion:
    case FillRegion:
    case FrameRegion:
    case PaintRegion:
    case InvertRegion:
        regionRecord(record);
        return true;
    default:
        return false;
    }
}

bool Player::playShapes(const Record& record)
{
    const Params& p = record.params;
    switch (record.function) {
    case MoveTo:
        m_dc.moveTo(pointYx(p, 0));
        return true;
    case Polyline:
        m_dc.polyline(pointsXy(p, 1, p.u16(0)));
        return true;
    case Polygon:
        m_dc.polygon(pointsXy(p, 1, p.u16(0)));
        return true;
    case PolyPolygon:
        polyPolygon(p);
        return true;
    case Rectangle:
        m_dc.rectangle(boxAt(p, 0));
        return true;
    case RoundRect:
        m_dc.roundRect(boxAt(p, 2), p.s16(1), p.s16(0));
        return true;
    case Ellipse:
        m_dc.ellipse(boxAt(p, 0));
        return true;
    case Arc:
        m_dc.arc(boxAt(p, 4), pointYx(p, 2), pointYx(p, 0));
        return true;
    case Chord:
        m_dc.chord(boxAt(p, 4), pointYx(p, 2), pointYx(p, 0));
        return true;
    case Pie:
        m_dc.pie(boxAt(p, 4), pointYx(p, 2), pointYx(p, 0));
        return true;
    default:
        return false;
    }
}

bool Player::playOutput(const Record& record)
{
    const Params& p = record.params;
    switch (record.function) {
    case SetPixel:
        m_dc.setPixel(pointYx(p, 2), colorAt(p, 0));
        return true;
    case FloodFill:
        m_dc.floodFill(pointYx(p, 2), colorAt(p, 0), gdi::FloodFillBorder);
        return true;
    case ExtFloodFill:
        m_dc.floodFill(pointYx(p, 3), colorAt(p, 1), p.u16(0));
        return true;
    case PatBlt: {
        const QRectF box(pointYx(p, 4), QSizeF(p.s16(3), p.s16(2)));
        m_dc.stretchBlt(box, nullptr, QRectF(), p.u32(0));
        return true;
    }
    case TextOut:
        textOut(p);
        return true;
    case ExtTextOut:
        extTextOut(p);
        return true;
    case BitBlt:
    case StretchBlt:
    case DibBitBlt:
    case DibStretchBlt:
        blit(record);
        return true;
    case StretchDib:
        stretchDib(p);
        return true;
    case SetDibToDev:
        setDibToDev(p);
        return true;
    default:
        return false;
    }
}

void Player::polyPolygon(const Params& p)
{
    const std::size_t polygons = std::min<std::size_t>(p.u16(0), p.words() > 0 ? p.words() - 1 : 0);
    std::vector<std::uint32_t> counts;
    counts.reserve(polygons);
    std::size_t total = 0;
    for (std::size_t i = 0; i < polygons; ++i) {
        counts.push_back(p.u16(1 + i));
        total += counts.back();
    }
    const std::vector<QPointF> points = pointsXy(p, 1 + polygons, total);
    m_dc.polyPolygon(points, counts);
}

void Player::textOut(const Params& p)
{
    const std::size_t length = std::min<std::size_t>(p.u16(0), p.bytesFrom(1).size());
    const std::size_t stringWords = (length + 1) / 2;
    if (p.words() < 1 + stringWords + 2)
        return;
    gdi::DeviceContext::TextOut text;
    text.text = gdi::decodeText(p.bytesFrom(1).first(length), m_dc.currentFont().charSet);
    text.reference = pointYx(p, 1 + stringWords);
    m_dc.textOut(text);
}

void Player::extTextOut(const Params& p)
{
    if (p.words() < 4)
        return;
    gdi::DeviceContext::TextOut text;
    text.reference = QPointF(p.s16(1), p.s16(0));
    const std::size_t length = p.u16(2);
    text.options = p.u16(3);
    std::size_t at = 4;
    if (text.options & (gdi::EtoOpaque | gdi::EtoClipped)) {
        if (p.words() < at + 4)
            return;
        text.rect = QRectF(QPointF(p.s16(at), p.s16(at + 1)), QPointF(p.s16(at + 2), p.s16(at + 3)));
        at += 4;
    }
    const platform::ByteView rest = p.bytesFrom(at);
    const std::size_t shown = std::min(length, rest.size());
    text.text = gdi::decodeText(rest.first(shown), m_dc.currentFont().charSet);
    at += (shown + 1) / 2;
    // The advances follow the string when the record has room for one per character.
    if (shown == length && p.words() >= at + length) {
        text.dx.reserve(length);
        for (std::size_t i = 0; i < length; ++i)
            text.dx.push_back(p.s16(at + i));
    }
    m_dc.textOut(text);
}

void Player::regionRecord(const Record& record)
{
    const Params& p = record.params;
    const gdi::Region* region = regionAt(p.u16(0));
    if (!region)
        return;
    switch (record.function) {
    case FillRegion:
        if (auto brush = m_dc.brushAt(p.u16(1)))
            m_dc.fillRegion(*region, *brush);
        break;
    case FrameRegion:
        if (auto brush = m_dc.brushAt(p.u16(1)))
            m_dc.frameRegion(*region, *brush, p.s16(3), p.s16(2));
        break;
    case PaintRegion:
        m_dc.paintRegion(*region);
        break;
    case InvertRegion:
        m_dc.invertRegion(*region);
        break;
    case SelectClipRegion:
        m_dc.setClipRegionLogical(*region, gdi::RgnCopy);
        break;
    default:
        break;
    }
}

} // namespace detail

namespace {

/** Draws the carried EMF; false when its header is unusable, so the metafile's own records draw instead. */
bool playEmbedded(const QByteArray& emf, QPainter& painter, QSize target)
{
    try {
        emf::play(platform::asBytes(emf), painter, QRectF(QPointF(0, 0), QSizeF(target)));
        return true;
    } catch (const platform::AppError&) {
        return false;
    }
}

} // namespace

void play(platform::ByteView metafile, const PlaceableHeader& placeable, QPainter& painter, QSize target)
{
    if (const std::optional<QByteArray> emf = embeddedEmf(metafile)) {
        // Windows draws such a metafile from the enhanced metafile it carries, which holds more than the
        // Windows metafile records can say.
        if (playEmbedded(*emf, painter, target))
            return;
    }

    gdi::DeviceContext dc(painter);
    // Device units are the picture's pixels; the window starts as the placeable box, so the records' own window
    // origin and extent scale into the picture rectangle.
    dc.setMapMode(gdi::MmAnisotropic);
    dc.setWindowOrg(placeable.left, placeable.top);
    dc.setWindowExt(double(placeable.right) - placeable.left, double(placeable.bottom) - placeable.top);
    dc.setViewportOrg(0, 0);
    dc.setViewportExt(target.width(), target.height());

    detail::Player player(dc);
    RecordReader reader(metafile);
    Record record;
    while (reader.next(record))
        player.play(record);
    player.finish();
}

} // namespace store::wmf
