// Bitmap output of the device context: blits with raster operations, alpha blending, gradients.
#include "gdi_context_p.h"

#include <QLinearGradient>

#include <algorithm>
#include <cmath>

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

} // namespace

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
    QImage* target = targetImage(p);
    if (!target)
        return drawSource(QPainter::CompositionMode_SourceOver);
    const QRect box = pictureDest.boundingRect().toAlignedRect().intersected(target->rect());
    if (box.isEmpty())
        return;
    const QTransform toBox = QTransform::fromTranslate(-box.x(), -box.y());
    QImage src(box.size(), QImage::Format_RGB32);
    src.fill(Qt::black);
    if (needSource) {
        QPainter sp(&src);
        drawTransformed(sp, sourceToLogical(dest, sourceRect) * m * toBox, *source, sourceRect);
    }
    QImage pat(box.size(), QImage::Format_RGB32);
    pat.fill(Qt::black);
    if (usesPattern(code) && d.brushVisible(d.s.brush)) {
        QPainter pp(&pat);
        QBrush brush = d.qtBrush(d.s.brush);
        brush.setTransform(QTransform::fromTranslate(d.s.brushOrg.x() - box.x(), d.s.brushOrg.y() - box.y()));
        pp.fillRect(pat.rect(), brush);
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
    d.clipChanged();
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
    QImage masked = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < masked.height(); ++y) {
        for (int x = 0; x < masked.width(); ++x) {
            const QPoint at(x - int(sourceRect.x()) + maskOrigin.x(), y - int(sourceRect.y()) + maskOrigin.y());
            const bool on = mask->valid(at) && (mask->pixel(at) & 0xFFFFFF) != 0;
            if (!on)
                masked.setPixel(x, y, 0);
        }
    }
    const std::uint8_t fore = std::uint8_t(rop >> 16);
    if (fore == 0xCC) {
        alphaBlend(dest, masked, sourceRect, 255, true);
        return;
    }
    stretchBlt(dest, &source, sourceRect, rop & 0x00FFFFFF);
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

} // namespace store::gdi
