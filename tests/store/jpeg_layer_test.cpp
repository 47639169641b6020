#include "platform/errors.h"
#include "store/jpeg_layer.h"
#include "store/layers.h"
#include "support/error_of.h"
#include "support/jpeg_builder.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <jerror.h>

using namespace store;
using namespace testing_support;

namespace {

/** The message loading or drawing `bytes` fails with, or "" when both succeed. */
std::string failureOf(const QByteArray& bytes, bool draw)
{
    return testing_support::errorOf([&] {
        const auto picture = loadJpeg(bytes);
        if (draw)
            (void)picture->image();
    }).toStdString();
}

std::string jpegError(int code)
{
    return "JPEG error #" + std::to_string(code);
}

} // namespace

struct HeaderCase {
    const char* name;
    bool progressive;
    bool grey;
};

class JpegHeader : public testing::TestWithParam<HeaderCase> { };

TEST_P(JpegHeader, LoadReportsSizeGreyAndProgressiveFromTheHeader)
{
    const HeaderCase c = GetParam();
    const QByteArray bytes = encodeJpeg(quadrantImage(40, 30), {.progressive = c.progressive, .grey = c.grey});
    const auto picture = loadJpeg(bytes);
    const auto& jpeg = dynamic_cast<const JpegPicture&>(*picture);
    EXPECT_EQ(jpeg.format(), PictureFormat::Jpeg);
    EXPECT_EQ(jpeg.size(), QSize(40, 30));
    EXPECT_EQ(jpeg.isGrey(), c.grey);
    EXPECT_EQ(jpeg.isProgressive(), c.progressive);

    const QImage& image = jpeg.image();
    ASSERT_EQ(image.size(), QSize(40, 30));
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    EXPECT_EQ(qAlpha(image.pixel(5, 5)), 255);
    if (c.grey) {
        const QRgb p = image.pixel(30, 25); // white stays white in grey
        EXPECT_TRUE(nearColour(p, Qt::white)) << std::hex << p;
        EXPECT_EQ(qRed(image.pixel(5, 5)), qBlue(image.pixel(5, 5)));
    } else {
        EXPECT_TRUE(nearColour(image.pixel(5, 5), Qt::red)) << std::hex << image.pixel(5, 5);
        EXPECT_TRUE(nearColour(image.pixel(34, 5), Qt::green)) << std::hex << image.pixel(34, 5);
        EXPECT_TRUE(nearColour(image.pixel(5, 25), Qt::blue)) << std::hex << image.pixel(5, 25);
        EXPECT_TRUE(nearColour(image.pixel(34, 25), Qt::white)) << std::hex << image.pixel(34, 25);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, JpegHeader,
    testing::Values(HeaderCase {"baseline_colour", false, false}, HeaderCase {"progressive_colour", true, false},
        HeaderCase {"baseline_grey", false, true}, HeaderCase {"progressive_grey", true, true}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(JpegDecode, CmykWithAndWithoutAdobeInversion)
{
    // Full magenta and yellow ink, no cyan or black: red.
    for (const bool adobe : {true, false}) {
        const auto picture = loadJpeg(encodeCmykJpeg(16, 16, {0, 255, 255, 0}, adobe));
        EXPECT_TRUE(nearColour(picture->image().pixel(8, 8), Qt::red)) << "adobe " << adobe;
    }
    // Half black over cyan: dark cyan.
    const auto halfBlack = loadJpeg(encodeCmykJpeg(16, 16, {255, 0, 0, 128}, true));
    EXPECT_TRUE(nearColour(halfBlack->image().pixel(8, 8), QColor(0, 127, 127)));
}

TEST(JpegDecode, TruncatedFileShowsWhatItHasAndGreyBelow)
{
    const QByteArray whole = encodeJpeg(photoLikeImage(64, 64));
    const qsizetype sos = findJpegMarker(whole, 0xDA);
    ASSERT_GT(sos, 0);
    const QByteArray truncated = whole.left(sos + (whole.size() - sos) / 2);

    const QImage complete = loadJpeg(whole)->image();
    const auto picture = loadJpeg(truncated);
    const QImage& image = picture->image();
    ASSERT_EQ(image.size(), QSize(64, 64));
    for (int x = 0; x < 64; x += 9)
        EXPECT_EQ(image.pixel(x, 0), complete.pixel(x, 0)) << x;
    EXPECT_TRUE(nearColour(image.pixel(10, 63), QColor(128, 128, 128), 2)) << std::hex << image.pixel(10, 63);
}

TEST(JpegErrors, DamagedFilesRaiseLibjpegMessageCode)
{
    const QByteArray good = encodeJpeg(quadrantImage(16, 16));

    QByteArray bogusMarker = good;
    const qsizetype dqt = findJpegMarker(good, 0xDB);
    ASSERT_GT(dqt, 0);
    bogusMarker[dqt + 1] = '\x02'; // a reserved marker code where the quantisation table was
    EXPECT_EQ(failureOf(bogusMarker, false), jpegError(JERR_UNKNOWN_MARKER));

    EXPECT_EQ(failureOf(QByteArray(), false), jpegError(JERR_INPUT_EMPTY));
    EXPECT_EQ(failureOf(QByteArray("BM not a jpeg at all"), false), jpegError(JERR_NO_SOI));
    EXPECT_EQ(failureOf(good.left(20), false).rfind("JPEG error #", 0), 0u);
}

TEST(JpegErrors, DamageInLaterScansIsReportedWhenDrawn)
{
    const QByteArray good = encodeJpeg(photoLikeImage(64, 64), {.progressive = true});
    const qsizetype sos = findJpegMarker(good, 0xDA);
    ASSERT_GT(sos, 0);
    const int headerLength = (static_cast<std::uint8_t>(good[sos + 2]) << 8) | static_cast<std::uint8_t>(good[sos + 3]);
    QByteArray damaged = good;
    damaged[sos + 2 + headerLength + 10] = '\xFF';
    damaged[sos + 2 + headerLength + 11] = '\x02';

    EXPECT_EQ(failureOf(damaged, false), ""); // the header is intact
    EXPECT_EQ(failureOf(damaged, true), jpegError(JERR_UNKNOWN_MARKER));
}

TEST(JpegErrors, AWindowGetsWhatDecodedAndTheErrorOnce)
{
    const QByteArray broken = withoutQuantisationTables(encodeJpeg(quadrantImage(16, 8)));
    const auto picture = loadJpeg(broken);
    EXPECT_EQ(picture->size(), QSize(16, 8));
    QString error;
    const QImage& drawable = picture->drawableImage(error);
    EXPECT_EQ(error.toStdString(), jpegError(JERR_NO_QUANT_TABLE));
    ASSERT_EQ(drawable.size(), QSize(16, 8));
    EXPECT_TRUE(drawable.hasAlphaChannel());
    EXPECT_EQ(qAlpha(drawable.pixel(0, 0)), 0);
    EXPECT_EQ(failureOf(broken, true), jpegError(JERR_NO_QUANT_TABLE));

    // A picture that decodes gives its pixels and no error.
    error.clear();
    const auto good = loadJpeg(encodeJpeg(quadrantImage(16, 8)));
    EXPECT_EQ(&good->drawableImage(error), &good->image());
    EXPECT_TRUE(error.isEmpty());
}

TEST(JpegErrors, EndlesslyRepeatedScansAreRefusedWhenDrawn)
{
    // The last scan of a progressive file repeated over and over: each repeat is one more pass over the picture.
    const QByteArray good = encodeJpeg(photoLikeImage(32, 32), {.progressive = true});
    const qsizetype lastScan = good.lastIndexOf("\xFF\xDA");
    ASSERT_GT(lastScan, 0);
    const QByteArray scan = good.mid(lastScan, good.size() - 2 - lastScan);
    QByteArray repeated = good.left(lastScan);
    for (int i = 0; i < 600; ++i)
        repeated += scan;
    repeated += "\xFF\xD9";

    EXPECT_EQ(failureOf(repeated, false), "");
    EXPECT_EQ(failureOf(repeated, true), "The JPEG picture has more than 500 scans");
    const QByteArray fewer = good.left(lastScan) + scan + scan + scan + "\xFF\xD9";
    EXPECT_EQ(failureOf(fewer, true), ""); // a few repeats are only warned about
}

TEST(JpegErrors, HugeDimensionsAreRefusedBeforeAnyPixelMemory)
{
    QByteArray huge = encodeJpeg(quadrantImage(16, 16));
    const qsizetype sof = findJpegMarker(huge, 0xC0);
    ASSERT_GT(sof, 0);
    // Height and width (big-endian) behind the length and the precision: 60000 × 60000.
    for (const int at : {5, 7}) {
        huge[sof + at] = static_cast<char>(60000 >> 8);
        huge[sof + at + 1] = static_cast<char>(60000 & 0xFF);
    }
    EXPECT_EQ(failureOf(huge, false), "The picture is too large to display (60000×60000 pixels)");
}

TEST(JpegHeldBytes, KeptUnchangedAndShared)
{
    const QByteArray file = encodeJpeg(quadrantImage(16, 16)) + "@||@opis";
    const auto picture = loadJpeg(file);
    EXPECT_EQ(picture->headForDescription(file), file);
    EXPECT_EQ(picture->headForDescription(file).constData(), file.constData()); // without a copy
}

TEST(JpegPictureEnd, EndsJustAfterTheEndOfImageMarker)
{
    const QByteArray plain = encodeJpeg(photoLikeImage(48, 48));
    const QByteArray progressive = encodeJpeg(photoLikeImage(48, 48), {.progressive = true});
    // A comment that holds an end-of-image code must be skipped as a whole segment.
    const QByteArray commented = withComment(plain, QByteArray("\xFF\xD9 not the end", 13));

    struct Case {
        const char* name;
        QByteArray bytes;
        qint64 expected;
    };
    const Case cases[] = {
        {"plain", plain, plain.size()},
        {"described", plain + "@||@text \xFF\xD9 more", plain.size()},
        {"progressive", progressive, progressive.size()},
        {"comment holding FFD9", commented, commented.size()},
        {"no end-of-image marker", plain.left(plain.size() - 2), plain.size() - 2},
        {"garbage after", plain + QByteArray(50, '\xFF'), plain.size()},
    };
    for (const Case& c : cases) {
        const JpegPicture picture(c.bytes);
        EXPECT_EQ(picture.pictureEnd(), c.expected) << c.name;
        EXPECT_EQ(picture.hasEndOfImage(), c.expected != c.bytes.size() || c.bytes.endsWith("\xFF\xD9")) << c.name;
    }
}
