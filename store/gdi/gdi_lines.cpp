#include "gdi_lines.h"

#include <QPaintDevice>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace store::gdi {

namespace {

struct PixelPoint {
    int x;
    int y;
};

/** The pixel a point lies in; a point a rounding error short of a pixel's edge counts as on it. */
PixelPoint pixelOf(QPointF p)
{
    constexpr double kRoundingError = 1e-6;
    return {int(std::floor(p.x() + kRoundingError)), int(std::floor(p.y() + kRoundingError))};
}

/** Bresenham's line from `a` up to, but not including, `b`. */
void drawSegment(QImage& image, PixelPoint a, PixelPoint b, QRgb color)
{
    const int width = image.width();
    const int height = image.height();
    const int dx = std::abs(b.x - a.x);
    const int dy = -std::abs(b.y - a.y);
    const int stepX = a.x < b.x ? 1 : -1;
    const int stepY = a.y < b.y ? 1 : -1;
    const auto stride = image.bytesPerLine();
    uchar* const bits = image.bits();
    int error = dx + dy;
    int x = a.x;
    int y = a.y;
    while (x != b.x || y != b.y) {
        if (unsigned(x) < unsigned(width) && unsigned(y) < unsigned(height))
            reinterpret_cast<QRgb*>(bits + qsizetype(y) * stride)[x] = color;
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x += stepX;
        }
        if (twice <= dx) {
            error += dx;
            y += stepY;
        }
    }
}

} // namespace

QImage* directLineTarget(QPainter& painter)
{
    QPaintDevice* device = painter.device();
    if (!device || device->devType() != QInternal::Image || painter.hasClipping()
        || painter.compositionMode() != QPainter::CompositionMode_SourceOver
        || (painter.worldMatrixEnabled() && !painter.worldTransform().isIdentity()))
        return nullptr;
    auto* image = static_cast<QImage*>(device);
    const QImage::Format format = image->format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32
        && format != QImage::Format_ARGB32_Premultiplied)
        return nullptr;
    return image;
}

void drawPixelPolyline(QImage& image, std::span<const QPointF> points, QRgb color)
{
    // Callers cut paths to a reach around the picture; anything beyond this (or not a number) is skipped.
    constexpr double kFar = 1 << 20;
    const auto usable = [&](QPointF p) { return std::abs(p.x()) <= kFar && std::abs(p.y()) <= kFar; };
    for (std::size_t i = 1; i < points.size(); ++i) {
        if (usable(points[i - 1]) && usable(points[i]))
            drawSegment(image, pixelOf(points[i - 1]), pixelOf(points[i]), color);
    }
}

bool drawPixelPath(QImage& image, const QPainterPath& path, QRgb color)
{
    for (int i = 0; i < path.elementCount(); ++i) {
        if (path.elementAt(i).isCurveTo())
            return false;
    }
    std::vector<QPointF> figure;
    for (int i = 0; i <= path.elementCount(); ++i) {
        if (i == path.elementCount() || path.elementAt(i).isMoveTo()) {
            drawPixelPolyline(image, figure, color);
            figure.clear();
        }
        if (i < path.elementCount())
            figure.push_back(path.elementAt(i));
    }
    return true;
}

} // namespace store::gdi
