// Text records: ExtTextOut, PolyTextOut and the compact SmallTextOut.
#include "emf_player_p.h"
#include "gdi_text.h"

namespace store::emf::detail {

bool Player::playText(const Record& r)
{
    switch (r.type()) {
    case EmrExtTextOutA:
    case EmrExtTextOutW:
        emrText(r, 36, r.type() == EmrExtTextOutW, r.i32(24));
        return true;
    case EmrPolyTextOutA:
    case EmrPolyTextOutW: {
        const std::uint32_t strings = r.u32(36);
        for (std::uint32_t i = 0; i < strings && r.has(40 + std::size_t(i) * 40, 40); ++i)
            emrText(r, 40 + std::size_t(i) * 40, r.type() == EmrPolyTextOutW, r.i32(24));
        return true;
    }
    case EmrSmallTextOut:
        smallTextOut(r);
        return true;
    default:
        return false;
    }
}

void Player::emrText(const Record& r, std::size_t at, bool wide, int graphicsMode)
{
    DeviceContext::TextOut t;
    t.reference = r.pointL(at);
    const std::uint32_t chars = r.u32(at + 8);
    const std::uint32_t offString = r.u32(at + 12);
    t.options = r.u32(at + 16);
    const QRectF rect = r.rectL(at + 20);
    const std::uint32_t offDx = r.u32(at + 36);
    if (chars > r.size())
        return;
    const ByteView text = r.bytes(offString, std::size_t(chars) * (wide ? 2 : 1));
    if (text.size() != std::size_t(chars) * (wide ? 2 : 1))
        return;
    if (wide) {
        t.text.reserve(chars);
        for (std::uint32_t i = 0; i < chars; ++i)
            t.text.append(QChar(platform::readLe16(text, std::size_t(i) * 2)));
    } else {
        t.text = gdi::decodeText(text, m_dc.currentFont().charSet);
    }
    const bool pdy = (t.options & gdi::EtoPdy) != 0;
    const std::size_t dxBytes = std::size_t(chars) * (pdy ? 8 : 4);
    if (offDx != 0 && r.has(offDx, dxBytes)) {
        for (std::uint32_t i = 0; i < chars; ++i) {
            t.dx.push_back(r.i32(offDx + i * (pdy ? 8 : 4)));
            if (pdy)
                t.dy.push_back(r.i32(offDx + i * 8 + 4));
        }
    }
    if (!(t.options & gdi::EtoNoRect) && (t.options & (gdi::EtoOpaque | gdi::EtoClipped)))
        t.rect = rect;
    m_dc.setGraphicsMode(graphicsMode);
    m_dc.textOut(t);
}

void Player::smallTextOut(const Record& r)
{
    DeviceContext::TextOut t;
    t.reference = r.pointL(8);
    const std::uint32_t chars = r.u32(16);
    t.options = r.u32(20);
    std::size_t at = 36;
    if (!(t.options & gdi::EtoNoRect)) {
        t.rect = r.rectL(36);
        at += 16;
    }
    const bool small = (t.options & gdi::EtoSmallChars) != 0;
    if (chars > r.size())
        return;
    const ByteView text = r.bytes(at, std::size_t(chars) * (small ? 1 : 2));
    if (text.size() != std::size_t(chars) * (small ? 1 : 2))
        return;
    if (small) {
        t.text = gdi::decodeText(text, m_dc.currentFont().charSet);
    } else {
        for (std::uint32_t i = 0; i < chars; ++i)
            t.text.append(QChar(platform::readLe16(text, std::size_t(i) * 2)));
    }
    if (!(t.options & (gdi::EtoOpaque | gdi::EtoClipped)))
        t.rect.reset();
    m_dc.setGraphicsMode(int(r.u32(24)));
    m_dc.textOut(t);
}

} // namespace store::emf::detail
