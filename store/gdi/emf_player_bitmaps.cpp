// Bitmap records: blits, DIBs drawn to the page, and gradient fills.
#include "dib.h"
#include "emf_player_p.h"
#include "platform/errors.h"

#include <algorithm>
#include <array>

namespace store::emf::detail {

bool Player::playBitmaps(const Record& r)
{
    switch (r.type()) {
    case EmrBitBlt:
    case EmrStretchBlt:
    case EmrAlphaBlend:
    case EmrTransparentBlt:
        blit(r);
        return true;
    case EmrMaskBlt:
        maskBlt(r);
        return true;
    case EmrPlgBlt:
        plgBlt(r);
        return true;
    case EmrStretchDiBits:
        stretchDiBits(r);
        return true;
    case EmrSetDiBitsToDevice:
        setDiBitsToDevice(r);
        return true;
    case EmrGradientFill:
        gradientFill(r);
        return true;
    default:
        return false;
    }
}

[[nodiscard]] std::optional<Bitmap> Player::bitmap(const Record& r, std::uint32_t usage, std::uint32_t offBmi,
    std::uint32_t cbBmi, std::uint32_t offBits, std::uint32_t cbBits, bool keepAlpha, bool monochrome) const
{
    const ByteView info = r.bytes(offBmi, cbBmi);
    const ByteView bits = r.bytes(offBits, cbBits);
    if (info.empty() || cbBmi == 0)
        return std::nullopt;
    try {
        dib::Header header = dib::parseHeader(info);
        if (usage == gdi::kDibPalColors)
            dib::usePaletteIndices(header, info, m_dc.logicalPalette());
        if (header.width <= 0 || header.height <= 0 || header.width > gdi::kMaxBitmapSide
            || header.height > gdi::kMaxBitmapSide)
            return std::nullopt;
        // A record of a few bytes must not make the player allocate a huge image: uncompressed pixels need
        // their bytes (a little may be missing), and nothing is larger than 64 megapixels.
        const double pixels = double(header.width) * header.height;
        const bool packed = header.compression == dib::Rgb || header.compression == dib::BitFields
            || header.compression == dib::AlphaBitFields;
        if (pixels > double(1 << 26)
            || (packed && pixels > double(bits.size()) * 8 / std::max(header.bitCount, 1) * 2 + 65536))
            return std::nullopt;
        const std::size_t length = dib::pixelDataLength(header, bits.size());
        Bitmap b;
        b.image = monochrome && header.bitCount == 1 ? dib::decodeMonochrome(header, bits.first(length))
                                                     : dib::decodePixels(header, bits.first(length), {keepAlpha});
        b.bottomUp = !header.topDown;
        if (b.image.isNull())
            return std::nullopt;
        return b;
    } catch (const platform::AppError&) {
        return std::nullopt;
    }
}

QRectF Player::dibSourceRect(const Bitmap& b, double x, double y, double w, double h)
{
    if (b.bottomUp)
        y = b.image.height() - y - h;
    return QRectF(x, y, w, h);
}

void Player::blit(const Record& r)
{
    const QRectF dest(r.i32(24), r.i32(28), r.i32(32), r.i32(36));
    const std::uint32_t rop = r.u32(40);
    const double xSrc = r.i32(44);
    const double ySrc = r.i32(48);
    double cxSrc = dest.width();
    double cySrc = dest.height();
    if (r.type() == EmrStretchBlt || r.type() == EmrAlphaBlend || r.type() == EmrTransparentBlt) {
        cxSrc = r.i32(100);
        cySrc = r.i32(104);
    }
    const std::uint32_t cbBmi = r.u32(88);
    if (cbBmi == 0) {
        if (r.type() == EmrBitBlt || r.type() == EmrStretchBlt)
            m_dc.stretchBlt(dest, nullptr, QRectF(), rop);
        return;
    }
    const bool alpha = r.type() == EmrAlphaBlend && (r.u8(43) & 1);
    const auto b = bitmap(r, r.u32(80), r.u32(84), cbBmi, r.u32(92), r.u32(96), alpha);
    if (!b)
        return;
    // These records address the source bitmap from its top row, as a device bitmap.
    const QRectF source(xSrc, ySrc, cxSrc, cySrc);
    switch (r.type()) {
    case EmrAlphaBlend:
        m_dc.alphaBlend(dest, b->image, source, r.u8(42), alpha);
        break;
    case EmrTransparentBlt:
        m_dc.transparentBlt(dest, b->image, source, rop);
        break;
    default:
        m_dc.stretchBlt(dest, &b->image, source, rop);
        break;
    }
}

void Player::maskBlt(const Record& r)
{
    const QRectF dest(r.i32(24), r.i32(28), r.i32(32), r.i32(36));
    const auto b = bitmap(r, r.u32(80), r.u32(84), r.u32(88), r.u32(92), r.u32(96));
    if (!b)
        return;
    const auto mask = bitmap(r, r.u32(108), r.u32(112), r.u32(116), r.u32(120), r.u32(124));
    const QRectF source(r.i32(44), r.i32(48), dest.width(), dest.height());
    m_dc.maskBlt(dest, b->image, source, mask ? &mask->image : nullptr, QPoint(r.i32(100), r.i32(104)), r.u32(40));
}

void Player::plgBlt(const Record& r)
{
    const auto b = bitmap(r, r.u32(92), r.u32(96), r.u32(100), r.u32(104), r.u32(108));
    if (!b)
        return;
    const std::array<QPointF, 3> corners {r.pointL(24), r.pointL(32), r.pointL(40)};
    const QRectF source(r.i32(48), r.i32(52), r.i32(56), r.i32(60));
    const auto mask = bitmap(r, r.u32(120), r.u32(124), r.u32(128), r.u32(132), r.u32(136));
    m_dc.plgBlt(corners, b->image, source, mask ? &mask->image : nullptr, QPoint(r.i32(112), r.i32(116)));
}

void Player::stretchDiBits(const Record& r)
{
    const auto b = bitmap(r, r.u32(64), r.u32(48), r.u32(52), r.u32(56), r.u32(60));
    const std::uint32_t rop = r.u32(68);
    const QRectF dest(r.i32(24), r.i32(28), r.i32(72), r.i32(76));
    if (!b) {
        if (r.u32(52) == 0)
            m_dc.stretchBlt(dest, nullptr, QRectF(), rop);
        return;
    }
    const QRectF source = dibSourceRect(*b, r.i32(32), r.i32(36), r.i32(40), r.i32(44));
    m_dc.stretchBlt(dest, &b->image, source, rop);
}

void Player::setDiBitsToDevice(const Record& r)
{
    const auto b = bitmap(r, r.u32(64), r.u32(48), r.u32(52), r.u32(56), r.u32(60));
    if (!b)
        return;
    const double cx = r.i32(40);
    const double cy = r.i32(44);
    const QRectF dest(r.i32(24), r.i32(28), cx, cy);
    const QRectF source = dibSourceRect(*b, r.i32(32), r.i32(36), cx, cy);
    m_dc.stretchBlt(dest, &b->image, source, gdi::RopSrcCopy);
}

void Player::gradientFill(const Record& r)
{
    const std::uint32_t nVer = r.u32(24);
    const std::uint32_t nTri = r.u32(28);
    const std::uint32_t mode = r.u32(32);
    if (nVer > r.size() / 16 || !r.has(36, std::size_t(nVer) * 16))
        return;
    std::vector<gdi::TriVertex> vertices(nVer);
    for (std::uint32_t i = 0; i < nVer; ++i) {
        const std::size_t o = 36 + std::size_t(i) * 16;
        vertices[i] = {r.pointL(o), r.u16(o + 8), r.u16(o + 10), r.u16(o + 12), r.u16(o + 14)};
    }
    const std::size_t per = mode == gdi::GradientTriangle ? 3 : 2;
    const std::size_t at = 36 + std::size_t(nVer) * 16;
    if (nTri > r.size() / 4 || !r.has(at, std::size_t(nTri) * per * 4))
        return;
    std::vector<std::uint32_t> indices(std::size_t(nTri) * per);
    for (std::size_t i = 0; i < indices.size(); ++i)
        indices[i] = r.u32(at + i * 4);
    m_dc.gradientFill(vertices, indices, mode);
}

} // namespace store::emf::detail
