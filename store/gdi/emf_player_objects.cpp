// Object records: pens, brushes, fonts and palettes made, selected and deleted.
#include "dib.h"
#include "emf_player_p.h"

namespace store::emf::detail {

bool Player::playObjects(const Record& r)
{
    switch (r.type()) {
    case EmrHeader:
        m_dc.reserveObjects(r.u16(56));
        return true;
    case EmrSelectObject:
        if (const std::uint32_t index = r.u32(8); index & kStockFlag)
            m_dc.selectStockObject(index & ~kStockFlag);
        else
            m_dc.selectObject(index);
        return true;
    case EmrCreatePen:
        createPen(r);
        return true;
    case EmrExtCreatePen:
        extCreatePen(r);
        return true;
    case EmrCreateBrushIndirect:
        createBrush(r);
        return true;
    case EmrCreateMonoBrush:
        createPatternBrush(r, true);
        return true;
    case EmrCreateDibPatternBrushPt:
        createPatternBrush(r, false);
        return true;
    case EmrExtCreateFontIndirectW:
        createFont(r);
        return true;
    case EmrCreatePalette:
        createPalette(r);
        return true;
    case EmrSelectPalette:
        if (!(r.u32(8) & kStockFlag))
            m_dc.selectObject(r.u32(8));
        return true;
    case EmrDeleteObject:
        if (!(r.u32(8) & kStockFlag))
            m_dc.deleteObject(r.u32(8));
        return true;
    default:
        return false;
    }
}

void Player::createFont(const Record& r)
{
    gdi::Font f;
    f.height = r.i32(12);
    f.width = r.i32(16);
    f.escapement = r.i32(20);
    f.orientation = r.i32(24);
    f.weight = r.i32(28);
    f.italic = r.u8(32) != 0;
    f.underline = r.u8(33) != 0;
    f.strikeOut = r.u8(34) != 0;
    f.charSet = r.u8(35);
    f.pitchAndFamily = r.u8(39);
    QString face;
    for (std::size_t i = 0; i < 32; ++i) {
        const std::uint16_t c = r.u16(40 + i * 2);
        if (c == 0)
            break;
        face.append(QChar(c));
    }
    f.faceName = face;
    m_dc.setObject(r.u32(8), f);
}

void Player::createPen(const Record& r)
{
    gdi::Pen pen;
    pen.style = r.u32(12);
    pen.width = r.i32(16);
    pen.color = r.u32(24);
    m_dc.setObject(r.u32(8), pen);
}

void Player::extCreatePen(const Record& r)
{
    gdi::Pen pen;
    pen.extended = true;
    pen.style = r.u32(28);
    pen.width = r.u32(32);
    const std::uint32_t brushStyle = r.u32(36);
    pen.color = r.u32(40);
    if (brushStyle == gdi::BsNull)
        pen.style = (pen.style & ~std::uint32_t(gdi::PsStyleMask)) | gdi::PsNull;
    const std::uint32_t entries = r.u32(48);
    if ((pen.style & gdi::PsStyleMask) == gdi::PsUserStyle && entries <= 64 && r.has(52, std::size_t(entries) * 4)) {
        for (std::uint32_t i = 0; i < entries; ++i)
            pen.dashes.push_back(r.u32(52 + i * 4));
    }
    m_dc.setObject(r.u32(8), pen);
}

void Player::createBrush(const Record& r)
{
    gdi::Brush brush;
    brush.style = r.u32(12);
    brush.color = r.u32(16);
    brush.hatch = r.u32(20);
    if (brush.style != gdi::BsSolid && brush.style != gdi::BsNull && brush.style != gdi::BsHatched)
        brush.style = gdi::BsSolid;
    m_dc.setObject(r.u32(8), brush);
}

void Player::createPatternBrush(const Record& r, bool mono)
{
    gdi::Brush brush;
    brush.style = gdi::BsDibPatternPt;
    // A monochrome brush, and a pattern whose bits index no colour table, paint their 0 bits in the text colour
    // and their 1 bits in the background colour. Other 1-bit patterns keep the colours of their table.
    const std::uint32_t usage = r.u32(12);
    const bool monochrome = mono || usage == gdi::kDibPalIndices;
    if (auto b = bitmap(r, usage, r.u32(16), r.u32(20), r.u32(24), r.u32(28), false, monochrome))
        brush.pattern = b->image;
    m_dc.setObject(r.u32(8), brush);
}

void Player::createPalette(const Record& r)
{
    gdi::Palette palette;
    const std::uint16_t count = r.u16(14);
    if (r.has(16, std::size_t(count) * 4)) {
        for (std::uint16_t i = 0; i < count; ++i)
            palette.entries.push_back(qRgb(r.u8(16 + i * 4), r.u8(17 + i * 4), r.u8(18 + i * 4)));
    }
    m_dc.setObject(r.u32(8), palette);
}

} // namespace store::emf::detail
