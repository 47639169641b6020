// Bitmap records: the blits, with or without a bitmap of their own, and DIBs drawn straight to the page.
#include "wmf_bitmaps.h"
#include "wmf_player_p.h"

#include <QImage>

namespace store::wmf::detail {

namespace {

/**
 * The source rectangle of a DIB drawn straight to the device: for a bottom-up bitmap its y counts from the
 * bottom row.
 */
QRectF dibSourceRect(const QImage& source, bool bottomUp, double x, double y, double width, double height)
{
    const double top = bottomUp ? source.height() - y - height : y;
    return QRectF(x, top, width, height);
}

} // namespace

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

} // namespace store::wmf::detail
