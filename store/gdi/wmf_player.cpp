#include "wmf_player.h"

#include "emf_player.h"
#include "gdi_context.h"
#include "gdi_text.h"
#include "platform/cp1250.h"
#include "platform/errors.h"
#include "wmf_bitmaps.h"
#include "wmf_embedded.h"
#include "wmf_records.h"

#include <QVector>

#include <cmath>
#include <set>
#include <vector>

namespace store::wmf {

namespace {

/** True when `bytes` start with the size of one of the DIB info headers (a Bitmap16 starts with 0, its type). */
bool startsWithDibHeader(ByteView bytes)
{
    if (bytes.size() < 4)
        return false;
    switch (platform::readLe32(bytes, 0)) {
    case 12:
    case 40:
    case 52:
    case 56:
    case 108:
    case 124:
        return true;
    default:
        return false;
    }
}

/** A rectangle stored as bottom, right, top, left from word `at`. */
QRectF boxAt(const Params& p, std::size_t at)
{
    const double bottom = p.s16(at), right = p.s16(at + 1), top = p.s16(at + 2), left = p.s16(at + 3);
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

/** A point stored as y, x from word `at`. */
QPointF pointYx(const Params& p, std::size_t at)
{
    return QPointF(p.s16(at + 1), p.s16(at));
}

gdi::ColorRef colorAt(const Params& p, std::size_t at)
{
    return p.u32(at) & 0x00FFFFFF;
}

/** `count` points stored as x, y pairs from word `at`, cut to what the record holds. */
std::vector<QPointF> pointsXy(const Params& p, std::size_t at, std::size_t count)
{
    const std::size_t available = p.words() > at ? (p.words() - at) / 2 : 0;
    count = std::min(count, available);
    std::vector<QPointF> points;
    points.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        points.emplace_back(p.s16(at + 2 * i), p.s16(at + 2 * i + 1));
    return points;
}

class Player {
public:
    explicit Player(gdi::DeviceContext& dc)
        : m_dc(dc)
        , m_lineRun(dc)
    {
    }

    void play(const Record& record);
    /** Draws what is still held back; called after the last record. */
    void finish() { m_lineRun.flush(); }

private:
    /**
     * Windows puts every new object in the lowest free slot; one we cannot decode fully still takes its slot
     * (as a stand-in) so that later indices keep pointing where the writer meant. The free slots are kept
     * here, sorted, so that a file of many objects does not cost a search through the table for each.
     */
    void createObject(gdi::Object object)
    {
        std::uint32_t slot = 0;
        if (!m_freeSlots.empty()) {
            slot = *m_freeSlots.begin();
            m_freeSlots.erase(m_freeSlots.begin());
        } else if (m_nextSlot < gdi::kMaxObjects) {
            slot = m_nextSlot++;
        } else {
            return; // the table is full: the object is not made, as on Windows
        }
        m_dc.setObject(slot, std::move(object));
    }

    void deleteObject(std::uint16_t slot)
    {
        if (slot < m_nextSlot && m_dc.object(slot)) {
            m_dc.deleteObject(slot);
            m_freeSlots.insert(slot);
        }
    }

    // Record families: each plays the records it knows and returns false for any other.
    bool playState(const Record& record);
    bool playObjects(const Record& record);
    bool playClipping(const Record& record);
    bool playShapes(const Record& record);
    bool playOutput(const Record& record);

    void createPen(const Params& p);
    void createBrush(const Params& p);
    void createPatternBrush(const Params& p, bool dib);
    void createFont(const Params& p);
    void createPalette(const Params& p);
    void createRegion(const Params& p);
    void polyPolygon(const Params& p);
    void textOut(const Params& p);
    void extTextOut(const Params& p);
    void blit(const Record& record);
    void setDibToDev(const Params& p);
    void stretchDib(const Params& p);
    void regionRecord(const Record& record);
    [[nodiscard]] const gdi::Region* regionAt(std::uint16_t index) const
    {
        return std::get_if<gdi::Region>(m_dc.object(index));
    }

    /** The palette a bitmap's colour table indexes under a record's colour usage; empty for plain colours. */
    [[nodiscard]] std::span<const QRgb> indexedPalette(std::uint16_t colorUsage) const
    {
        return colorUsage == gdi::kDibPalColors ? m_dc.logicalPalette() : std::span<const QRgb>();
    }

    gdi::DeviceContext& m_dc;
    gdi::LineRun m_lineRun;
    std::set<std::uint32_t> m_freeSlots;
    std::uint32_t m_nextSlot = 0;
};

void Player::createPen(const Params& p)
{
    gdi::Pen pen;
    pen.style = p.u16(0);
    pen.width = std::abs(p.s16(1)); // the PointS's x; its y is unused
    pen.color = colorAt(p, 3);
    createObject(std::move(pen));
}

void Player::createBrush(const Params& p)
{
    gdi::Brush brush;
    brush.style = p.u16(0);
    brush.color = colorAt(p, 1);
    brush.hatch = p.u16(3);
    // A pattern brush made by this record has no bitmap to draw with; Windows draws those solid.
    if (brush.style != gdi::BsSolid && brush.style != gdi::BsNull && brush.style != gdi::BsHatched)
        brush.style = gdi::BsSolid;
    createObject(std::move(brush));
}

void Player::createPatternBrush(const Params& p, bool dib)
{
    gdi::Brush brush;
    if (dib) {
        // A BS_PATTERN brush was made from a device bitmap: a monochrome one paints its 0 bits in the text colour
        // and its 1 bits in the background colour, as do 1-bit patterns whose bits index no colour table. Writers
        // store the bitmap as a DIB; some older ones as a Bitmap16, whose header never starts like a DIB's.
        const std::uint16_t style = p.u16(0);
        const std::uint16_t usage = p.u16(1);
        const ByteView target = p.bytesFrom(2);
        if (style == gdi::BsPattern) {
            brush.style = gdi::BsPattern;
            brush.pattern = startsWithDibHeader(target) ? decodePatternDib(target, MonoBits::AfterTable, {})
                                                        : decodeBitmap16(target);
        } else {
            brush.style = gdi::BsDibPattern;
            const MonoBits mono = usage == gdi::kDibPalIndices ? MonoBits::NoTable : MonoBits::ColourTable;
            brush.pattern = decodePatternDib(target, mono, indexedPalette(usage));
        }
    } else {
        // The old form: a Bitmap16 header, 18 unused bytes, then the pattern's bits.
        brush.style = gdi::BsPattern;
        brush.pattern = decodeBitmap16(p.bytes(), 18);
    }
    if (brush.pattern.isNull()) {
        brush.style = gdi::BsSolid;
        brush.color = 0;
    }
    createObject(std::move(brush));
}

void Player::createFont(const Params& p)
{
    gdi::Font font;
    font.height = p.s16(0);
    font.width = p.s16(1);
    font.escapement = p.s16(2);
    font.orientation = p.s16(3);
    font.weight = p.s16(4);
    const platform::ByteView bytes = p.bytes();
    auto byteAt = [&](std::size_t at) { return at < bytes.size() ? bytes[at] : std::uint8_t(0); };
    font.italic = byteAt(10) != 0;
    font.underline = byteAt(11) != 0;
    font.strikeOut = byteAt(12) != 0;
    font.charSet = byteAt(13);
    font.pitchAndFamily = byteAt(17);
    QByteArray face;
    for (std::size_t at = 18; at < bytes.size() && at < 18 + 32 && bytes[at] != 0; ++at)
        face.append(char(bytes[at]));
    font.faceName = platform::cp1250::decode(face);
    createObject(std::move(font));
}

void Player::createPalette(const Params& p)
{
    gdi::Palette palette;
    const std::size_t count = std::min<std::size_t>(p.u16(1), (p.words() - std::min<std::size_t>(p.words(), 2)) / 2);
    const platform::ByteView bytes = p.bytesFrom(2);
    palette.entries.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        palette.entries.push_back(qRgb(bytes[4 * i], bytes[4 * i + 1], bytes[4 * i + 2]));
    createObject(std::move(palette));
}

void Player::createRegion(const Params& p)
{
    // nextInChain, objectType, objectCount (2 words), regionSize, scanCount, maxScan, bounding box (4 words);
    // then the scans: count, top, bottom, count pairs of left and right, count again.
    gdi::Region region;
    const std::size_t scanCount = p.u16(5);
    std::size_t at = 11;
    for (std::size_t scan = 0; scan < scanCount && at + 3 <= p.words(); ++scan) {
        const std::size_t pairs = p.u16(at) / 2;
        const int top = p.s16(at + 1);
        const int bottom = p.s16(at + 2);
        at += 3;
        for (std::size_t i = 0; i < pairs && at + 2 <= p.words(); ++i, at += 2) {
            if (region.rects.size() >= gdi::kMaxRegionRects)
                break;
            const int left = p.s16(at);
            const int right = p.s16(at + 1);
            if (right > left && bottom > top)
                region.rects.emplace_back(QPoint(left, top), QPoint(right - 1, bottom - 1));
        }
        ++at; // the count repeated behind the pairs
    }
    createObject(std::move(region));
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

void Player::blit(const Record& record)
{
    const Params& p = record.params;
    const std::uint32_t rop = p.u32(0);
    const bool stretch = record.function == StretchBlt || record.function == DibStretchBlt;
    const bool noBitmap = record.params.words() == std::size_t(record.function >> 8);
    // Words after the raster operation: [srcHeight, srcWidth,] ySrc, xSrc, [reserved,] height, width, y, x.
    std::size_t at = 2;
    double sourceHeight = 0, sourceWidth = 0;
    if (stretch) {
        sourceHeight = p.s16(at);
        sourceWidth = p.s16(at + 1);
        at += 2;
    }
    const double ySource = p.s16(at), xSource = p.s16(at + 1);
    at += 2;
    if (noBitmap)
        ++at;
    const double height = p.s16(at), width = p.s16(at + 1);
    const QPointF dest = pointYx(p, at + 2);
    at += 4;
    if (!stretch) {
        sourceWidth = width;
        sourceHeight = height;
    }
    const QRectF destRect(dest, QSizeF(width, height));
    if (noBitmap) {
        m_dc.stretchBlt(destRect, nullptr, QRectF(), rop);
        return;
    }
    const bool dibRecord = record.function == DibBitBlt || record.function == DibStretchBlt;
    const QImage source = dibRecord ? decodeDib(p.bytesFrom(at)) : decodeBitmap16(p.bytesFrom(at));
    if (source.isNull())
        return;
    m_dc.stretchBlt(destRect, &source, QRectF(xSource, ySource, sourceWidth, sourceHeight), rop);
}

/**
 * The source rectangle of a DIB drawn straight to the device: for a bottom-up bitmap its y counts from the
 * bottom row.
 */
QRectF dibSourceRect(const QImage& source, bool bottomUp, double x, double y, double width, double height)
{
    const double top = bottomUp ? source.height() - y - height : y;
    return QRectF(x, top, width, height);
}

void Player::setDibToDev(const Params& p)
{
    // colorUsage, scanCount, startScan, yDib, xDib, height, width, yDest, xDest, then the bitmap.
    bool bottomUp = true;
    const QImage source = decodeDib(p.bytesFrom(9), &bottomUp, indexedPalette(p.u16(0)));
    if (source.isNull())
        return;
    const double height = p.u16(5), width = p.u16(6);
    const QRectF destRect(pointYx(p, 7), QSizeF(width, height));
    m_dc.stretchBlt(
        destRect, &source, dibSourceRect(source, bottomUp, p.s16(4), p.s16(3), width, height), gdi::RopSrcCopy);
}

void Player::stretchDib(const Params& p)
{
    // rop, colorUsage, srcHeight, srcWidth, ySrc, xSrc, destHeight, destWidth, yDest, xDest, then the bitmap.
    bool bottomUp = true;
    const QImage source = decodeDib(p.bytesFrom(11), &bottomUp, indexedPalette(p.u16(1)));
    if (source.isNull())
        return;
    const QRectF destRect(pointYx(p, 9), QSizeF(p.s16(8), p.s16(7)));
    m_dc.stretchBlt(
        destRect, &source, dibSourceRect(source, bottomUp, p.s16(6), p.s16(5), p.s16(4), p.s16(3)), p.u32(0));
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

bool Player::playObjects(const Record& record)
{
    const Params& p = record.params;
    switch (record.function) {
    case CreatePenIndirect:
        createPen(p);
        return true;
    case CreateBrushIndirect:
        createBrush(p);
        return true;
    case DibCreatePatternBrush:
        createPatternBrush(p, true);
        return true;
    case CreatePatternBrush:
        createPatternBrush(p, false);
        return true;
    case CreateFontIndirect:
        createFont(p);
        return true;
    case CreatePalette:
        createPalette(p);
        return true;
    case CreateRegion:
        createRegion(p);
        return true;
    case SelectObject:
    case SelectPalette:
        // A region selected this way becomes the clip, as SelectClipRgn would make it.
        m_dc.selectObject(p.u16(0));
        return true;
    case DeleteObject:
        deleteObject(p.u16(0));
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

    Player player(dc);
    RecordReader reader(metafile);
    Record record;
    while (reader.next(record))
        player.play(record);
    player.finish();
}

} // namespace store::wmf
