// The enhanced-metafile picture layer: recognition, natural size, held bytes and refusals.
#include "support/emf_builder.h"
#include "support/error_of.h"
#include "support/image_compare.h"

#include "platform/errors.h"
#include "store/layers.h"

#include <gtest/gtest.h>

namespace {

using testing_support::EmfBuilder;
using testing_support::putLe32;

void patch32(QByteArray& bytes, qsizetype at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char((value >> (8 * i)) & 0xFF);
}

/** A header whose frame is `frame` (0.01 mm), followed by EOF. */
QByteArray withFrame(int left, int top, int right, int bottom)
{
    QByteArray bytes = EmfBuilder(QSize(10, 10)).finish();
    patch32(bytes, 24, std::uint32_t(left));
    patch32(bytes, 28, std::uint32_t(top));
    patch32(bytes, 32, std::uint32_t(right));
    patch32(bytes, 36, std::uint32_t(bottom));
    return bytes;
}

QString loadError(const QByteArray& bytes)
{
    return testing_support::errorOf([&] { (void)store::loadMetafile(bytes); });
}

TEST(EmfLayer, naturalSizeComesFromTheFrameAt96PixelsPerInch)
{
    // 2540 hundredths of a millimetre are one inch.
    EXPECT_EQ(store::loadMetafile(withFrame(0, 0, 2540, 1270))->size(), QSize(96, 48));
    EXPECT_EQ(store::loadMetafile(withFrame(2540, 0, 0, -5080))->size(), QSize(96, 192)) << "reversed edges";
    EXPECT_EQ(store::loadMetafile(withFrame(100, 100, 127, 140))->size(), QSize(1, 2)) << "1.02 and 1.51 rounded";
}

TEST(EmfLayer, holdsExactlyTheHeadersTotalSize)
{
    const QByteArray emf = EmfBuilder(QSize(20, 10)).rectangle(QRect(1, 1, 5, 5)).finish();
    const QByteArray file = emf + "@||@a description";
    const auto picture = store::loadMetafile(file);
    EXPECT_EQ(picture->format(), store::PictureFormat::Emf);
    EXPECT_EQ(picture->pictureEnd(), emf.size());
    EXPECT_EQ(store::loadPicture(platform::FilePath("x.emf"), file)->size(), QSize(20, 10));
}

TEST(EmfLayer, imageIsDrawnOnWhiteAtNaturalSizeAndKept)
{
    testing_support::ensureGuiApplication();
    const auto picture = store::loadMetafile(EmfBuilder(QSize(30, 20)).finish());
    const QImage& first = picture->image();
    EXPECT_EQ(first.size(), QSize(30, 20));
    EXPECT_EQ(first.pixel(15, 10), qRgb(255, 255, 255));
    EXPECT_EQ(&picture->image(), &first);
}

TEST(EmfLayer, damagedHeadersAreRefusedWithClearMessages)
{
    const QByteArray good = EmfBuilder(QSize(10, 10)).finish();

    QByteArray truncated = good;
    truncated.chop(8);
    EXPECT_EQ(loadError(truncated), "Truncated enhanced metafile: 120 of 128 bytes present");

    QByteArray tooSmall = good;
    patch32(tooSmall, 48, 60);
    EXPECT_TRUE(loadError(tooSmall).startsWith("Damaged enhanced metafile")) << loadError(tooSmall).toStdString();

    QByteArray shortHeader = good;
    patch32(shortHeader, 4, 80);
    EXPECT_TRUE(loadError(shortHeader).startsWith("Damaged enhanced metafile header"));

    EXPECT_EQ(loadError(withFrame(0, 0, 0, 0)), "The enhanced metafile has an empty frame (0×0 pixels)");
    EXPECT_EQ(loadError(withFrame(0, 0, 2000000000, 2000000000)),
        "The enhanced metafile is too large to draw (75590551×75590551 pixels)");
}

TEST(EmfLayer, shortFilesAndOtherContentAreNotTakenForEnhancedMetafiles)
{
    QByteArray hundred = EmfBuilder(QSize(10, 10)).finish().left(100);
    EXPECT_FALSE(loadError(hundred).isEmpty());
    QByteArray wrongSignature = EmfBuilder(QSize(10, 10)).finish();
    patch32(wrongSignature, 40, 0x12345678);
    EXPECT_FALSE(loadError(wrongSignature).isEmpty());
}

} // namespace
