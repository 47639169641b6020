// Object records: pens, brushes, fonts, palettes and regions made into the object table, selected and deleted.
#include "platform/cp1250.h"
#include "wmf_bitmaps.h"
#include "wmf_player_p.h"

#include <QByteArray>

#include <cmath>

namespace store::wmf::detail {

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

} // namespace

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

void Player::createObject(gdi::Object object)
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

void Player::deleteObject(std::uint16_t slot)
{
    if (slot < m_nextSlot && m_dc.object(slot)) {
        m_dc.deleteObject(slot);
        m_freeSlots.insert(slot);
    }
}

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

} // namespace store::wmf::detail
