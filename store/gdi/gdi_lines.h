#pragma once

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPointF>

#include <span>

/**
 * One-pixel lines drawn straight into the picture's pixels, as the system draws cosmetic lines: each point
 * lands in the pixel it lies in, and a line leaves out its last pixel. Qt's paint engine draws such lines pixel
 * by pixel through its general span machinery, several times slower.
 */
namespace store::gdi {

/**
 * The image under `painter` when lines may be drawn into it directly: a 32-bit image, no clipping, no transform,
 * plain source-over composition. Null otherwise.
 */
[[nodiscard]] QImage* directLineTarget(QPainter& painter);

/** The polyline through `points` in an opaque colour; pixels outside the image are left alone. */
void drawPixelPolyline(QImage& image, std::span<const QPointF> points, QRgb color);

/** Every figure of `path` as a polyline; false, drawing nothing, when the path holds curves. */
bool drawPixelPath(QImage& image, const QPainterPath& path, QRgb color);

} // namespace store::gdi
