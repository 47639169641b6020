#include "platform/bytes.h"
#include "platform/errors.h"
#include "store/gdi/dib.h"
#include "support/bmp_builder.h"
#include "support/case_name.h"
#include "support/colours.h"
#include "support/error_of.h"

#include <gtest/gtest.h>

#include <functional>

using namespace testing_support::colours;

using namespace store;
using platform::asBytes;
using testing_support::BmpSpec;
using testing_support::buildDib;
using testing_support::packRows;

namespace {

const std::vector<QRgb> kFour {kRed, kGreen, kBlue, kWhite};

/** Decodes a packed DIB the way a metafile bitmap record does: header, colour table, then the pixels. */
QImage decodeDib(const QByteArray& dib, dib::DecodeOptions options = {})
{
    const auto bytes = asBytes(dib);
    const dib::Header header = dib::parseHeader(bytes);
    const auto bits = bytes.subspan(header.infoLength);
    return dib::decodePixels(header, bits.first(dib::pixelDataLength(header, bits.size())), options);
}

/** The image's pixels, top row first. */
std::vector<QRgb> pixelsOf(const QImage& image)
{
    std::vector<QRgb> out;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            out.push_back(image.pixel(x, y));
    return out;
}

QString errorOf(const std::function<void()>& action)
{
    return testing_support::errorOf(action, QStringLiteral("(no error)"));
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

BmpSpec withPalette(BmpSpec s, std::vector<QRgb> palette)
{
    s.palette = std::move(palette);
    s.colorsUsed = std::uint32_t(s.palette.size());
    return s;
}

BmpSpec withMasks(BmpSpec s, std::array<std::uint32_t, 4> masks)
{
    s.masks = masks;
    return s;
}

// Every depth and compression: stored rows are bottom row first, expected pixels top row first.
struct DepthCase {
    const char* name;
    BmpSpec plan;
    std::vector<QRgb> expected;
};

std::vector<DepthCase> depthCases()
{
    const QRgb p0 = kRed, p1 = kGreen, p2 = kBlue, p3 = kWhite;
    return {
        {"OneBitAcrossAByteBoundary",
            withPalette(plan(9, 2, 1, packRows(1, {{1, 0, 1, 0, 1, 0, 1, 0, 1}, {0, 0, 0, 0, 0, 0, 0, 0, 1}})),
                {kBlack, kWhite}),
            {kBlack, kBlack, kBlack, kBlack, kBlack, kBlack, kBlack, kBlack, kWhite, //
                kWhite, kBlack, kWhite, kBlack, kWhite, kBlack, kWhite, kBlack, kWhite}},
        {"FourBit", withPalette(plan(3, 2, 4, packRows(4, {{0, 1, 2}, {3, 0, 1}})), kFour), {p3, p0, p1, p0, p1, p2}},
        {"EightBit", withPalette(plan(2, 2, 8, packRows(8, {{2, 3}, {0, 1}})), kFour), {p0, p1, p2, p3}},
        {"SixteenBitIsFiveFiveFive", plan(3, 2, 16, packRows(16, {{0x7FFF, 0x0000, 0x4210}, {0x7C00, 0x03E0, 0x001F}})),
            {kRed, kGreen, kBlue, kWhite, kBlack, 0xFF848484}},
        {"SixteenBitFiveSixFiveFields",
            withMasks(
                plan(3, 1, 16, packRows(16, {{0xF800, 0x07E0, 0x8410}}), dib::BitFields), {0xF800, 0x07E0, 0x001F, 0}),
            {kRed, kGreen, 0xFF848284}},
        {"TwentyFourBit", plan(2, 2, 24, packRows(24, {{0x112233, 0x445566}, {0xFF0000, 0x0000FF}})),
            {kRed, kBlue, 0xFF112233, 0xFF445566}},
        {"ThirtyTwoBitIgnoresTheFourthByte", plan(2, 1, 32, packRows(32, {{0x80112233, 0x00FFFFFF}})),
            {0xFF112233, kWhite}},
        {"ThirtyTwoBitFieldsInAnotherOrder",
            withMasks(plan(1, 1, 32, packRows(32, {{0x00332211}}), dib::BitFields), {0xFF, 0xFF00, 0xFF0000, 0}),
            {0xFF112233}},
        {"ThirtyTwoBitTenBitFieldsKeepTheirTopBits",
            withMasks(plan(1, 1, 32, packRows(32, {{(0x3FFu << 20) | (0x200u << 10) | 0x001u}}), dib::BitFields),
                {0x3FF00000, 0x000FFC00, 0x000003FF, 0}),
            {0xFFFF8000}},
        {"RunLengthEightBit",
            withPalette(plan(4, 2, 8,
                            QByteArray::fromHex("0301"
                                                "0000"
                                                "0003020300"
                                                "00"
                                                "0001"),
                            dib::Rle8),
                kFour),
            {p2, p3, p0, kBlack, p1, p1, p1, kBlack}},
        {"RunLengthFourBit",
            withPalette(plan(5, 2, 4,
                            QByteArray::fromHex("0512"
                                                "0000"
                                                "00033010"
                                                "0001"),
                            dib::Rle4),
                kFour),
            {p3, p0, p1, kBlack, kBlack, p1, p2, p1, p2, p1}},
    };
}

class DibDepths : public testing::TestWithParam<DepthCase> { };

TEST_P(DibDepths, DecodeToTheStoredPixels)
{
    const QImage image = decodeDib(buildDib(GetParam().plan));
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    EXPECT_EQ(image.size(), QSize(GetParam().plan.width, GetParam().plan.height));
    EXPECT_EQ(pixelsOf(image), GetParam().expected);
}

TEST_P(DibDepths, StoredTopDownDecodeTheSameWayUp)
{
    BmpSpec topDown = GetParam().plan;
    topDown.topDown = true;
    if (topDown.compression == dib::Rgb || topDown.compression == dib::BitFields) {
        // The same rows in the opposite order.
        const qsizetype stride = topDown.pixels.size() / topDown.height;
        QByteArray flipped;
        for (int row = topDown.height - 1; row >= 0; --row)
            flipped += topDown.pixels.mid(row * stride, stride);
        topDown.pixels = flipped;
        EXPECT_EQ(pixelsOf(decodeDib(buildDib(topDown))), GetParam().expected);
    } else {
        // A run-length stream fills rows from the top instead.
        std::vector<QRgb> expected;
        const auto width = std::size_t(topDown.width);
        for (std::size_t row = GetParam().expected.size() / width; row-- > 0;)
            expected.insert(expected.end(), GetParam().expected.begin() + std::ptrdiff_t(row * width),
                GetParam().expected.begin() + std::ptrdiff_t((row + 1) * width));
        EXPECT_EQ(pixelsOf(decodeDib(buildDib(topDown))), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryDepth, DibDepths, testing::ValuesIn(depthCases()),
    [](const testing::TestParamInfo<DepthCase>& param) { return std::string(param.param.name); });

// Every info header size gives the same picture; the OS/2 core header has 3-byte colour table entries.
class DibHeaderSizes : public testing::TestWithParam<std::uint32_t> { };

TEST_P(DibHeaderSizes, PalettedPictureDecodesAlike)
{
    // A core header always has 2^bits colour table entries, so the table is full here.
    std::vector<QRgb> palette = kFour;
    palette.resize(16, kGrey);
    BmpSpec s = withPalette(plan(2, 2, 4, packRows(4, {{2, 3}, {0, 15}})), palette);
    s.headerSize = GetParam();
    const QByteArray dib = buildDib(s);
    const dib::Header header = dib::parseHeader(asBytes(dib));
    EXPECT_EQ(header.headerSize, GetParam());
    EXPECT_EQ(header.palette, palette);
    EXPECT_EQ(header.infoLength, std::size_t(GetParam() + (GetParam() == 12 ? 3 : 4) * 16));
    EXPECT_EQ(pixelsOf(decodeDib(dib)), (std::vector<QRgb> {kRed, kGrey, kBlue, kWhite}));
}

INSTANTIATE_TEST_SUITE_P(EveryHeader, DibHeaderSizes, testing::Values(12u, 40u, 52u, 56u, 108u, 124u),
    testing_support::namedBy([](std::uint32_t size) { return "header" + std::to_string(size); }));

// Bit-field masks sit inside headers of 52 bytes or more and behind a 40-byte one (a core header has none).
class DibMaskPlacement : public testing::TestWithParam<std::uint32_t> { };

TEST_P(DibMaskPlacement, MasksAreFoundInsideOrBehindTheHeader)
{
    BmpSpec s = withMasks(plan(2, 1, 16, packRows(16, {{0xF800, 0x001F}}), dib::BitFields), {0xF800, 0x07E0, 0x1F, 0});
    s.headerSize = GetParam();
    const QByteArray dib = buildDib(s);
    EXPECT_EQ(dib::parseHeader(asBytes(dib)).tableOffset, GetParam() == 40 ? 52u : GetParam());
    EXPECT_EQ(pixelsOf(decodeDib(dib)), (std::vector<QRgb> {kRed, kBlue}));
}

INSTANTIATE_TEST_SUITE_P(EveryHeader, DibMaskPlacement, testing::Values(40u, 52u, 56u, 108u, 124u),
    testing_support::namedBy([](std::uint32_t size) { return "header" + std::to_string(size); }));

TEST(DibAlpha, KeptOnlyWhenAskedFor)
{
    const QByteArray rgb = buildDib(plan(1, 1, 32, packRows(32, {{0x80112233}})));
    EXPECT_EQ(decodeDib(rgb).pixel(0, 0), 0xFF112233);
    const QImage kept = decodeDib(rgb, {.keepAlpha = true});
    EXPECT_EQ(kept.format(), QImage::Format_ARGB32);
    EXPECT_EQ(kept.pixel(0, 0), 0x80112233);

    // Four 4-bit masks stored behind a 40-byte header.
    const QByteArray fields = buildDib(
        withMasks(plan(1, 1, 16, packRows(16, {{0x8F00}}), dib::AlphaBitFields), {0x0F00, 0x00F0, 0x000F, 0xF000}));
    EXPECT_EQ(dib::parseHeader(asBytes(fields)).tableOffset, 56u);
    EXPECT_EQ(decodeDib(fields).pixel(0, 0), kRed);
    EXPECT_EQ(decodeDib(fields, {.keepAlpha = true}).pixel(0, 0), 0x88FF0000);
}

TEST(DibColourTable, IndicesBeyondTheTableAreBlack)
{
    // Two colours used, indices 0..3 stored.
    BmpSpec s = withPalette(plan(4, 1, 8, packRows(8, {{0, 1, 2, 255}})), {kGrey, kWhite});
    EXPECT_EQ(pixelsOf(decodeDib(buildDib(s))), (std::vector<QRgb> {kGrey, kWhite, kBlack, kBlack}));
}

TEST(DibColourTable, SizeFollowsColoursUsedOrTheBitCount)
{
    BmpSpec s = plan(1, 1, 4, packRows(4, {{0}}));
    s.palette.assign(16, kGrey);
    EXPECT_EQ(dib::parseHeader(asBytes(buildDib(s))).palette.size(), 16u);
    s.colorsUsed = 3;
    EXPECT_EQ(dib::parseHeader(asBytes(buildDib(s))).palette.size(), 3u);
}

TEST(DibColourTable, StopsAtTheBytesThereAndNeverHoldsMoreThan256)
{
    BmpSpec s = plan(1, 1, 8, {});
    s.palette.assign(3, kGrey);
    s.colorsUsed = 1'000'000'000; // far more than the bytes there
    dib::Header header = dib::parseHeader(asBytes(buildDib(s)));
    EXPECT_EQ(header.palette.size(), 3u);
    EXPECT_EQ(header.infoLength, 40u + 12u);

    s.palette.assign(300, kGrey);
    s.colorsUsed = 300;
    header = dib::parseHeader(asBytes(buildDib(s)));
    EXPECT_EQ(header.palette.size(), 256u);
    EXPECT_EQ(header.infoLength, 40u + 1200u); // the pixels still start behind all 300 entries
}

TEST(DibColourTable, TrueColourPicturesMaySkipOne)
{
    // A 24-bit bitmap with two colours "used": its pixels start behind them.
    BmpSpec s = withPalette(plan(1, 1, 24, packRows(24, {{0x112233}})), {kRed, kGreen});
    EXPECT_EQ(dib::parseHeader(asBytes(buildDib(s))).infoLength, 48u);
    EXPECT_EQ(decodeDib(buildDib(s)).pixel(0, 0), 0xFF112233);
}

TEST(DibMissingData, LeavesTheRestBlack)
{
    // Two and a third rows of a three-row picture: the first stored (bottom) rows and one pixel survive.
    const QByteArray full = packRows(24, {{0x0000FF, 0x0000FF}, {0x00FF00, 0x00FF00}, {0xFF0000, 0xFF0000}});
    const QImage image = decodeDib(buildDib(plan(2, 3, 24, full.left(8 + 8 + 5))));
    EXPECT_EQ(pixelsOf(image), (std::vector<QRgb> {kRed, kBlack, kGreen, kGreen, kBlue, kBlue}));
    EXPECT_EQ(pixelsOf(decodeDib(buildDib(plan(2, 1, 24, {})))), (std::vector<QRgb> {kBlack, kBlack}));
}

// Run-length escapes: end of line, end of bitmap, delta, absolute runs with word padding.
std::vector<QRgb> rle8(int width, int height, const char* hex)
{
    return pixelsOf(
        decodeDib(buildDib(withPalette(plan(width, height, 8, QByteArray::fromHex(hex), dib::Rle8), kFour))));
}

TEST(DibRunLength, DeltaMovesRightAndUpLeavingSkippedPixelsBlack)
{
    // One pixel, then move 2 right and 1 row up, one more pixel.
    EXPECT_EQ(rle8(4, 3,
                  "0101"
                  "00020201"
                  "0102"
                  "0001"),
        (std::vector<QRgb> {kBlack, kBlack, kBlack, kBlack, //
            kBlack, kBlack, kBlack, kBlue, //
            kGreen, kBlack, kBlack, kBlack}));
}

TEST(DibRunLength, OddAbsoluteRunsSkipTheirPaddingByte)
{
    EXPECT_EQ(rle8(4, 1,
                  "0003010203"
                  "00"
                  "0100"
                  "0001"),
        (std::vector<QRgb> {kGreen, kBlue, kWhite, kRed}));
    // RLE4: five nibbles take three bytes, padded to four.
    const BmpSpec s = withPalette(plan(6, 1, 4,
                                      QByteArray::fromHex("0005"
                                                          "012301"
                                                          "00"
                                                          "0101"
                                                          "0001"),
                                      dib::Rle4),
        kFour);
    EXPECT_EQ(pixelsOf(decodeDib(buildDib(s))), (std::vector<QRgb> {kRed, kGreen, kBlue, kWhite, kRed, kRed}));
}

TEST(DibRunLength, RunsPastTheRightEdgeAreCutNotWrapped)
{
    EXPECT_EQ(rle8(2, 2,
                  "FF01"
                  "0004000102030000"
                  "0102"
                  "0001"),
        (std::vector<QRgb> {kBlue, kBlack, kGreen, kGreen}));
}

TEST(DibRunLength, StreamsThatLeaveTheImageOrEndEarlyStopSafely)
{
    // Delta far below the last row, then more runs.
    EXPECT_EQ(rle8(2, 2,
                  "0101"
                  "000200FF"
                  "0203"
                  "0001"),
        (std::vector<QRgb> {kBlack, kBlack, kGreen, kBlack}));
    // End-of-line escapes beyond the top row.
    EXPECT_EQ(rle8(1, 1,
                  "0101"
                  "0000"
                  "0000"
                  "0000"
                  "0103"),
        (std::vector<QRgb> {kGreen}));
    // No end-of-bitmap, a cut delta, a cut absolute run.
    EXPECT_EQ(rle8(2, 1, "0102"), (std::vector<QRgb> {kBlue, kBlack}));
    EXPECT_EQ(rle8(2, 1,
                  "0102"
                  "0002"
                  "01"),
        (std::vector<QRgb> {kBlue, kBlack}));
    EXPECT_EQ(rle8(4, 1, "000402"), (std::vector<QRgb> {kBlue, kBlack, kBlack, kBlack}));
    EXPECT_EQ(rle8(2, 1, ""), (std::vector<QRgb> {kBlack, kBlack}));
}

TEST(DibRunLength, EndOfBitmapStopsTheStream)
{
    EXPECT_EQ(rle8(2, 1,
                  "0101"
                  "0001"
                  "0102"),
        (std::vector<QRgb> {kGreen, kBlack}));
}

// Headers that are refused, with the message the user sees.
struct BadHeader {
    const char* name;
    QByteArray dib;
    const char* message;
};

QByteArray dibWith(const std::function<void(BmpSpec&)>& change)
{
    BmpSpec s = plan(2, 2, 24, packRows(24, {{0, 0}, {0, 0}}));
    change(s);
    return buildDib(s);
}

std::vector<BadHeader> badHeaders()
{
    return {
        {"Empty", {}, "BMP header is truncated"},
        {"CutInsideTheHeader", dibWith([](BmpSpec&) {}).left(39), "BMP header is truncated"},
        {"CutInsideTheMasks", dibWith([](BmpSpec& s) {
             s.compression = dib::BitFields;
             s.bitCount = 16;
             s.pixels = {};
         }).left(48),
            "BMP header is truncated"},
        {"UnknownHeaderSize", dibWith([](BmpSpec& s) { s.headerSize = 64; }), "Unsupported BMP info header size 64"},
        {"ZeroWidth", dibWith([](BmpSpec& s) { s.width = 0; }), "BMP picture has no pixels (width 0, height 2)"},
        {"ZeroHeight", dibWith([](BmpSpec& s) { s.height = 0; }), "BMP picture has no pixels (width 2, height 0)"},
        {"NegativeWidth", dibWith([](BmpSpec& s) { s.width = -2; }), "BMP width -2 is negative"},
        {"BitCountSeven", dibWith([](BmpSpec& s) { s.bitCount = 7; }), "Unsupported BMP bit count 7"},
        {"BitCountZero", dibWith([](BmpSpec& s) { s.bitCount = 0; }), "Unsupported BMP bit count 0"},
        {"EmbeddedJpeg", dibWith([](BmpSpec& s) {
             s.compression = dib::Jpeg;
             s.bitCount = 0;
         }),
            "BMP pictures with embedded JPEG data are not supported"},
        {"EmbeddedPng", dibWith([](BmpSpec& s) {
             s.compression = dib::Png;
             s.bitCount = 0;
         }),
            "BMP pictures with embedded PNG data are not supported"},
        {"UnknownCompression", dibWith([](BmpSpec& s) { s.compression = 11; }), "Unsupported BMP compression 11"},
        {"Rle8WithFourBits", dibWith([](BmpSpec& s) {
             s.compression = dib::Rle8;
             s.bitCount = 4;
         }),
            "RLE8 compression needs 8 bits per pixel, not 4"},
        {"Rle4WithEightBits", dibWith([](BmpSpec& s) {
             s.compression = dib::Rle4;
             s.bitCount = 8;
         }),
            "RLE4 compression needs 4 bits per pixel, not 8"},
        {"BitFieldsWith24Bits", dibWith([](BmpSpec& s) { s.compression = dib::BitFields; }),
            "Bit-field compression needs 16 or 32 bits per pixel, not 24"},
        {"MoreThanAGibibyte", dibWith([](BmpSpec& s) {
             s.width = 20000;
             s.height = 20000;
         }),
            "BMP picture is too large (20000 x 20000 pixels)"},
        {"MostNegativeHeight", dibWith([](BmpSpec& s) {
             s.width = 1;
             s.height = std::numeric_limits<int>::min();
         }),
            "BMP picture is too large (1 x 2147483648 pixels)"},
        {"WidestCoreHeader", dibWith([](BmpSpec& s) {
             s.headerSize = 12;
             s.width = 65535;
             s.height = 65535;
         }),
            "BMP picture is too large (65535 x 65535 pixels)"},
    };
}

class DibBadHeaders : public testing::TestWithParam<BadHeader> { };

TEST_P(DibBadHeaders, AreRefusedWithAClearMessage)
{
    EXPECT_EQ(errorOf([] { (void)dib::parseHeader(asBytes(GetParam().dib)); }), QString::fromUtf8(GetParam().message));
}

INSTANTIATE_TEST_SUITE_P(Refused, DibBadHeaders, testing::ValuesIn(badHeaders()),
    [](const testing::TestParamInfo<BadHeader>& param) { return std::string(param.param.name); });

TEST(DibDecodePixels, RefusesAHeaderItCannotDecodeInsteadOfAllocating)
{
    dib::Header header;
    header.width = 1 << 30;
    header.height = 1 << 30;
    header.bitCount = 24;
    EXPECT_EQ(errorOf([&] { (void)dib::decodePixels(header, {}); }),
        QStringLiteral("BMP picture is too large (1073741824 x 1073741824 pixels)"));
    header.width = 1;
    header.height = 1;
    header.bitCount = 3;
    EXPECT_EQ(errorOf([&] { (void)dib::decodePixels(header, {}); }), QStringLiteral("Unsupported BMP bit count 3"));
}

} // namespace
