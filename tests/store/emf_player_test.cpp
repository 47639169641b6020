// Playing hand-built enhanced metafiles: each record kind lands on the pixels a user expects.
#include "support/bmp_builder.h"
#include "support/case_name.h"
#include "support/colours.h"
#include "support/emf_builder.h"
#include "support/image_compare.h"
#include "support/wmf_builder.h"

#include "platform/errors.h"
#include "store/layers.h"

#include <gtest/gtest.h>

#include <QImage>

#include <array>

using namespace testing_support::colours;

namespace {

using testing_support::EmfBuilder;

const std::uint32_t kRedRef = EmfBuilder::colorRef(255, 0, 0);
const std::uint32_t kBlueRef = EmfBuilder::colorRef(0, 0, 255);
constexpr std::uint32_t kNullPen = 0x80000008;

QImage render(const QByteArray& emf)
{
    testing_support::ensureGuiApplication();
    return store::loadMetafile(emf)->image().convertToFormat(QImage::Format_RGB32);
}

/** A 100 x 100 picture with a red brush (handle 1) and no pen selected. */
EmfBuilder redBrushPicture()
{
    EmfBuilder b(QSize(100, 100));
    b.createBrush(1, 0, kRedRef).select(1).select(kNullPen);
    return b;
}

/** The number of pixels of `colour` inside `area`. */
int count(const QImage& image, const QRect& area, QRgb colour)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += image.pixel(x, y) == colour;
    return n;
}

/** The bounding box of pixels that are not white. */
QRect inkBox(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != kWhite)
                box |= QRect(x, y, 1, 1);
    return box;
}

TEST(EmfShapes, rectangleIsFilledWithTheBrushAndOutlinedWithThePen)
{
    EmfBuilder b(QSize(100, 100));
    b.createBrush(1, 0, kRedRef).createPen(2, 0, 1, 0).select(1).select(2).rectangle(QRect(20, 20, 40, 40));
    const QImage image = render(b.finish());
    EXPECT_EQ(image.pixel(40, 40), kRed);
    EXPECT_EQ(image.pixel(10, 10), kWhite);
    EXPECT_EQ(image.pixel(70, 70), kWhite);
    EXPECT_GT(count(image, QRect(19, 30, 3, 1), kBlack), 0) << "left edge drawn with the pen";
}

TEST(EmfShapes, nullBrushLeavesTheInsideAndNullPenTheOutline)
{
    EmfBuilder b(QSize(100, 100));
    b.createPen(2, 0, 1, 0).select(2).select(0x80000005).rectangle(QRect(20, 20, 40, 40));
    b.createBrush(1, 0, kBlueRef).select(1).select(kNullPen).ellipse(QRect(70, 70, 20, 20));
    const QImage image = render(b.finish());
    EXPECT_EQ(image.pixel(40, 40), kWhite);
    EXPECT_GT(count(image, QRect(19, 30, 3, 1), kBlack), 0);
    EXPECT_EQ(image.pixel(80, 80), kBlue);
    EXPECT_EQ(count(image, QRect(65, 65, 30, 30), kBlack), 0);
}

TEST(EmfShapes, lineToDrawsFromTheCurrentPositionAndMovesIt)
{
    EmfBuilder b(QSize(100, 100));
    b.createPen(1, 0, 1, EmfBuilder::colorRef(0, 0, 255)).select(1);
    b.moveTo({10, 20}).lineTo({90, 20}).lineTo({90, 80});
    const QImage image = render(b.finish());
    EXPECT_GT(count(image, QRect(50, 19, 1, 3), kBlue), 0);
    EXPECT_GT(count(image, QRect(89, 50, 3, 1), kBlue), 0);
    EXPECT_EQ(count(image, QRect(10, 30, 70, 40), kBlue), 0);
}

TEST(EmfShapes, polygonAndPathFill)
{
    EmfBuilder b = redBrushPicture();
    b.polygon16({{10, 10}, {40, 10}, {10, 40}});
    b.record(59, {}); // BEGINPATH
    b.moveTo({60, 60}).lineTo({90, 60}).lineTo({90, 90}).lineTo({60, 90});
    b.record(61, {}).record(60, {}); // CLOSEFIGURE, ENDPATH
    b.record(62, {0, 0, 0, 0}); // FILLPATH
    const QImage image = render(b.finish());
    EXPECT_EQ(image.pixel(15, 15), kRed);
    EXPECT_EQ(image.pixel(35, 35), kWhite) << "outside the triangle's hypotenuse";
    EXPECT_EQ(image.pixel(75, 75), kRed);
}

TEST(EmfState, restoreDcBringsBackTheSavedBrush)
{
    EmfBuilder b = redBrushPicture();
    b.createBrush(2, 0, kBlueRef);
    b.saveDc().select(2).rectangle(QRect(0, 0, 50, 50)).restoreDc(-1).rectangle(QRect(50, 50, 50, 50));
    const QImage image = render(b.finish());
    EXPECT_EQ(image.pixel(25, 25), kBlue);
    EXPECT_EQ(image.pixel(75, 75), kRed);
}

TEST(EmfState, restoreDcBringsBackTheClipAndTheMapping)
{
    EmfBuilder b = redBrushPicture();
    b.saveDc().intersectClipRect(QRect(0, 0, 10, 10)).setMapMode(8).setWindowExt({10, 10}).setViewportExt({100, 100});
    b.restoreDc(-1).rectangle(QRect(40, 40, 20, 20));
    const QImage image = render(b.finish());
    EXPECT_EQ(image.pixel(50, 50), kRed);
    EXPECT_EQ(image.pixel(30, 30), kWhite);
}

TEST(EmfState, deletedAndOutOfRangeObjectsAreIgnored)
{
    EmfBuilder b = redBrushPicture();
    b.createBrush(2, 0, kBlueRef).deleteObject(2).select(2); // gone: the red brush stays
    b.select(123456789).select(0x7FFFFFFF);
    b.createBrush(0xFFFFFFF0, 0, kBlueRef);
    b.rectangle(QRect(10, 10, 20, 20));
    const QImage image = render(b.finish());
    EXPECT_EQ(image.pixel(20, 20), kRed);
}

struct MappingCase {
    const char* name;
    int mode;
    QSize window;
    QSize viewport;
    QRect logical;
    QRect expected; // where the filled rectangle lands in picture pixels
};

class EmfMapping : public testing::TestWithParam<MappingCase> { };

TEST_P(EmfMapping, logicalRectangleLandsOnTheExpectedPixels)
{
    const MappingCase& c = GetParam();
    EmfBuilder b = redBrushPicture();
    b.setMapMode(c.mode).setWindowExt(c.window).setViewportExt(c.viewport).rectangle(c.logical);
    const QImage image = render(b.finish());
    const QRect box = inkBox(image);
    EXPECT_LE(std::abs(box.left() - c.expected.left()), 1) << c.name;
    EXPECT_LE(std::abs(box.top() - c.expected.top()), 1) << c.name;
    EXPECT_LE(std::abs(box.right() - c.expected.right()), 1) << c.name;
    EXPECT_LE(std::abs(box.bottom() - c.expected.bottom()), 1) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Modes, EmfMapping,
    testing::Values(MappingCase {"text ignores extents", 1, {2, 2}, {1, 1}, {10, 10, 20, 20}, {10, 10, 20, 20}},
        MappingCase {"anisotropic halves", 8, {200, 100}, {100, 100}, {20, 20, 40, 40}, {10, 20, 20, 40}},
        MappingCase {
            "isotropic takes the smaller scale", 7, {200, 100}, {100, 100}, {20, 20, 40, 40}, {10, 10, 20, 20}},
        MappingCase {"anisotropic flips y", 8, {100, -100}, {100, 100}, {10, -40, 20, 20}, {10, 20, 20, 20}}),
    testing_support::ByName());

TEST(EmfMapping, loMetricCountsTenthsOfAMillimetreUpwards)
{
    EmfBuilder b = redBrushPicture();
    // 254 units are one inch, 96 pixels; y grows upwards, so the origin must move down to see anything.
    b.setMapMode(2).setViewportOrg({0, 100}).rectangle(QRect(0, 0, 254, 127));
    const QImage image = render(b.finish());
    const QRect box = inkBox(image);
    EXPECT_NEAR(box.width(), 96, 1);
    EXPECT_NEAR(box.height(), 48, 1);
    EXPECT_NEAR(box.bottom(), 99, 1);
}

TEST(EmfClipping, intersectAndExcludeLimitWhereFillsLand)
{
    EmfBuilder b = redBrushPicture();
    b.intersectClipRect(QRect(10, 10, 50, 50)).excludeClipRect(QRect(20, 20, 10, 10)).rectangle(QRect(0, 0, 100, 100));
    const QImage image = render(b.finish());
    EXPECT_EQ(image.pixel(15, 15), kRed);
    EXPECT_EQ(image.pixel(25, 25), kWhite);
    EXPECT_EQ(image.pixel(5, 5), kWhite);
    EXPECT_EQ(image.pixel(70, 70), kWhite);
}

TEST(EmfClipping, selectingAnEmptyRegionRemovesTheClip)
{
    EmfBuilder b = redBrushPicture();
    b.intersectClipRect(QRect(0, 0, 10, 10));
    b.record(75, {0, 5}); // EXTSELECTCLIPRGN, no region, RGN_COPY
    b.rectangle(QRect(0, 0, 100, 100));
    EXPECT_EQ(render(b.finish()).pixel(50, 50), kRed);
}

TEST(EmfBitmaps, stretchDiBitsDrawsTheBitmapScaled)
{
    QImage bitmap(2, 2, QImage::Format_RGB32);
    bitmap.setPixel(0, 0, kRed);
    bitmap.setPixel(1, 0, kBlue);
    bitmap.setPixel(0, 1, kBlue);
    bitmap.setPixel(1, 1, kRed);
    EmfBuilder b(QSize(100, 100));
    b.stretchDiBits(QRect(20, 20, 40, 40), bitmap);
    const QImage image = render(b.finish());
    EXPECT_EQ(image.pixel(25, 25), kRed);
    EXPECT_EQ(image.pixel(55, 25), kBlue);
    EXPECT_EQ(image.pixel(25, 55), kBlue);
    EXPECT_EQ(image.pixel(55, 55), kRed);
    EXPECT_EQ(image.pixel(10, 10), kWhite);
}

TEST(EmfBitmaps, bitmapOffsetsOutsideTheRecordDrawNothing)
{
    EmfBuilder b(QSize(50, 50));
    b.record(81, {0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 1000000, 40, 1000040, 16, 0, 0x00CC0020, 40, 40});
    b.createBrush(1, 0, kRedRef).select(1).rectangle(QRect(0, 0, 50, 50));
    EXPECT_EQ(render(b.finish()).pixel(25, 25), kRed) << "playback goes on after the damaged bitmap";
}

TEST(EmfBitmaps, bitmapClaimingFarMorePixelsThanItCarriesIsSkipped)
{
    EmfBuilder b = redBrushPicture();
    // STRETCHDIBITS of a 16000 x 16000 24-bit bitmap that brings 16 bytes of pixels.
    b.record(81,
        {0, 0, 0, 0, 0, 0, 0, 0, 16000, 16000, 80, 40, 120, 16, 0, 0x00CC0020, 100, 100, 40, 16000, 16000, 0x00180001,
            0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    b.rectangle(QRect(10, 10, 20, 20));
    const QImage image = render(b.finish());
    EXPECT_EQ(image.pixel(20, 20), kRed);
    EXPECT_EQ(image.pixel(50, 50), kWhite);
}

TEST(EmfTransforms, worldTransformScalesMovesAndCombines)
{
    EmfBuilder b = redBrushPicture();
    b.worldTransform(2, 0, 0, 2, 10, 10).rectangle(QRect(0, 0, 10, 10)); // lands on 10..30
    b.worldTransform(1, 0, 0, 1, 60, 0, 4).worldTransform(0.5f, 0, 0, 0.5f, 0, 0, 2); // set, then scale first
    b.rectangle(QRect(0, 0, 40, 40)); // lands on 60..80, 0..20
    const QImage image = render(b.finish());
    EXPECT_EQ(image.pixel(20, 20), kRed);
    EXPECT_EQ(image.pixel(35, 35), kWhite);
    EXPECT_EQ(image.pixel(70, 10), kRed);
    EXPECT_EQ(image.pixel(70, 30), kWhite);
}

TEST(EmfClipping, clipRegionRectanglesLimitFills)
{
    EmfBuilder b = redBrushPicture();
    // EXTSELECTCLIPRGN, RGN_COPY, two rectangles in device units.
    b.record(75, {64, 5, 32, 1, 2, 32, 0, 0, 100, 100, 0, 0, 20, 20, 80, 80, 100, 100});
    b.rectangle(QRect(0, 0, 100, 100));
    const QImage image = render(b.finish());
    EXPECT_EQ(image.pixel(10, 10), kRed);
    EXPECT_EQ(image.pixel(90, 90), kRed);
    EXPECT_EQ(image.pixel(50, 50), kWhite);
}

TEST(EmfRasterOps, xorPenAndSourceAndCombineWithWhatIsThere)
{
    EmfBuilder b = redBrushPicture();
    b.rectangle(QRect(0, 0, 100, 100));
    b.createBrush(2, 0, EmfBuilder::colorRef(255, 255, 255)).select(2).record(20, {7}); // R2_XORPEN
    b.rectangle(QRect(0, 0, 50, 50));
    QImage blue(1, 1, QImage::Format_RGB32);
    blue.fill(kBlue);
    b.record(20, {13}).stretchDiBits(QRect(50, 50, 50, 50), blue, 0x008800C6); // SRCAND: red AND blue
    const QImage image = render(b.finish());
    EXPECT_EQ(image.pixel(25, 25), qRgb(0, 255, 255));
    EXPECT_EQ(image.pixel(75, 75), kBlack);
    EXPECT_EQ(image.pixel(75, 25), kRed);
}

TEST(EmfRasterOps, patternBlitFillsWithTheBrush)
{
    EmfBuilder b = redBrushPicture();
    // BITBLT without a source bitmap: PATCOPY over 10..40.
    b.record(76, {0, 0, 0, 0, 10, 10, 30, 30, 0x00F00021, 0, 0, 1, 0, 0, 1, 0, 0, 0xFFFFFF, 0, 0, 0, 0, 0});
    const QImage image = render(b.finish());
    EXPECT_EQ(image.pixel(25, 25), kRed);
    EXPECT_EQ(image.pixel(45, 45), kWhite);
}

TEST(EmfBrushes, hatchedBrushShowsLinesOnTheBackground)
{
    EmfBuilder b(QSize(64, 64));
    b.createBrush(1, 2, kBlueRef, 4).select(1).select(kNullPen).rectangle(QRect(0, 0, 64, 64)); // HS_CROSS
    const QImage image = render(b.finish());
    const int blue = count(image, QRect(8, 8, 48, 48), kBlue);
    EXPECT_GT(blue, 48 * 48 / 8);
    EXPECT_LT(blue, 48 * 48 / 2);
    EXPECT_GT(count(image, QRect(8, 8, 48, 48), kWhite), 48 * 48 / 2);
}

/** Replaces the 32-bit value at `at` in `bytes`. */
void patch32(QByteArray& bytes, qsizetype at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char((value >> (8 * i)) & 0xFF);
}

TEST(EmfDamage, recordRunningPastTheEndStopsPlaybackKeepingWhatWasDrawn)
{
    EmfBuilder b = redBrushPicture();
    b.rectangle(QRect(0, 0, 50, 50));
    b.createBrush(2, 0, kBlueRef).select(2).rectangle(QRect(50, 50, 50, 50));
    QByteArray bytes = b.finish();
    // Find the second CREATEBRUSHINDIRECT by its type, size and handle, and make it claim nearly 2 GiB.
    const qsizetype at = bytes.indexOf(QByteArray::fromHex("2700000018000000020000000000000000"));
    ASSERT_GT(at, 0);
    patch32(bytes, at + 4, 0x7FFFFFF0);
    const QImage image = render(bytes);
    EXPECT_EQ(image.pixel(25, 25), kRed);
    EXPECT_EQ(image.pixel(75, 75), kWhite);
}

TEST(EmfDamage, recordSizeThatDoesNotAdvanceStopsPlayback)
{
    EmfBuilder b = redBrushPicture();
    b.rectangle(QRect(0, 0, 50, 50)).record(70, {0}).rectangle(QRect(50, 50, 50, 50));
    QByteArray bytes = b.finish();
    const qsizetype at = bytes.indexOf(QByteArray::fromHex("460000000c000000"));
    ASSERT_GT(at, 0);
    patch32(bytes, at + 4, 0);
    const QImage image = render(bytes);
    EXPECT_EQ(image.pixel(25, 25), kRed);
    EXPECT_EQ(image.pixel(75, 75), kWhite);
}

TEST(EmfDamage, countsLargerThanTheRecordAreIgnoredAndPlaybackGoesOn)
{
    EmfBuilder b = redBrushPicture();
    b.record(86, {0, 0, 0, 0, 0x7FFFFFFF, 0x00100010}); // POLYGON16 claiming two billion points
    b.record(91, {0, 0, 0, 0, 2, 3, 0x40000000, 0x40000000, 0, 0}); // POLYPOLYGON16 with absurd counts
    b.record(84, {0, 0, 0, 0, 1, 0, 0, 10, 10, 0x10000000, 76, 0, 0, 0, 0, 0, 0}); // text longer than the record
    b.rectangle(QRect(10, 10, 20, 20));
    EXPECT_EQ(render(b.finish()).pixel(20, 20), kRed);
}

TEST(EmfDamage, deepSaveStacksAndManyObjectsStayBounded)
{
    EmfBuilder b = redBrushPicture();
    for (int i = 0; i < 5000; ++i)
        b.saveDc();
    for (int i = 0; i < 5000; ++i)
        b.restoreDc(-1);
    b.restoreDc(-100000).restoreDc(7).createBrush(70000, 0, kBlueRef).select(70000);
    b.rectangle(QRect(10, 10, 20, 20));
    EXPECT_EQ(render(b.finish()).pixel(20, 20), kRed);
}

} // namespace

/** A square outline of LINETO records, each alone behind a harmless record when `separated`, in a raster op. */
QImage squareOfLines(int rop2, bool separated)
{
    EmfBuilder b(QSize(100, 100));
    b.createPen(1, 0, 1, kBlueRef).select(1).record(20, {rop2});
    b.moveTo({10, 10});
    for (const QPoint corner : {QPoint(90, 10), QPoint(90, 90), QPoint(10, 90), QPoint(10, 10), QPoint(90, 90)}) {
        if (separated)
            b.setBkMode(1);
        b.lineTo(corner);
    }
    return render(b.finish());
}

TEST(EmfLines, aRunOfLineToRecordsLooksLikeTheLinesDrawnOneByOne)
{
    for (const int rop2 : {13, 7}) { // R2_COPYPEN, R2_XORPEN
        SCOPED_TRACE(rop2);
        const QImage run = squareOfLines(rop2, false);
        EXPECT_EQ(run, squareOfLines(rop2, true));
        EXPECT_GT(count(run, QRect(50, 9, 1, 3), kWhite), 0);
        EXPECT_LT(count(run, QRect(50, 9, 1, 3), kWhite), 3) << "top edge";
        EXPECT_LT(count(run, QRect(49, 49, 3, 3), kWhite), 9) << "the diagonal";
    }
}

TEST(EmfLines, aRunCutShortByADamagedRecordIsStillDrawn)
{
    EmfBuilder b(QSize(100, 100));
    b.createPen(1, 0, 1, kBlueRef).select(1).moveTo({10, 50}).lineTo({90, 50});
    QByteArray bytes = b.finish();
    patch32(bytes, bytes.size() - 20 + 4, 0); // the EOF record's size: playback stops there
    EXPECT_GT(count(render(bytes), QRect(50, 49, 1, 3), kBlue), 0);
}

TEST(EmfLines, thinPensDrawWholePixelsAndShapesHaveHardEdges)
{
    // One logical unit is a tenth of a pixel: the pen of three units would be 0.3 pixels wide.
    EmfBuilder b(QSize(100, 100));
    b.setMapMode(8).setWindowExt(QSize(1000, 1000)).setViewportExt(QSize(100, 100));
    b.createPen(1, 0, 3, 0).select(1).moveTo({100, 105}).lineTo({900, 105});
    b.createBrush(2, 0, kRedRef).select(2).select(kNullPen).ellipse(QRect(200, 300, 600, 500));
    const QImage image = render(b.finish());
    EXPECT_EQ(count(image, QRect(0, 9, 100, 3), kBlack), 80) << "one full-black pixel in each column the line crosses";
    EXPECT_EQ(
        count(image, image.rect(), kWhite) + count(image, image.rect(), kRed) + count(image, image.rect(), kBlack),
        image.width() * image.height())
        << "no blended pixel anywhere";
}

/** CREATEPALETTE in slot `handle` with the given opaque colours. */
void createPalette(EmfBuilder& b, std::uint32_t handle, const std::vector<QRgb>& colours)
{
    QByteArray params;
    testing_support::putLe32(params, handle);
    testing_support::putLe16(params, 0x300);
    testing_support::putLe16(params, std::uint16_t(colours.size()));
    for (const QRgb c : colours)
        params.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c))).append('\0');
    b.raw(49, params);
}

TEST(EmfPalettes, paletteIndexColoursAndIndexedBitmapsTakeTheSelectedPalettesColours)
{
    EmfBuilder b(QSize(100, 100));
    b.select(kNullPen).createBrush(1, 0, 0x01000001).select(1).rectangle(QRect(0, 90, 10, 10)); // default palette
    createPalette(b, 2, {kRed, kBlue});
    b.record(48, {2}); // SELECTPALETTE
    b.createBrush(3, 0, 0x01000001).select(3).rectangle(QRect(90, 90, 10, 10));

    // STRETCHDIBITS of a 2 x 1 8-bit bitmap whose colour table holds palette indices 1 and 0 (DIB_PAL_COLORS).
    QByteArray params;
    for (const std::uint32_t v :
        {0u, 0u, 99u, 49u, 0u, 0u, 0u, 0u, 2u, 1u, 80u, 44u, 124u, 4u, 1u, 0x00CC0020u, 100u, 50u})
        testing_support::putLe32(params, v);
    for (const std::uint32_t v : {40u, 2u, 1u})
        testing_support::putLe32(params, v);
    testing_support::putLe16(params, 1);
    testing_support::putLe16(params, 8);
    for (const std::uint32_t v : {0u, 0u, 0u, 0u, 2u, 0u})
        testing_support::putLe32(params, v);
    testing_support::putLe16(params, 1);
    testing_support::putLe16(params, 0);
    params.append(QByteArray::fromHex("00010000"));
    b.raw(81, params);

    const QImage image = render(b.finish());
    EXPECT_EQ(image.pixel(5, 95), qRgb(0x80, 0, 0)) << "index 1 of the default palette";
    EXPECT_EQ(image.pixel(95, 95), kBlue) << "index 1 of the selected palette";
    EXPECT_EQ(image.pixel(20, 25), kBlue) << "the bitmap's first pixel names palette entry 1";
    EXPECT_EQ(image.pixel(80, 25), kRed);
}

TEST(EmfBitmaps, stretchedBitmapsAreSmoothedOnlyInHalftoneMode)
{
    QImage twoPixels(2, 1, QImage::Format_RGB32);
    twoPixels.setPixel(0, 0, kRed);
    twoPixels.setPixel(1, 0, kBlue);
    const auto blendedPixels = [&](int stretchMode) {
        EmfBuilder b(QSize(100, 10));
        if (stretchMode != 0)
            b.record(21, {stretchMode}); // SETSTRETCHBLTMODE
        b.stretchDiBits(QRect(0, 0, 100, 10), twoPixels);
        const QImage image = render(b.finish());
        return image.width() * image.height() - count(image, image.rect(), kRed) - count(image, image.rect(), kBlue);
    };
    EXPECT_EQ(blendedPixels(0), 0) << "the default mode copies whole pixels";
    EXPECT_EQ(blendedPixels(3), 0) << "COLORONCOLOR";
    EXPECT_GT(blendedPixels(4), 0) << "HALFTONE blends neighbours";
}

namespace {

/** PLGBLT of all of `image` onto the parallelogram `corners`, through `maskDib` (a 1-bit DIB) unless it is empty. */
void plgBlt(EmfBuilder& b, const std::array<QPoint, 3>& corners, const QImage& image, const QByteArray& maskDib = {})
{
    const QByteArray dib = testing_support::bmpFromImage(image).mid(14);
    const std::uint32_t fixed = 140;
    const std::uint32_t maskAt = fixed + std::uint32_t(dib.size());
    QByteArray params(16, '\0'); // bounds
    for (const QPoint& corner : corners) {
        testing_support::putLe32(params, std::uint32_t(corner.x()));
        testing_support::putLe32(params, std::uint32_t(corner.y()));
    }
    for (const int v : {0, 0, image.width(), image.height()})
        testing_support::putLe32(params, std::uint32_t(v));
    params.append(24, '\0'); // the source's transform
    for (const std::uint32_t v : {0u, 0u, fixed, 40u, fixed + 40, std::uint32_t(dib.size()) - 40, 0u, 0u, 0u})
        testing_support::putLe32(params, v);
    const auto maskInfo = std::uint32_t(48); // info header and two colours
    for (const std::uint32_t v : {maskAt, maskInfo, maskAt + maskInfo, std::uint32_t(maskDib.size()) - maskInfo})
        testing_support::putLe32(params, maskDib.isEmpty() ? 0 : v);
    b.raw(79, params + dib + maskDib);
}

/** A black frame drawn by RECTANGLE(20, 20, 80, 80) with nothing inside, and the red brush selected. */
EmfBuilder framedPicture()
{
    EmfBuilder b(QSize(100, 100));
    b.createPen(1, 0, 1, 0).select(1).select(0x80000005).rectangle(QRect(20, 20, 60, 60));
    b.select(kNullPen).createBrush(2, 0, kRedRef).select(2);
    return b;
}

QImage floodFilled(QPoint start, std::uint32_t colorRef, int mode, const QRect& clip = {})
{
    EmfBuilder b = framedPicture();
    if (!clip.isNull())
        b.intersectClipRect(clip);
    b.record(53, {start.x(), start.y(), std::int32_t(colorRef), mode}); // EXTFLOODFILL
    return render(b.finish());
}

} // namespace

TEST(EmfBitmaps, plgBltTurnsTheBitmapOntoTheParallelogramThroughItsMask)
{
    QImage quarters(2, 2, QImage::Format_RGB32);
    quarters.setPixel(0, 0, kRed);
    quarters.setPixel(1, 0, kBlue);
    quarters.setPixel(0, 1, qRgb(0, 255, 0));
    quarters.setPixel(1, 1, kBlack);
    // The source's top edge runs down the right side: a quarter turn clockwise.
    const std::array<QPoint, 3> corners {QPoint(60, 20), QPoint(60, 60), QPoint(20, 20)};
    EmfBuilder b(QSize(100, 100));
    plgBlt(b, corners, quarters);
    const QImage turned = render(b.finish());
    EXPECT_EQ(turned.pixel(50, 30), kRed);
    EXPECT_EQ(turned.pixel(50, 50), kBlue);
    EXPECT_EQ(turned.pixel(30, 30), qRgb(0, 255, 0));
    EXPECT_EQ(turned.pixel(30, 50), kBlack);
    EXPECT_EQ(inkBox(turned), QRect(20, 20, 40, 40));

    testing_support::BmpSpec mask;
    mask.width = 2;
    mask.height = 2;
    mask.bitCount = 1;
    mask.palette = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
    mask.pixels = testing_support::packRows(1, {{0, 0}, {1, 0}}); // bottom row first: only the top left is set
    EmfBuilder masked(QSize(100, 100));
    masked.createBrush(1, 0, kBlueRef).select(1).select(kNullPen).rectangle(QRect(0, 0, 100, 100));
    plgBlt(masked, corners, quarters, testing_support::buildDib(mask));
    const QImage image = render(masked.finish());
    EXPECT_EQ(count(image, QRect(40, 20, 20, 20), kRed), 20 * 20) << "where the mask is set";
    EXPECT_EQ(count(image, QRect(0, 0, 100, 100), kBlue), 100 * 100 - 20 * 20) << "elsewhere the picture stays";
}

TEST(EmfFloodFill, fillsUpToTheBorderColourOrOverTheSurfaceColour)
{
    const QRect frame = inkBox(render(framedPicture().finish()));
    const QRect within = frame.adjusted(1, 1, -1, -1);
    ASSERT_GT(within.width(), 50);
    const int all = 100 * 100;

    const QImage inside = floodFilled({50, 50}, 0, 0);
    EXPECT_EQ(count(inside, within, kRed), within.width() * within.height()) << "everything up to the black frame";
    EXPECT_EQ(count(inside, QRect(0, 0, 100, 100), kRed), within.width() * within.height()) << "nothing beyond it";
    EXPECT_EQ(count(inside, frame, kBlack), frame.width() * frame.height() - within.width() * within.height());

    const QImage outside = floodFilled({5, 5}, EmfBuilder::colorRef(255, 255, 255), 1);
    EXPECT_EQ(count(outside, QRect(0, 0, 100, 100), kRed), all - frame.width() * frame.height())
        << "the white joined to the start";
    EXPECT_EQ(outside.pixel(50, 50), kWhite) << "the white inside the frame is not joined to it";

    const QImage clipped = floodFilled({30, 50}, 0, 0, QRect(0, 0, 50, 100));
    EXPECT_EQ(count(clipped, QRect(0, 0, 100, 100), kRed), (50 - within.left()) * within.height())
        << "the fill stays inside the clip";
}

TEST(EmfFloodFill, startingOnTheBorderOutsideThePictureOrTheClipFillsNothing)
{
    const QImage none = render(framedPicture().finish());
    EXPECT_EQ(floodFilled({20, 50}, 0, 0), none) << "the start is of the border colour";
    EXPECT_EQ(floodFilled({50, 50}, EmfBuilder::colorRef(0, 0, 255), 1), none) << "the start is not of the surface";
    EXPECT_EQ(floodFilled({500, 50}, 0, 0), none);
    EXPECT_EQ(floodFilled({-2000000000, 50}, 0, 0), none);
    EXPECT_EQ(floodFilled({50, 50}, 0, 0, QRect(0, 0, 10, 10)), none);
}

TEST(EmfFloodFill, aTallFillLaysTheBrushPatternWithoutSeams)
{
    // Hatched brushes repeat every 8 pixels; below a black bar 5 rows high, the fill must match a rectangle
    // filled with the same brush.
    auto hatched = [](bool flood) {
        EmfBuilder b(QSize(30, 700));
        b.select(kNullPen).createBrush(1, 2, kRedRef, 3).createBrush(2, 0, 0); // HS_FDIAGONAL; black
        if (flood)
            b.select(2).rectangle(QRect(0, 0, 31, 5)).select(1).record(53, {5, 50, 0xFFFFFF, 1}); // EXTFLOODFILL
        else
            b.select(1).rectangle(QRect(0, 0, 31, 701)).select(2).rectangle(QRect(0, 0, 31, 5));
        return render(b.finish());
    };
    const QImage filled = hatched(true);
    EXPECT_GT(count(filled, filled.rect(), kRed), 700 * 30 / 16);
    EXPECT_EQ(filled, hatched(false));
}

// --- Monochrome pattern brushes ---------------------------------------------------------------------------------

namespace {

/** A brush record's kind, colour usage and colour table, and the colours its 0 and 1 bits are painted in. */
struct PatternCase {
    const char* name;
    std::uint32_t type; // 93 CREATEMONOBRUSH, 94 CREATEDIBPATTERNBRUSHPT
    std::uint32_t usage;
    std::vector<QRgb> table;
    QRgb zeroBits;
    QRgb oneBits;
};

class EmfPatternBrush : public testing::TestWithParam<PatternCase> { };

TEST_P(EmfPatternBrush, paintsItsBitsInTheExpectedColours)
{
    const PatternCase& c = GetParam();
    // Four columns of 1 bits, then four of 0 bits; text colour blue, background colour yellow.
    const QByteArray dib = testing_support::dib1(std::vector<std::uint8_t>(8, 0xF0), c.table);
    EmfBuilder b(QSize(64, 64));
    b.setTextColor(kBlueRef).setBkColor(EmfBuilder::colorRef(255, 255, 0)).select(kNullPen);
    b.patternBrush(c.type, 1, c.usage, dib, 40 + 4 * int(c.table.size())).select(1).rectangle(QRect(0, 0, 64, 64));
    const QImage image = render(b.finish());
    for (int x : {0, 3, 8, 11, 40}) {
        EXPECT_EQ(image.pixel(x, 20), c.oneBits) << "column " << x;
        EXPECT_EQ(image.pixel(x + 4, 20), c.zeroBits) << "column " << x + 4;
    }
    EXPECT_EQ(count(image, QRect(0, 0, 64, 64), c.zeroBits), 64 * 32);
}

INSTANTIATE_TEST_SUITE_P(Records, EmfPatternBrush,
    testing::Values(PatternCase {"monoBrushBlackWhiteTable", 93, 0, {kBlack, kWhite}, kBlue, kYellow},
        PatternCase {"monoBrushIgnoresItsTableColours", 93, 0, {kRed, kGreen}, kBlue, kYellow},
        PatternCase {"monoBrushWithoutTable", 93, 2, {}, kBlue, kYellow},
        PatternCase {"dibBrushWithoutTable", 94, 2, {}, kBlue, kYellow},
        PatternCase {"dibBrushKeepsItsTableColours", 94, 0, {kRed, kGreen}, kRed, kGreen}),
    [](const testing::TestParamInfo<PatternCase>& param) { return std::string(param.param.name); });

TEST(EmfPatternBrush, takesTheColoursTheContextHasWhenItPaints)
{
    const QByteArray dib = testing_support::dib1(std::vector<std::uint8_t>(8, 0xF0), {kBlack, kWhite});
    EmfBuilder b(QSize(64, 64));
    b.setTextColor(kBlueRef).setBkColor(EmfBuilder::colorRef(255, 255, 0)).select(kNullPen);
    b.patternBrush(93, 1, 0, dib, 48).select(1);
    b.setTextColor(kRedRef).setBkColor(EmfBuilder::colorRef(0, 255, 0)).rectangle(QRect(0, 0, 64, 64));
    const QImage image = render(b.finish());
    EXPECT_EQ(image.pixel(1, 30), kGreen);
    EXPECT_EQ(image.pixel(5, 30), kRed);
}

} // namespace
