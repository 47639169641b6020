#include "store/wmf_layer.h"
#include "support/colours.h"

#include "platform/errors.h"
#include "support/image_compare.h"
#include "support/shared_samples.h"
#include "support/temp_dir.h"
#include "support/wmf_builder.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>

#include <gtest/gtest.h>

using namespace testing_support::colours;

using testing_support::dib24;
using testing_support::leWords;
using testing_support::WmfBuilder;

namespace {

constexpr int kNullPen = 5;
constexpr std::uint16_t kSetBkMode = 0x0102;

/** A builder whose window is 100 × 100 units, one unit per pixel of the 100 × 100 picture. */
WmfBuilder pixels()
{
    WmfBuilder builder;
    builder.window(0, 0, 100, 100);
    return builder;
}

/** A null pen and a solid brush of `colour` selected, in slots 0 and 1. */
WmfBuilder& fillWith(WmfBuilder& builder, QColor colour)
{
    return builder.pen(kNullPen, 0, Qt::black).select(0).brush(0, colour).select(1);
}

QImage render(const QByteArray& placeableFile)
{
    testing_support::ensureGuiApplication();
    return store::loadPlaceableWmf(placeableFile)->image();
}

QImage render(const WmfBuilder& builder, int width = 100, int height = 100)
{
    return render(builder.placeable(0, 0, width, height, 96));
}

/** The bounding box of pixels that are not white. */
QRect inked(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != kWhite)
                box |= QRect(x, y, 1, 1);
    return box;
}

/** Pixels well inside `area` have `colour`; pixels just outside it are white. */
void expectArea(const QImage& image, QRect area, QRgb colour)
{
    const QRect inner = area.adjusted(2, 2, -2, -2);
    for (QPoint p : {inner.topLeft(), inner.topRight(), inner.bottomLeft(), inner.bottomRight(), inner.center()})
        EXPECT_EQ(image.pixel(p), colour) << p.x() << "," << p.y();
    const QRect outer = area.adjusted(-2, -2, 2, 2);
    for (QPoint p : {QPoint(outer.left(), area.center().y()), QPoint(outer.right(), area.center().y()),
             QPoint(area.center().x(), outer.top()), QPoint(area.center().x(), outer.bottom())})
        if (image.rect().contains(p)) {
            EXPECT_EQ(image.pixel(p), kWhite) << p.x() << "," << p.y();
        }
}

/** A 24-bit device-dependent Bitmap16 of `image`, rows top first, padded to 16 bits. */
QByteArray bitmap16(const QImage& image)
{
    const int stride = (image.width() * 3 + 1) / 2 * 2;
    QByteArray out = leWords({0, image.width(), image.height(), stride, 0x1801});
    for (int y = 0; y < image.height(); ++y) {
        QByteArray row;
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            row.append(char(qBlue(pixel))).append(char(qGreen(pixel))).append(char(qRed(pixel)));
        }
        out += row + QByteArray(stride - row.size(), '\0');
    }
    return out;
}

/** A 4-bit device-dependent Bitmap16 of `image`, whose colours must be among the sixteen of a 16-colour display. */
QByteArray bitmap16Vga(const QImage& image)
{
    const QVector<QRgb> vga {0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080, 0xFF008080,
        0xFFC0C0C0, 0xFF808080, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00, 0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF};
    const int stride = (image.width() + 3) / 4 * 2;
    QByteArray out = leWords({0, image.width(), image.height(), stride, 0x0401});
    for (int y = 0; y < image.height(); ++y) {
        QByteArray row(stride, '\0');
        for (int x = 0; x < image.width(); ++x) {
            const auto index = vga.indexOf(image.pixel(x, y));
            EXPECT_GE(index, 0);
            row[x / 2] = char(row[x / 2] | (x % 2 == 0 ? index << 4 : index));
        }
        out += row;
    }
    return out;
}

/** Offset of the first record with `function` in a placeable file. */
int recordOffset(const QByteArray& file, std::uint16_t function)
{
    for (int at = 22 + 18; at + 6 <= file.size();) {
        const auto words = std::uint32_t(std::uint8_t(file[at])) | (std::uint32_t(std::uint8_t(file[at + 1])) << 8);
        const int found = std::uint8_t(file[at + 4]) | (std::uint8_t(file[at + 5]) << 8);
        if (found == function)
            return at;
        at += int(words) * 2;
    }
    return -1;
}

QByteArray rop(std::uint32_t value)
{
    return leWords({int(value & 0xFFFF), int(value >> 16)});
}

constexpr std::uint32_t kSrcCopy = 0x00CC0020;
constexpr std::uint32_t kPatCopy = 0x00F00021;

/** Red, green over blue, white. */
QImage quadrants()
{
    QImage image(2, 2, QImage::Format_RGB32);
    image.setPixel(0, 0, kRed);
    image.setPixel(1, 0, kGreen);
    image.setPixel(0, 1, kBlue);
    image.setPixel(1, 1, kWhite);
    return image;
}

/** Colours equal within a little blending at the edges of stretched pixels. */
bool near(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) <= 16 && std::abs(qGreen(a) - qGreen(b)) <= 16
        && std::abs(qBlue(a) - qBlue(b)) <= 16;
}

void expectQuadrants(const QImage& image, QRect area)
{
    const int qx = area.width() / 4, qy = area.height() / 4;
    EXPECT_PRED2(near, image.pixel(area.left() + qx, area.top() + qy), kRed);
    EXPECT_PRED2(near, image.pixel(area.right() - qx, area.top() + qy), kGreen);
    EXPECT_PRED2(near, image.pixel(area.left() + qx, area.bottom() - qy), kBlue);
    EXPECT_PRED2(near, image.pixel(area.right() - qx, area.bottom() - qy), kWhite);
}

void putLe32(QByteArray& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

QByteArray emfRecord(std::uint32_t type, const QVector<std::uint32_t>& values)
{
    QByteArray out;
    putLe32(out, type);
    putLe32(out, std::uint32_t(8 + 4 * values.size()));
    for (std::uint32_t v : values)
        putLe32(out, v);
    return out;
}

/** A 100 × 100 pixel enhanced metafile that fills the rectangle 10..90 with `colour`. */
QByteArray tinyEmf(QRgb colour)
{
    const std::uint32_t colorRef = qRed(colour) | (qGreen(colour) << 8) | (qBlue(colour) << 16);
    // Bounds, frame (0.01 mm: 100 pixels at 96 per inch), signature, version, size, records, handles, description,
    // palette, reference device in pixels and millimetres.
    QByteArray emf
        = emfRecord(1, {0, 0, 99, 99, 0, 0, 2645, 2645, 0x464D4520, 0x10000, 0, 5, 2, 0, 0, 0, 100, 100, 26, 26});
    emf += emfRecord(39, {1, 0, colorRef, 0}); // CREATEBRUSHINDIRECT into handle 1
    emf += emfRecord(37, {1}); // SELECTOBJECT
    emf += emfRecord(43, {10, 10, 90, 90}); // RECTANGLE
    emf += emfRecord(14, {0, 16, 20}); // EOF
    QByteArray size;
    putLe32(size, std::uint32_t(emf.size()));
    emf.replace(48, 4, size);
    return emf;
}

} // namespace

// --- Mapping ----------------------------------------------------------------------------------------------------

TEST(WmfPlayerMapping, PicturesStartWhiteAtTheirNaturalSize)
{
    const QImage image = render(WmfBuilder(), 40, 30);
    EXPECT_EQ(image.size(), QSize(40, 30));
    EXPECT_TRUE(inked(image).isNull());
}

TEST(WmfPlayerMapping, TheRecordsWindowScalesIntoThePlaceableBox)
{
    WmfBuilder builder;
    builder.window(0, 0, 1000, 1000);
    fillWith(builder, kBlue).rectangle(500, 500, 1000, 1000);
    expectArea(render(builder), QRect(50, 50, 50, 50), kBlue);
}

TEST(WmfPlayerMapping, TheWindowOriginMovesThePicture)
{
    WmfBuilder builder;
    builder.window(-100, -100, 200, 200);
    fillWith(builder, kBlue).rectangle(0, 0, 100, 100);
    expectArea(render(builder), QRect(50, 50, 50, 50), kBlue);
}

TEST(WmfPlayerMapping, WithoutWindowRecordsTheBoxIsTheWindow)
{
    // 2540 units per inch: the box's 2540 units are 96 pixels.
    WmfBuilder builder;
    fillWith(builder, kBlue).rectangle(1270, 1270, 2540, 2540);
    const QImage image = render(builder.placeable(0, 0, 2540, 2540, 2540));
    EXPECT_EQ(image.size(), QSize(96, 96));
    expectArea(image, QRect(48, 48, 48, 48), kBlue);
}

// --- Objects ----------------------------------------------------------------------------------------------------

TEST(WmfPlayerObjects, ShapesUseTheSelectedPenAndBrush)
{
    WmfBuilder builder = pixels();
    builder.pen(0, 4, kRed).select(0).brush(0, kBlue).select(1).rectangle(20, 20, 80, 80);
    const QImage image = render(builder);
    EXPECT_EQ(image.pixel(50, 50), kBlue);
    EXPECT_EQ(image.pixel(20, 50), kRed);
    EXPECT_EQ(image.pixel(10, 10), kWhite);
}

TEST(WmfPlayerObjects, ANewObjectTakesTheLowestFreeSlot)
{
    WmfBuilder builder = pixels();
    builder.pen(kNullPen, 0, Qt::black).select(0); // slot 0
    builder.brush(0, kRed).brush(0, kGreen); // slots 1 and 2
    builder.deleteObject(1).brush(0, kBlue); // back into slot 1
    builder.select(1).rectangle(0, 0, 50, 100).select(2).rectangle(50, 0, 100, 100);
    const QImage image = render(builder);
    EXPECT_EQ(image.pixel(25, 50), kBlue);
    EXPECT_EQ(image.pixel(75, 50), kGreen);
}

TEST(WmfPlayerObjects, IndicesOutOfRangeAreIgnored)
{
    WmfBuilder builder = pixels();
    fillWith(builder, kBlue).select(7).select(65535).deleteObject(4000).rectangle(0, 0, 100, 100);
    EXPECT_EQ(render(builder).pixel(50, 50), kBlue);
}

TEST(WmfPlayerObjects, RestoringTheStateBringsBackTheBrush)
{
    WmfBuilder builder = pixels();
    fillWith(builder, kBlue).record(0x001E, {}).brush(0, kRed).select(2).record(0x0127, {-1});
    builder.rectangle(0, 0, 100, 100);
    EXPECT_EQ(render(builder).pixel(50, 50), kBlue);
}

TEST(WmfPlayerObjects, DibPatternBrushesFillWithTheirBitmap)
{
    QImage green(2, 2, QImage::Format_RGB32);
    green.fill(kGreen);
    WmfBuilder builder = pixels();
    builder.pen(kNullPen, 0, Qt::black).select(0);
    builder.recordBytes(0x0142, leWords({5, 0}) + dib24(green)).select(1).rectangle(0, 0, 100, 100);
    EXPECT_EQ(render(builder).pixel(50, 50), kGreen);
}

/** A META_DIBCREATEPATTERNBRUSH's style, colour usage and colour table, and the colours of its 0 and 1 bits. */
struct WmfPatternCase {
    const char* name;
    int style; // 3 BS_PATTERN, 5 BS_DIBPATTERN
    int usage;
    std::vector<QRgb> table;
    QRgb zeroBits;
    QRgb oneBits;
};

class WmfPatternBrush : public testing::TestWithParam<WmfPatternCase> { };

TEST_P(WmfPatternBrush, paintsItsBitsInTheExpectedColours)
{
    const WmfPatternCase& c = GetParam();
    WmfBuilder builder = pixels();
    builder.pen(kNullPen, 0, Qt::black).select(0);
    builder.record(0x0209, {0x0000, 0x00FF}); // SetTextColor: blue
    builder.record(0x0201, {0xFFFF, 0x0000}); // SetBkColor: yellow
    const QByteArray dib = testing_support::dib1(std::vector<std::uint8_t>(8, 0xF0), c.table);
    builder.recordBytes(0x0142, leWords({c.style, c.usage}) + dib).select(1).rectangle(0, 0, 100, 100);
    const QImage image = render(builder);
    for (int x : {0, 3, 8, 48}) {
        EXPECT_EQ(image.pixel(x, 50), c.oneBits) << "column " << x;
        EXPECT_EQ(image.pixel(x + 4, 50), c.zeroBits) << "column " << x + 4;
    }
}

INSTANTIATE_TEST_SUITE_P(Records, WmfPatternBrush,
    testing::Values(WmfPatternCase {"patternBrushIsMonochrome", 3, 0, {kRed, kGreen}, kBlue, qRgb(255, 255, 0)},
        WmfPatternCase {"dibBrushWithoutTable", 5, 2, {}, kBlue, qRgb(255, 255, 0)},
        WmfPatternCase {"dibBrushKeepsItsTableColours", 5, 0, {kRed, kGreen}, kRed, kGreen}),
    [](const testing::TestParamInfo<WmfPatternCase>& param) { return std::string(param.param.name); });

// --- Drawing ----------------------------------------------------------------------------------------------------

TEST(WmfPlayerDrawing, PolyPolygonFillModes)
{
    const QVector<int> outer {10, 10, 90, 10, 90, 90, 10, 90};
    const QVector<int> inner {30, 30, 70, 30, 70, 70, 30, 70};
    QByteArray params = leWords({2, 4, 4});
    for (int v : outer + inner)
        params += leWords({v});

    WmfBuilder alternate = pixels();
    fillWith(alternate, kBlue).recordBytes(0x0538, params);
    const QImage holed = render(alternate);
    EXPECT_EQ(holed.pixel(50, 50), kWhite);
    EXPECT_EQ(holed.pixel(20, 50), kBlue);

    WmfBuilder winding = pixels();
    fillWith(winding, kBlue).record(0x0106, {2}).recordBytes(0x0538, params);
    EXPECT_EQ(render(winding).pixel(50, 50), kBlue);
}

TEST(WmfPlayerDrawing, LinesFollowTheCurrentPosition)
{
    WmfBuilder builder = pixels();
    builder.pen(0, 3, kRed).select(0).record(0x0214, {50, 10}).record(0x0213, {50, 90});
    const QImage image = render(builder);
    EXPECT_EQ(image.pixel(50, 50), kRed);
    EXPECT_EQ(image.pixel(5, 50), kWhite);
    EXPECT_EQ(image.pixel(50, 40), kWhite);
}

TEST(WmfPlayerDrawing, EllipsesAndPiesStayInsideTheirBox)
{
    WmfBuilder builder = pixels();
    fillWith(builder, kBlue).record(0x0418, {50, 50, 10, 10}); // ellipse in 10..50
    // A pie over the right half of the box 50..90, from the top of the circle counter-clockwise to the bottom.
    builder.record(0x081A, {90, 70, 50, 70, 90, 90, 50, 50});
    const QImage image = render(builder);
    EXPECT_EQ(image.pixel(30, 30), kBlue);
    EXPECT_EQ(image.pixel(11, 11), kWhite); // the ellipse's corner
    EXPECT_EQ(image.pixel(60, 70), kBlue); // the pie's left half
    EXPECT_EQ(image.pixel(80, 70), kWhite);
}

TEST(WmfPlayerDrawing, ClipRectanglesLimitDrawing)
{
    WmfBuilder builder = pixels();
    fillWith(builder, kBlue).record(0x0416, {100, 50, 0, 0}).rectangle(0, 0, 100, 100);
    const QImage image = render(builder);
    EXPECT_EQ(image.pixel(25, 50), kBlue);
    EXPECT_EQ(image.pixel(75, 50), kWhite);

    WmfBuilder excluded = pixels();
    fillWith(excluded, kBlue).record(0x0415, {100, 50, 0, 0}).rectangle(0, 0, 100, 100);
    const QImage rest = render(excluded);
    EXPECT_EQ(rest.pixel(25, 50), kWhite);
    EXPECT_EQ(rest.pixel(75, 50), kBlue);
}

TEST(WmfPlayerDrawing, RegionsClipAndFill)
{
    // One scan from y 0 to 100 with one span from x 0 to 50.
    const QByteArray region = leWords({0, 6, 0, 0, 34, 1, 4, 0, 0, 50, 100, 2, 0, 100, 0, 50, 2});
    WmfBuilder clipped = pixels();
    fillWith(clipped, kBlue).recordBytes(0x06FF, region).record(0x012C, {2}).rectangle(0, 0, 100, 100);
    const QImage image = render(clipped);
    EXPECT_EQ(image.pixel(25, 50), kBlue);
    EXPECT_EQ(image.pixel(75, 50), kWhite);

    WmfBuilder filled = pixels();
    filled.recordBytes(0x06FF, region).brush(0, kGreen).record(0x0228, {0, 1});
    const QImage fill = render(filled);
    EXPECT_EQ(fill.pixel(25, 50), kGreen);
    EXPECT_EQ(fill.pixel(75, 50), kWhite);
}

TEST(WmfPlayerDrawing, FloodFillsSpreadToTheBorderOrOverTheSurface)
{
    // A black frame with nothing inside (slots 0 and 1), then a blue brush (slot 2).
    auto framed = [] {
        WmfBuilder builder = pixels();
        builder.pen(0, 1, Qt::black).select(0).brush(1, Qt::black).select(1).rectangle(20, 20, 80, 80);
        builder.brush(0, kBlue).select(2);
        return builder;
    };
    WmfBuilder border = framed();
    border.record(0x0419, {0, 0, 50, 50}); // FLOODFILL up to black, from the middle
    const QImage inside = render(border);
    EXPECT_EQ(inside.pixel(50, 50), kBlue);
    EXPECT_EQ(inside.pixel(22, 77), kBlue);
    EXPECT_EQ(inside.pixel(5, 5), kWhite);

    WmfBuilder surface = framed();
    surface.record(0x0548, {1, 0xFFFF, 0x00FF, 5, 5}); // EXTFLOODFILL over white, from a corner
    const QImage outside = render(surface);
    EXPECT_EQ(outside.pixel(5, 5), kBlue);
    EXPECT_EQ(outside.pixel(95, 50), kBlue);
    EXPECT_EQ(outside.pixel(50, 50), kWhite);
}

// --- Text -------------------------------------------------------------------------------------------------------

TEST(WmfPlayerText, TextIsDrawnInTheTextColour)
{
    WmfBuilder builder = pixels();
    builder.font(-40, "Arial").select(0).record(0x0209, {0x00FF, 0}).textOut(10, 10, "HH");
    const QImage image = render(builder);
    const QRect ink = inked(image);
    ASSERT_FALSE(ink.isNull());
    EXPECT_GE(ink.left(), 9);
    EXPECT_GE(ink.top(), 9);
    EXPECT_LT(ink.bottom(), 60);
    int red = 0;
    for (int y = ink.top(); y <= ink.bottom(); ++y)
        for (int x = ink.left(); x <= ink.right(); ++x)
            red += image.pixel(x, y) == kRed;
    EXPECT_GT(red, 20);
}

TEST(WmfPlayerText, AdvanceArraysSpaceTheCharacters)
{
    auto extTextOut = [](const QVector<int>& dx) {
        QByteArray params = leWords({10, 5, 2, 0}) + QByteArray("II");
        for (int d : dx)
            params += leWords({d});
        WmfBuilder builder = pixels();
        builder.font(-30, "Arial").select(0).recordBytes(0x0A32, params);
        return inked(render(builder));
    };
    const QRect natural = extTextOut({});
    const QRect spread = extTextOut({70, 10});
    ASSERT_FALSE(natural.isNull());
    EXPECT_LT(natural.width(), 30);
    EXPECT_GT(spread.width(), 65);
}

TEST(WmfPlayerText, OpaqueRectanglesAreFilledWithTheBackgroundColour)
{
    WmfBuilder builder = pixels();
    builder.font(-20, "Arial").select(0).record(0x0201, {0xFF00, 0x0000});
    builder.recordBytes(0x0A32, leWords({10, 10, 1, 2, 10, 10, 90, 40}) + QByteArray(" ") + QByteArray(1, '\0'));
    const QImage image = render(builder);
    EXPECT_EQ(image.pixel(50, 25), kGreen);
    EXPECT_EQ(image.pixel(50, 60), kWhite);
}

// --- Bitmaps ----------------------------------------------------------------------------------------------------

struct BitmapCase {
    const char* name;
    std::uint16_t function;
    QByteArray params;
    QRect area;
};

class WmfPlayerBitmaps : public testing::TestWithParam<BitmapCase> { };

TEST_P(WmfPlayerBitmaps, DrawsTheBitmapTheRightWayUp)
{
    const BitmapCase& c = GetParam();
    WmfBuilder builder = pixels();
    builder.recordBytes(c.function, c.params);
    const QImage image = render(builder);
    const QRect margin = c.area.adjusted(-1, -1, 1, 1);
    EXPECT_EQ(inked(image).intersected(margin), inked(image));
    expectQuadrants(image, c.area);
}

INSTANTIATE_TEST_SUITE_P(Records, WmfPlayerBitmaps,
    testing::Values(
        BitmapCase {"DibStretchBlt", 0x0B41, rop(kSrcCopy) + leWords({2, 2, 0, 0, 80, 80, 10, 10}) + dib24(quadrants()),
            QRect(10, 10, 80, 80)},
        BitmapCase {"StretchDib", 0x0F43, rop(kSrcCopy) + leWords({0, 2, 2, 0, 0, 60, 40, 0, 0}) + dib24(quadrants()),
            QRect(0, 0, 40, 60)},
        BitmapCase {"DibBitBlt", 0x0940,
            rop(kSrcCopy) + leWords({0, 0, 40, 40, 5, 5}) + dib24(quadrants().scaled(40, 40)), QRect(5, 5, 40, 40)},
        BitmapCase {"SetDibToDev", 0x0D33,
            leWords({0, 40, 0, 0, 0, 40, 40, 20, 30}) + dib24(quadrants().scaled(40, 40)), QRect(30, 20, 40, 40)},
        BitmapCase {"BitBltBitmap16", 0x0922,
            rop(kSrcCopy) + leWords({0, 0, 30, 30, 50, 60}) + bitmap16(quadrants().scaled(30, 30)),
            QRect(60, 50, 30, 30)},
        BitmapCase {"BitBltBitmap16FourBits", 0x0922,
            rop(kSrcCopy) + leWords({0, 0, 31, 31, 50, 60}) + bitmap16Vga(quadrants().scaled(31, 31)),
            QRect(60, 50, 31, 31)}),
    [](const testing::TestParamInfo<BitmapCase>& param) { return std::string(param.param.name); });

TEST(WmfPlayerBitmapRecords, WithoutABitmapTheBrushIsTheSource)
{
    WmfBuilder builder = pixels();
    builder.brush(0, kGreen).select(0).recordBytes(0x0940, rop(kPatCopy) + leWords({0, 0, 0, 50, 50, 10, 10}));
    const QImage image = render(builder);
    EXPECT_EQ(image.pixel(30, 30), kGreen);
    EXPECT_EQ(image.pixel(70, 70), kWhite);
}

TEST(WmfPlayerBitmapRecords, DamagedBitmapsAreSkipped)
{
    QByteArray hugeDib = dib24(quadrants());
    hugeDib[4] = char(0xFF); // width 255 with pixels for 2
    hugeDib[5] = char(0x3F);
    WmfBuilder builder = pixels();
    builder.recordBytes(0x0F43, rop(kSrcCopy) + leWords({0, 2, 2, 0, 0, 60, 40, 0, 0}) + hugeDib);
    builder.recordBytes(0x0F43, rop(kSrcCopy) + leWords({0, 2, 2, 0, 0, 60, 40, 0, 0}) + dib24(quadrants()).left(30));
    fillWith(builder, kBlue).rectangle(90, 90, 100, 100);
    const QImage image = render(builder);
    EXPECT_EQ(image.pixel(20, 20), kWhite);
    EXPECT_EQ(image.pixel(95, 95), kBlue);
}

// --- Embedded enhanced metafiles ---------------------------------------------------------------------------------

TEST(WmfPlayerEmbeddedEmf, IsDrawnInsteadOfTheRecords)
{
    for (int pieces : {1, 3}) {
        WmfBuilder builder;
        builder.embeddedEmf(tinyEmf(kGreen), pieces).window(0, 0, 100, 100);
        fillWith(builder, kRed).rectangle(0, 0, 100, 100);
        const QImage image = render(builder);
        EXPECT_EQ(image.pixel(50, 50), kGreen) << pieces;
        EXPECT_EQ(image.pixel(5, 5), kWhite) << pieces;
    }
}

TEST(WmfPlayerEmbeddedEmf, AnIncompleteOneLeavesTheRecordsToDraw)
{
    WmfBuilder builder;
    builder.embeddedEmf(tinyEmf(kGreen), 3).window(0, 0, 100, 100);
    fillWith(builder, kRed).rectangle(0, 0, 100, 100);
    QByteArray file = builder.placeable(0, 0, 100, 100);
    // Make the last piece's escape another escape function: the EMF then lacks its end.
    const qsizetype lastPiece = file.lastIndexOf("WMFC");
    ASSERT_GT(lastPiece, 0);
    file[lastPiece - 4] = 0x10;
    EXPECT_EQ(render(file).pixel(50, 50), kRed);
}

// --- Damaged files ----------------------------------------------------------------------------------------------

TEST(WmfPlayerDamage, ARecordThatDoesNotAdvanceOrRunsPastTheEndStopsPlayback)
{
    for (std::uint32_t badSize : {0u, 2u, 0x7FFFFFFFu}) {
        WmfBuilder builder = pixels();
        fillWith(builder, kBlue).rectangle(0, 0, 50, 50).record(kSetBkMode, {1}).rectangle(50, 50, 100, 100);
        QByteArray file = builder.placeable(0, 0, 100, 100);
        const int at = recordOffset(file, kSetBkMode);
        ASSERT_GT(at, 0);
        for (int i = 0; i < 4; ++i)
            file[at + i] = char((badSize >> (8 * i)) & 0xFF);
        const QImage image = render(file);
        EXPECT_EQ(image.pixel(25, 25), kBlue) << badSize; // what was drawn before stays
        EXPECT_EQ(image.pixel(75, 75), kWhite) << badSize;
    }
}

TEST(WmfPlayerDamage, LinesDrawnJustBeforeADamagedRecordStay)
{
    WmfBuilder builder = pixels();
    // MOVETO and LINETO take y before x.
    builder.pen(0, 1, kRed).select(0).record(0x0214, {50, 10}).record(0x0213, {50, 90}).record(0x0213, {90, 90});
    builder.record(kSetBkMode, {1});
    QByteArray file = builder.placeable(0, 0, 100, 100);
    const int at = recordOffset(file, kSetBkMode);
    ASSERT_GT(at, 0);
    for (int i = 0; i < 4; ++i)
        file[at + i] = 0; // a size that does not advance: playback stops there
    const QImage image = render(file);
    EXPECT_EQ(image.pixel(50, 50), kRed);
    // Both lines, the second from where the first ended; the last point's own pixel is left out.
    EXPECT_EQ(inked(image), QRect(10, 50, 81, 40));
}

TEST(WmfPlayerDamage, CountsLargerThanTheRecordAreCutToIt)
{
    WmfBuilder builder = pixels();
    fillWith(builder, kBlue);
    builder.recordBytes(0x0324, leWords({30000, 10, 10, 90, 10, 90, 90}));
    builder.recordBytes(0x0538, leWords({60000, 3, 3}));
    builder.recordBytes(0x0521, leWords({500}) + "abc");
    builder.recordBytes(0x0A32, leWords({0, 0, 400, 6, 1}));
    EXPECT_EQ(render(builder).pixel(70, 30), kBlue);
}

TEST(WmfPlayerDamage, TheZeroSizeRecordSampleRendersCleanly)
{
    REQUIRE_SHARED_SAMPLE("metafiles/malformed/wmf-zero-size-record.wmf");
    const QByteArray bytes
        = testing_support::fileBytes(testing_support::samplePath("metafiles/malformed/wmf-zero-size-record.wmf"));
    ASSERT_FALSE(bytes.isEmpty());
    const auto picture = store::loadPlaceableWmf(bytes);
    EXPECT_EQ(picture->image().size(), QSize(334, 333));
}
