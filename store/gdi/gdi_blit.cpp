// Bitmap output of the device context: blits with raster operations, alpha blending, gradients, flood fills.
#include "gdi_context_p.h"

#include <QLinearGradient>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

namespace store::gdi {

namespace {

/** Whether a ternary raster operation (its index byte) depends on the source, the pattern, the destination. */
bool usesSource(std::uint8_t rop)
{
    return ((rop >> 2) & 0x33) != (rop & 0x33);
}

bool usesPattern(std::uint8_t rop)
{
    return ((rop >> 4) & 0x0F) != (rop & 0x0F);
}

/** Applies a ternary raster operation bitwise: bit i of `rop` is the result for P = i&4, S = i&2, D = i&1. */
std::uint32_t ternary(std::uint8_t rop, std::uint32_t p, std::uint32_t s, std::uint32_t d)
{
    std::uint32_t r = 0;
    for (int i = 0; i < 8; ++i) {
        if ((rop >> i) & 1)
            r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
    }
    return r;
}

/** Maps `source`'s pixel rectangle `sourceRect` onto `dest` (logical units). */
QTransform sourceToLogical(const QRectF& dest, const QRectF& sourceRect)
{
    const double sx = sourceRect.width() != 0 ? dest.width() / sourceRect.width() : 1;
    const double sy = sourceRect.height() != 0 ? dest.height() / sourceRect.height() : 1;
    return QTransform(sx, 0, 0, sy, dest.x() - sourceRect.x() * sx, dest.y() - sourceRect.y() * sy);
}

bool sane(const QRectF& r)
{
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) && std::isfinite(r.height())
        && std::abs(r.width()) < 1e9 && std::abs(r.height()) < 1e9;
}

QImage* targetImage(QPainter& painter)
{
    QPaintDevice* device = painter.device();
    if (device && device->devType() == QInternal::Image)
        return static_cast<QImage*>(device);
    return nullptr;
}

/**
 * Draws `sourceRect` of `image` through `toPicture`. Qt's unsmoothed scaling writes outside its target when a
 * mirrored image lands between two pixel centres, so a mirroring scale is drawn as mirrored pixels scaled by
 * positive factors instead.
 */
void drawTransformed(QPainter& p, const QTransform& toPicture, const QImage& image, const QRectF& sourceRect)
{
    if (toPicture.type() <= QTransform::TxScale && (toPicture.m11() < 0 || toPicture.m22() < 0)) {
        const QRect part = sourceRect.toAlignedRect().intersected(image.rect());
        if (part.isEmpty())
            return;
        p.setTransform(QTransform());
        p.drawImage(
            toPicture.mapRect(QRectF(part)), image.copy(part).mirrored(toPicture.m11() < 0, toPicture.m22() < 0));
        return;
    }
    p.setTransform(toPicture);
    p.drawImage(sourceRect.topLeft(), image, sourceRect);
}

/**
 * `source` with the pixels whose mask pixel is clear made transparent. The mask's pixel (`maskOrigin`) goes with
 * the source's pixel at `sourceRect`'s top left.
 */
QImage maskedSource(const QImage& source, const QRectF& sourceRect, const QImage& mask, QPoint maskOrigin)
{
    QImage masked = source.convertToFormat(QImage::Format_ARGB32);
    const QPoint shift = maskOrigin - QPoint(int(sourceRect.x()), int(sourceRect.y()));
    for (int y = 0; y < masked.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(masked.scanLine(y));
        for (int x = 0; x < masked.width(); ++x) {
            const QPoint at = QPoint(x, y) + shift;
            if (!mask.valid(at) || (mask.pixel(at) & 0xFFFFFF) == 0)
                line[x] = 0;
        }
    }
    return masked;
}

/** The four corners of a parallelogram given by three of them, as a path. */
QPainterPath parallelogram(const std::array<QPointF, 3>& corners)
{
    QPainterPath path;
    path.addPolygon(QPolygonF({corners[0], corners[1], corners[1] + corners[2] - corners[0], corners[2]}));
    path.closeSubpath();
    return path;
}

} // namespace

QImage DeviceContext::Impl::brushImage(const QRect& box) const
{
    QImage image(box.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (brushVisible(s.brush)) {
        QPainter painter(&image);
        QBrush brush = qtBrush(s.brush);
        brush.setTransform(QTransform::fromTranslate(s.brushOrg.x() - box.x(), s.brushOrg.y() - box.y()));
        painter.fillRect(image.rect(), brush);
    }
    return image;
}

bool DeviceContext::Impl::ternaryBlit(std::uint8_t code, const QPainterPath& pictureDest,
    const QTransform& sourceToPicture, const QImage* source, const QRectF& sourceRect)
{
    QPainter& p = painter;
    QImage* target = targetImage(p);
    if (!target)
        return false;
    const QRect box = pictureDest.boundingRect().toAlignedRect().intersected(target->rect());
    if (box.isEmpty())
        return true;
    const QTransform toBox = QTransform::fromTranslate(-box.x(), -box.y());
    QImage src(box.size(), QImage::Format_RGB32);
    src.fill(Qt::black);
    if (source) {
        QPainter sp(&src);
        drawTransformed(sp, sourceToPicture * toBox, *source, sourceRect);
    }
    QImage pat(box.size(), QImage::Format_RGB32);
    pat.fill(Qt::black);
    if (usesPattern(code) && brushVisible(s.brush)) {
        QPainter pp(&pat);
        pp.drawImage(0, 0, brushImage(box));
    }
    const QImage dst = target->copy(box).convertToFormat(QImage::Format_RGB32);
    QImage result(box.size(), QImage::Format_RGB32);
    for (int y = 0; y < box.height(); ++y) {
        const auto* ps = reinterpret_cast<const QRgb*>(pat.constScanLine(y));
        const auto* ss = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        const auto* ds = reinterpret_cast<const QRgb*>(dst.constScanLine(y));
        auto* rs = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < box.width(); ++x)
            rs[x] = 0xFF000000u | (ternary(code, ps[x], ss[x], ds[x]) & 0xFFFFFF);
    }
    p.save();
    p.setClipPath(pictureDest, p.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(box.topLeft(), result);
    p.restore();
    clipChanged();
    return true;
}

void DeviceContext::stretchBlt(const QRectF& dest, const QImage* source, const QRectF& sourceRect, std::uint32_t rop)
{
    Impl& d = *m_impl;
    if (!sane(dest) || !sane(sourceRect) || dest.width() == 0 || dest.height() == 0)
        return;
    const std::uint8_t code = std::uint8_t(rop >> 16);
    const bool needSource = usesSource(code);
    if (needSource && (!source || source->isNull()))
        return;
    const QTransform& m = d.transform();
    QPainterPath destPath;
    destPath.addRect(dest.normalized());
    const QPainterPath pictureDest = m.map(destPath);

    d.applyClip();
    QPainter& p = d.painter;
    auto finish = [&] {
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.resetTransform();
    };
    auto drawSource = [&](QPainter::CompositionMode mode) {
        p.setCompositionMode(mode);
        p.setRenderHint(QPainter::SmoothPixmapTransform, d.s.stretchMode == 4);
        drawTransformed(p, sourceToLogical(dest, sourceRect) * m, *source, sourceRect);
        finish();
    };
    auto fill = [&](const QBrush& brush, QPainter::CompositionMode mode) {
        p.setCompositionMode(mode);
        p.fillPath(pictureDest, brush);
        finish();
    };

    switch (code) {
    case 0xAA:
        return;
    case 0xCC:
        return drawSource(QPainter::CompositionMode_SourceOver);
    case 0x88:
        return drawSource(QPainter::RasterOp_SourceAndDestination);
    case 0xEE:
        return drawSource(QPainter::RasterOp_SourceOrDestination);
    case 0x66:
        return drawSource(QPainter::RasterOp_SourceXorDestination);
    case 0x33:
        return drawSource(QPainter::RasterOp_NotSource);
    case 0x44:
        return drawSource(QPainter::RasterOp_SourceAndNotDestination);
    case 0x11:
        return drawSource(QPainter::RasterOp_NotSourceAndNotDestination);
    case 0xBB:
        return drawSource(QPainter::RasterOp_NotSourceOrDestination);
    case 0x00:
        return fill(Qt::black, QPainter::CompositionMode_Source);
    case 0xFF:
        return fill(Qt::white, QPainter::CompositionMode_Source);
    case 0x55:
        return fill(Qt::black, QPainter::RasterOp_NotDestination);
    case 0xF0:
        if (d.brushVisible(d.s.brush))
            fill(d.qtBrush(d.s.brush), QPainter::CompositionMode_SourceOver);
        return;
    case 0x5A:
        return fill(d.qtBrush(d.s.brush), QPainter::RasterOp_SourceXorDestination);
    case 0xA0:
        return fill(d.qtBrush(d.s.brush), QPainter::RasterOp_SourceAndDestination);
    case 0xFA:
        return fill(d.qtBrush(d.s.brush), QPainter::RasterOp_SourceOrDestination);
    default:
        break;
    }

    // Any other operation: compute it per pixel over the destination's bounding box.
    if (!d.ternaryBlit(
            code, pictureDest, sourceToLogical(dest, sourceRect) * m, needSource ? source : nullptr, sourceRect))
        return drawSource(QPainter::CompositionMode_SourceOver);
    finish();
}

void DeviceContext::maskBlt(const QRectF& dest, const QImage& source, const QRectF& sourceRect, const QImage* mask,
    QPoint maskOrigin, std::uint32_t rop)
{
    if (!mask || mask->isNull()) {
        stretchBlt(dest, &source, sourceRect, rop & 0x00FFFFFF);
        return;
    }
    // Where the mask is set the foreground operation applies, elsewhere the background one; drawn as the
    // foreground operation through a source whose masked-out pixels keep the destination (SRCCOPY files).
    const std::uint8_t fore = std::uint8_t(rop >> 16);
    if (fore == 0xCC) {
        alphaBlend(dest, maskedSource(source, sourceRect, *mask, maskOrigin), sourceRect, 255, true);
        return;
    }
    stretchBlt(dest, &source, sourceRect, rop & 0x00FFFFFF);
}

void DeviceContext::plgBlt(const std::array<QPointF, 3>& corners, const QImage& source, const QRectF& sourceRect,
    const QImage* mask, QPoint maskOrigin)
{
    Impl& d = *m_impl;
    if (source.isNull() || !sane(sourceRect) || sourceRect.width() == 0 || sourceRect.height() == 0
        || !sane(parallelogram(corners).boundingRect()))
        return;
    // The source's x axis runs along the first edge, its y axis along the second.
    const QPointF across = (corners[1] - corners[0]) / sourceRect.width();
    const QPointF down = (corners[2] - corners[0]) / sourceRect.height();
    const QTransform toLogical(across.x(), across.y(), down.x(), down.y(),
        corners[0].x() - sourceRect.x() * across.x() - sourceRect.y() * down.x(),
        corners[0].y() - sourceRect.x() * across.y() - sourceRect.y() * down.y());
    if (!toLogical.isInvertible())
        return;
    const QImage image = mask && !mask->isNull() ? maskedSource(source, sourceRect, *mask, maskOrigin) : source;
    d.applyClip();
    QPainter& p = d.painter;
    p.setRenderHint(QPainter::SmoothPixmapTransform, d.s.stretchMode == 4);
    drawTransformed(p, toLogical * d.transform(), image, sourceRect);
    p.resetTransform();
}

void DeviceContext::alphaBlend(
    const QRectF& dest, const QImage& source, const QRectF& sourceRect, int constantAlpha, bool perPixelAlpha)
{
    Impl& d = *m_impl;
    if (!sane(dest) || !sane(sourceRect) || source.isNull() || dest.width() == 0 || dest.height() == 0)
        return;
    QImage img;
    if (perPixelAlpha) {
        // The source is premultiplied; keep each channel within its alpha so the data is valid as such.
        img = source.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < img.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < img.width(); ++x) {
                const QRgb c = line[x];
                const int a = qAlpha(c);
                line[x] = qRgba(std::min(qRed(c), a), std::min(qGreen(c), a), std::min(qBlue(c), a), a);
            }
        }
        img.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
    } else {
        img = source.convertToFormat(QImage::Format_RGB32);
    }
    d.applyClip();
    QPainter& p = d.painter;
    p.setOpacity(std::clamp(constantAlpha, 0, 255) / 255.0);
    drawTransformed(p, sourceToLogical(dest, sourceRect) * d.transform(), img, sourceRect);
    p.setOpacity(1);
    p.resetTransform();
}

void DeviceContext::transparentBlt(
    const QRectF& dest, const QImage& source, const QRectF& sourceRect, ColorRef transparent)
{
    if (source.isNull())
        return;
    QImage img = source.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = m_impl->rgb(transparent) & 0xFFFFFF;
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            if ((line[x] & 0xFFFFFF) == key)
                line[x] = 0;
        }
    }
    Impl& d = *m_impl;
    if (!sane(dest) || !sane(sourceRect))
        return;
    d.applyClip();
    QPainter& p = d.painter;
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    drawTransformed(p, sourceToLogical(dest, sourceRect) * d.transform(), img, sourceRect);
    p.resetTransform();
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

void DeviceContext::gradientFill(
    std::span<const TriVertex> vertices, std::span<const std::uint32_t> indices, std::uint32_t mode)
{
    Impl& d = *m_impl;
    auto color = [](const TriVertex& v) { return QColor(v.red >> 8, v.green >> 8, v.blue >> 8); };
    const QTransform& m = d.transform();
    d.applyClip();
    QPainter& p = d.painter;
    if (mode == GradientRectH || mode == GradientRectV) {
        for (std::size_t i = 0; i + 1 < indices.size(); i += 2) {
            if (indices[i] >= vertices.size() || indices[i + 1] >= vertices.size())
                continue;
            const TriVertex& a = vertices[indices[i]];
            const TriVertex& b = vertices[indices[i + 1]];
            const QRectF r = QRectF(a.point, b.point).normalized();
            QLinearGradient g(
                a.point, mode == GradientRectH ? QPointF(b.point.x(), a.point.y()) : QPointF(a.point.x(), b.point.y()));
            g.setColorAt(0, color(a));
            g.setColorAt(1, color(b));
            p.setTransform(m);
            p.fillRect(r, g);
            p.resetTransform();
        }
        return;
    }
    if (mode != GradientTriangle)
        return;
    const QRect bounds(QPoint(0, 0), p.device() ? QSize(p.device()->width(), p.device()->height()) : QSize());
    for (std::size_t i = 0; i + 2 < indices.size(); i += 3) {
        if (indices[i] >= vertices.size() || indices[i + 1] >= vertices.size() || indices[i + 2] >= vertices.size())
            continue;
        const TriVertex* v[3] = {&vertices[indices[i]], &vertices[indices[i + 1]], &vertices[indices[i + 2]]};
        QPointF q[3];
        for (int k = 0; k < 3; ++k)
            q[k] = m.map(v[k]->point);
        const QPolygonF tri({q[0], q[1], q[2]});
        const QRect box = tri.boundingRect().toAlignedRect().intersected(bounds);
        const double det
            = (q[1].y() - q[2].y()) * (q[0].x() - q[2].x()) + (q[2].x() - q[1].x()) * (q[0].y() - q[2].y());
        if (box.isEmpty() || std::abs(det) < 1e-9)
            continue;
        QImage shade(box.size(), QImage::Format_RGB32);
        for (int y = 0; y < box.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(shade.scanLine(y));
            for (int x = 0; x < box.width(); ++x) {
                const double px = box.x() + x + 0.5;
                const double py = box.y() + y + 0.5;
                double w0 = ((q[1].y() - q[2].y()) * (px - q[2].x()) + (q[2].x() - q[1].x()) * (py - q[2].y())) / det;
                double w1 = ((q[2].y() - q[0].y()) * (px - q[2].x()) + (q[0].x() - q[2].x()) * (py - q[2].y())) / det;
                w0 = std::clamp(w0, 0.0, 1.0);
                w1 = std::clamp(w1, 0.0, 1.0 - w0);
                const double w2 = 1 - w0 - w1;
                auto channel = [&](std::uint16_t TriVertex::*c) {
                    return std::clamp(int((w0 * (v[0]->*c) + w1 * (v[1]->*c) + w2 * (v[2]->*c)) / 256), 0, 255);
                };
                line[x] = qRgb(channel(&TriVertex::red), channel(&TriVertex::green), channel(&TriVertex::blue));
            }
        }
        QPainterPath clip;
        clip.addPolygon(tri);
        clip.closeSubpath();
        p.save();
        p.setClipPath(clip, p.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
        p.drawImage(box.topLeft(), shade);
        p.restore();
    }
}

void DeviceContext::floodFill(QPointF start, ColorRef color, int mode)
{
    Impl& d = *m_impl;
    QImage* target = targetImage(d.painter);
    const QPointF at = d.transform().map(start);
    if (!target || !std::isfinite(at.x()) || !std::isfinite(at.y()) || !d.brushVisible(d.s.brush))
        return;
    const QPoint seed(int(std::clamp(std::floor(at.x()), -1.0, 1e9)), int(std::clamp(std::floor(at.y()), -1.0, 1e9)));
    const QPointF centre = QPointF(seed) + QPointF(0.5, 0.5);
    if (!target->rect().contains(seed) || (d.s.clip && !d.s.clip->contains(centre))
        || (d.s.metaClip && !d.s.metaClip->contains(centre)))
        return;

    // Each fill costs time in proportion to the picture, so a file of many fills stops filling at some point.
    const std::int64_t width = target->width();
    const std::int64_t height = target->height();
    d.floodFillBudget -= width * height / 16 + 1;
    if (d.floodFillBudget < 0)
        return;

    // Read in place (a copy that shares the pixels could detach them from the painter); other depths converted.
    const QImage converted = target->depth() == 32 ? QImage() : target->convertToFormat(QImage::Format_RGB32);
    const QImage& pixels = target->depth() == 32 ? std::as_const(*target) : converted;
    const QRgb key = d.rgb(color) & 0xFFFFFF;
    const bool surface = mode == FloodFillSurface;
    std::vector<bool> filled(std::size_t(width * height));
    auto fillable = [&](int x, int y) {
        const QRgb pixel = reinterpret_cast<const QRgb*>(pixels.constScanLine(y))[x] & 0xFFFFFF;
        return ((pixel == key) == surface) && !filled[std::size_t(y * width + x)];
    };
    if (!fillable(seed.x(), seed.y()))
        return;

    // Scan-line fill: each seed grows into its whole run of the row, and seeds the runs above and below it.
    QRect box;
    std::vector<QPoint> seeds {seed};
    while (!seeds.empty()) {
        const QPoint s = seeds.back();
        seeds.pop_back();
        const int y = s.y();
        if (!fillable(s.x(), y))
            continue;
        int left = s.x();
        int right = s.x();
        while (left > 0 && fillable(left - 1, y))
            --left;
        while (right + 1 < width && fillable(right + 1, y))
            ++right;
        for (int x = left; x <= right; ++x)
            filled[std::size_t(y * width + x)] = true;
        d.floodFillBudget -= right - left + 1;
        box |= QRect(left, y, right - left + 1, 1);
        for (const int row : {y - 1, y + 1}) {
            if (row < 0 || row >= height)
                continue;
            for (int x = left; x <= right; ++x) {
                if (fillable(x, row) && (x == left || !fillable(x - 1, row)))
                    seeds.emplace_back(x, row);
            }
        }
    }

    d.applyClip();
    d.paintFilled(filled, width, box);
}

void DeviceContext::Impl::paintFilled(const std::vector<bool>& filled, std::int64_t width, const QRect& box)
{
    // The brush is laid over the filled pixels a band at a time, so a fill of a huge picture needs little memory.
    constexpr int kBandRows = 256;
    for (int top = box.top(); top <= box.bottom(); top += kBandRows) {
        const QRect band(box.left(), top, box.width(), std::min(kBandRows, box.bottom() + 1 - top));
        QImage paint = brushImage(band);
        if (paint.isNull())
            return;
        for (int y = 0; y < band.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(paint.scanLine(y));
            const auto row = std::size_t((band.y() + y) * width + band.x());
            for (int x = 0; x < band.width(); ++x) {
                if (!filled[row + x])
                    line[x] = 0;
            }
        }
        painter.drawImage(band.topLeft(), paint);
    }
}

} // namespace store::gdi
