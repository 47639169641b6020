// One-pixel lines drawn straight into an image: the pixels they cover, and when they may be drawn that way.
#include "store/gdi/gdi_lines.h"
#include "support/colours.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <cmath>
#include <vector>

using namespace testing_support::colours;

namespace {

constexpr QRgb kInk = 0xFF102030;

QImage blank(int width = 20, int height = 20)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(kWhite);
    return image;
}

std::vector<QPoint> inkedPixels(const QImage& image)
{
    std::vector<QPoint> pixels;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == kInk)
                pixels.emplace_back(x, y);
    return pixels;
}

TEST(PixelLines, EveryDirectionCoversOnePixelPerStepAndLeavesTheLastOut)
{
    const QPointF centre(10.5, 10.5);
    for (const QPointF end : {QPointF(16.5, 12.5), QPointF(12.5, 16.5), QPointF(4.5, 8.5), QPointF(8.5, 4.5),
             QPointF(16.5, 10.5), QPointF(10.5, 4.5), QPointF(4.5, 16.5)}) {
        SCOPED_TRACE(testing::Message() << end.x() << "," << end.y());
        QImage image = blank();
        const QPointF points[] = {centre, end};
        store::gdi::drawPixelPolyline(image, points, kInk);
        const std::vector<QPoint> pixels = inkedPixels(image);
        const int steps = std::max(std::abs(int(end.x()) - 10), std::abs(int(end.y()) - 10));
        EXPECT_EQ(int(pixels.size()), steps);
        EXPECT_EQ(image.pixel(10, 10), kInk) << "the first point's pixel";
        EXPECT_EQ(image.pixel(int(end.x()), int(end.y())), kWhite) << "the last point's pixel";
    }
}

TEST(PixelLines, PointsLieInThePixelThatHoldsThemAndRoundingErrorsDoNotShiftThem)
{
    QImage image = blank();
    const QPointF points[] = {QPointF(2.9999999999, 5.0), QPointF(2.9999999999, 7.99)};
    store::gdi::drawPixelPolyline(image, points, kInk);
    EXPECT_EQ(inkedPixels(image), (std::vector<QPoint> {QPoint(3, 5), QPoint(3, 6)}));
}

TEST(PixelLines, PixelsOutsideTheImageAreSkipped)
{
    QImage image = blank(10, 10);
    const QPointF points[] = {QPointF(-50, 5), QPointF(60, 5), QPointF(60, -40)};
    store::gdi::drawPixelPolyline(image, points, kInk);
    EXPECT_EQ(inkedPixels(image).size(), 10U);

    QImage untouched = blank(10, 10);
    const QPointF wild[] = {QPointF(5, 5), QPointF(std::nan(""), 5), QPointF(1e300, 5), QPointF(5, -1e18)};
    store::gdi::drawPixelPolyline(untouched, wild, kInk);
    EXPECT_TRUE(inkedPixels(untouched).empty()) << "segments to points far away or not a number are skipped";
}

TEST(PixelLines, ClosedFiguresOfAPathAreWholeAndCurvesAreRefused)
{
    QImage image = blank();
    QPainterPath square;
    square.addRect(QRectF(2, 2, 5, 5));
    square.addRect(QRectF(12, 12, 3, 3));
    ASSERT_TRUE(store::gdi::drawPixelPath(image, square, kInk));
    EXPECT_EQ(inkedPixels(image).size(), 20U + 12U);

    QImage untouched = blank();
    QPainterPath curve(QPointF(1, 1));
    curve.cubicTo(5, 1, 5, 5, 1, 5);
    EXPECT_FALSE(store::gdi::drawPixelPath(untouched, curve, kInk));
    EXPECT_TRUE(inkedPixels(untouched).empty());
}

TEST(PixelLines, OnlyAPlainPainterOnA32BitImageIsATarget)
{
    QImage image = blank();
    {
        QPainter painter(&image);
        EXPECT_EQ(store::gdi::directLineTarget(painter), &image);
        painter.setClipRect(0, 0, 5, 5);
        EXPECT_EQ(store::gdi::directLineTarget(painter), nullptr) << "clipped";
        painter.setClipping(false);
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        EXPECT_EQ(store::gdi::directLineTarget(painter), nullptr) << "a raster operation";
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.translate(1, 0);
        EXPECT_EQ(store::gdi::directLineTarget(painter), nullptr) << "transformed";
    }
    QImage rgb16(4, 4, QImage::Format_RGB16);
    QPainter painter(&rgb16);
    EXPECT_EQ(store::gdi::directLineTarget(painter), nullptr) << "a 16-bit image";
}

} // namespace
