#include "platform/bytes.h"
#include "platform/errors.h"
#include "store/bmp_layer.h"
#include "store/gdi/dib.h"
#include "store/layers.h"
#include "support/bmp_builder.h"
#include "support/colours.h"
#include "support/error_of.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>

using namespace testing_support::colours;

using namespace store;
using platform::asBytes;
using platform::readLe32;
using testing_support::BmpSpec;
using testing_support::buildBmp;
using testing_support::packRows;

namespace {

const std::vector<QRgb> kFour {kRed, kGreen, kBlue, kWhite};

QString errorOf(const std::function<void()>& action)
{
    return testing_support::errorOf(action, QStringLiteral("(no error)"));
}

QString loadError(const QByteArray& file)
{
    return errorOf([&] { (void)loadBmp(file); });
}

BmpSpec plan(int width, int height, int bitCount, QByteArray pixels, std::uint32_t compression = dib::Rgb)
{
    BmpSpec s;
    s.width = width;
    s.height = height;
    s.bitCount = bitCount;
    s.compression = compression;
    s.pixels = std::move(pixels);
    return s;
}

BmpSpec paletted(BmpSpec s)
{
    s.palette = kFour;
    s.colorsUsed = 4;
    return s;
}

/** A 3 x 2 picture of four colours at 24 bits. */
QByteArray smallBmp()
{
    return buildBmp(plan(3, 2, 24, packRows(24, {{0xFF0000, 0x00FF00, 0x0000FF}, {0xFFFFFF, 0, 0xFF0000}})));
}

TEST(BmpLoad, GivesSizeFormatAndPixels)
{
    const auto picture = loadBmp(smallBmp());
    EXPECT_EQ(picture->format(), PictureFormat::Bmp);
    EXPECT_EQ(picture->size(), QSize(3, 2));
    const QImage& image = picture->image();
    EXPECT_EQ(image.pixel(0, 0), kWhite);
    EXPECT_EQ(image.pixel(2, 0), kRed);
    EXPECT_EQ(image.pixel(1, 1), kGreen);
    EXPECT_EQ(&picture->image(), &image) << "the decoded image is kept";
}

TEST(BmpLoad, IgnoresWhatFollowsThePixelData)
{
    const QByteArray plain = smallBmp();
    const auto described = loadBmp(plain + "@||@some description");
    EXPECT_EQ(described->image(), loadBmp(plain)->image());
    EXPECT_EQ(described->pictureEnd(), plain.size());
}

TEST(BmpLoad, ColourTableStopsWhereThePixelsStart)
{
    // An 8-bit header claiming 256 colours with only four in front of the pixels.
    BmpSpec s = paletted(plan(2, 1, 8, packRows(8, {{3, 9}})));
    s.colorsUsed = 0;
    const auto picture = loadBmp(buildBmp(s));
    const auto* bmp = dynamic_cast<const BmpPicture*>(picture.get());
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(bmp->header().palette, kFour);
    EXPECT_EQ(picture->image().pixel(0, 0), kWhite);
    EXPECT_EQ(picture->image().pixel(1, 0), kBlack);
}

// Where the picture's own data ends.
struct EndCase {
    const char* name;
    BmpSpec plan;
    qsizetype appended;
    qint64 expected;
};

std::vector<EndCase> endCases()
{
    const QByteArray rows = packRows(24, {{1, 2, 3}, {4, 5, 6}}); // 2 rows of 12 bytes
    BmpSpec declared = plan(3, 2, 24, rows);
    declared.sizeImage = 20;
    BmpSpec computed = plan(3, 2, 24, rows);
    BmpSpec cut = plan(3, 2, 24, rows.left(13));
    BmpSpec rle = paletted(plan(4, 1, 8,
        QByteArray::fromHex("0401"
                            "0001"),
        dib::Rle8));
    BmpSpec gap = computed;
    gap.pixelOffset = 80;
    // An absolute run, an encoded run, an end of line, a delta and the end of the bitmap: 16 bytes.
    BmpSpec rleWithoutSize = paletted(plan(4, 2, 8,
        QByteArray::fromHex("0003010203000107000000020100"
                            "0001"),
        dib::Rle8));
    rleWithoutSize.sizeImage = 0;
    BmpSpec rleSizePastTheData = rleWithoutSize;
    rleSizePastTheData.sizeImage = 1000;
    return {
        {"FromTheImageSize", declared, 0, 54 + 20},
        {"ComputedWithPaddedRows", computed, 0, 54 + 24},
        {"ComputedWithADescriptionBehind", computed, 30, 54 + 24},
        {"NeverPastTheEndOfTheFile", cut, 0, 54 + 13},
        {"RunLengthImageSize", rle, 30, 54 + 16 + 4},
        {"BehindAGap", gap, 10, 80 + 24},
        {"RunLengthWithoutImageSizeEndsAtTheEndOfBitmap", rleWithoutSize, 40, 54 + 16 + 16},
        {"RunLengthImageSizePastTheDataEndsAtTheEndOfBitmap", rleSizePastTheData, 40, 54 + 16 + 16},
        {"RunLengthImageSizePastTheEndOfBitmapWithALongerTailBehind", rleSizePastTheData, 2000, 54 + 16 + 16},
    };
}

class BmpPictureEnd : public testing::TestWithParam<EndCase> { };

TEST_P(BmpPictureEnd, IsThePixelOffsetPlusThePixelDataLength)
{
    const QByteArray file = buildBmp(GetParam().plan) + QByteArray(GetParam().appended, '@');
    EXPECT_EQ(loadBmp(file)->pictureEnd(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, BmpPictureEnd, testing::ValuesIn(endCases()),
    [](const testing::TestParamInfo<EndCase>& param) { return std::string(param.param.name); });

// Kept in front of a description: the same pixels, never reading the description, for every depth and compression.
struct RoundTrip {
    const char* name;
    BmpSpec plan;
};

std::vector<RoundTrip> roundTrips()
{
    std::vector<RoundTrip> cases {
        {"OneBit", paletted(plan(9, 2, 1, packRows(1, {{1, 0, 1, 0, 1, 0, 1, 0, 1}, {0, 1, 1, 0, 0, 0, 0, 0, 1}})))},
        {"FourBit", paletted(plan(3, 2, 4, packRows(4, {{0, 1, 2}, {3, 0, 1}})))},
        {"EightBit", paletted(plan(2, 2, 8, packRows(8, {{2, 3}, {0, 1}})))},
        {"SixteenBit", plan(2, 1, 16, packRows(16, {{0x7C00, 0x1234}}))},
        {"TwentyFourBit", plan(2, 2, 24, packRows(24, {{0x112233, 0x445566}, {0x778899, 0xAABBCC}}))},
        {"ThirtyTwoBit", plan(2, 1, 32, packRows(32, {{0x11223344, 0x55667788}}))},
        {"BitFieldsBehindTheHeader", plan(2, 1, 16, packRows(16, {{0xF800, 0x07E0}}), dib::BitFields)},
        {"AlphaBitFields", plan(1, 1, 32, packRows(32, {{0x00332211}}), dib::AlphaBitFields)},
        {"RunLengthEight",
            paletted(plan(4, 2, 8,
                QByteArray::fromHex("0301"
                                    "0000"
                                    "0003020300"
                                    "00"
                                    "0001"),
                dib::Rle8))},
        {"RunLengthFour",
            paletted(plan(5, 1, 4,
                QByteArray::fromHex("0512"
                                    "0001"),
                dib::Rle4))},
        {"CoreHeader", paletted(plan(3, 2, 4, packRows(4, {{0, 1, 2}, {3, 0, 1}})))},
        {"CoreHeaderTrueColour", plan(2, 1, 24, packRows(24, {{0x123456, 0x654321}}))},
        {"TopDown", plan(2, 2, 24, packRows(24, {{0x112233, 0x445566}, {0x778899, 0xAABBCC}}))},
        {"VersionFiveHeader", plan(2, 2, 24, packRows(24, {{0x112233, 0x445566}, {0x778899, 0xAABBCC}}))},
        {"GapInFrontOfThePixels", paletted(plan(2, 2, 8, packRows(8, {{2, 3}, {0, 1}})))},
        {"PixelDataCutShort", plan(3, 3, 24, packRows(24, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}).left(20))},
        {"ImageSizeLargerThanTheData", plan(1, 1, 24, packRows(24, {{0x0000FF}}))},
    };
    auto at = [&](const char* name) -> BmpSpec& {
        for (auto& c : cases)
            if (std::string_view(c.name) == name)
                return c.plan;
        throw std::logic_error(name);
    };
    at("BitFieldsBehindTheHeader").masks = {0xF800, 0x07E0, 0x001F, 0};
    at("AlphaBitFields").masks = {0xFF, 0xFF00, 0xFF0000, 0xFF000000};
    at("CoreHeader").headerSize = 12;
    at("CoreHeader").palette.resize(16, kBlack);
    at("CoreHeaderTrueColour").headerSize = 12;
    at("TopDown").topDown = true;
    at("VersionFiveHeader").headerSize = 124;
    at("GapInFrontOfThePixels").pixelOffset = 200;
    at("ImageSizeLargerThanTheData").sizeImage = 4000;
    return cases;
}

class BmpRoundTrip : public testing::TestWithParam<RoundTrip> { };

TEST_P(BmpRoundTrip, KeptWithADescriptionBehindDecodesToIdenticalPixels)
{
    const QByteArray file = buildBmp(GetParam().plan);
    const auto original = loadBmp(file);
    const QByteArray kept = original->headForDescription(file);
    ASSERT_EQ(kept.size(), file.size());
    const auto reread = loadBmp(kept + "@||@" + QByteArray(500, '\xAB'));
    EXPECT_EQ(reread->size(), original->size());
    EXPECT_EQ(reread->image(), original->image());
    EXPECT_LE(reread->pictureEnd(), kept.size());
}

INSTANTIATE_TEST_SUITE_P(EveryKind, BmpRoundTrip, testing::ValuesIn(roundTrips()),
    [](const testing::TestParamInfo<RoundTrip>& param) { return std::string(param.param.name); });

TEST(BmpKeptForDescription, EveryByteStaysButAnImageSizeLargerThanThePixels)
{
    // An embedded colour profile behind the pixels, named by a version 5 header, and a wrong file size field.
    BmpSpec v5 = plan(1, 1, 24, packRows(24, {{0x112233}}));
    v5.headerSize = 124;
    QByteArray profiled = buildBmp(v5);
    const qsizetype profileAt = profiled.size();
    profiled.append(QByteArray(16, 'p'));
    auto put = [](QByteArray& file, qsizetype at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = char((v >> (8 * i)) & 0xFF);
    };
    put(profiled, 14 + 56, 0x4D424544); // 'MBED'
    put(profiled, 14 + 112, std::uint32_t(profileAt - 14));
    put(profiled, 14 + 116, 16);
    put(profiled, 2, 1);
    EXPECT_EQ(loadBmp(profiled)->headForDescription(profiled), profiled);

    // Pixels that end early: only the header's image size changes, to the length there is.
    const QByteArray cut = buildBmp(plan(3, 3, 24, packRows(24, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}).left(20)));
    const QByteArray kept = loadBmp(cut)->headForDescription(cut);
    EXPECT_EQ(readLe32(asBytes(kept), 14 + 20), 20u);
    EXPECT_EQ(kept.left(34) + kept.mid(38), cut.left(34) + cut.mid(38));

    // A core header has no image size to correct: such a bitmap cannot keep a description apart.
    BmpSpec core = plan(3, 3, 24, packRows(24, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}).left(20));
    core.headerSize = 12;
    const QByteArray shortCore = buildBmp(core);
    EXPECT_THROW((void)loadBmp(shortCore)->headForDescription(shortCore), platform::AppError);
}

// Files that are refused, with the message the user sees.
QByteArray withField(QByteArray file, int at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        file[at + i] = char((value >> (8 * i)) & 0xFF);
    return file;
}

TEST(BmpBadFiles, AreRefusedWithClearMessages)
{
    const QByteArray good = smallBmp();
    const struct {
        const char* name;
        QByteArray file;
        const char* message;
    } cases[] = {
        {"empty", {}, "Not a BMP file (no BM signature)"},
        {"one byte", "B", "Not a BMP file (no BM signature)"},
        {"other signature", "BA" + good.mid(2), "Not a BMP file (no BM signature)"},
        {"a JPEG", QByteArray::fromHex("FFD8FFE000104A464946"), "Not a BMP file (no BM signature)"},
        {"file header cut", good.left(13), "BMP header is truncated"},
        {"no info header", good.left(14), "BMP header is truncated"},
        {"info header cut", good.left(40), "BMP header is truncated"},
        {"offset outside the file", withField(good, 10, 5000),
            "BMP pixel data offset 5000 lies outside the file (78 bytes)"},
        {"offset inside the header", withField(good, 10, 20), "BMP pixel data offset 20 lies inside the header"},
        {"no pixel data", good.left(54), "BMP file has no pixel data"},
        {"absurd width", withField(good, 18, 0x7FFFFFFF), "BMP picture is too large (2147483647 x 2 pixels)"},
        {"negative width", withField(good, 18, std::uint32_t(-3)), "BMP width -3 is negative"},
        {"zero height", withField(good, 22, 0), "BMP picture has no pixels (width 3, height 0)"},
        {"bit count 7", withField(good, 28, 7), "Unsupported BMP bit count 7"},
        {"embedded JPEG", withField(good, 30, dib::Jpeg), "BMP pictures with embedded JPEG data are not supported"},
        {"embedded PNG", withField(good, 30, dib::Png), "BMP pictures with embedded PNG data are not supported"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(loadError(c.file), QString::fromUtf8(c.message)) << c.name;
}

} // namespace
