#include "platform/errors.h"
#include "store/picture.h"
#include "support/bmp_builder.h"
#include "support/emf_builder.h"
#include "support/jpeg_builder.h"
#include "support/wmf_builder.h"

#include <gtest/gtest.h>

using namespace store;

TEST(LoadPicture, ExtensionChoosesTheLayerWhateverItsCase)
{
    const QByteArray jpeg = testing_support::encodeJpeg(testing_support::quadrantImage(8, 6));
    for (const char* name : {"a.jpg", "B.JPG", "c.jpeg", "d.JpEg", "/dir.bmp/e.jpg"}) {
        const auto picture = loadPicture(platform::FilePath(name), jpeg);
        ASSERT_TRUE(picture) << name;
        EXPECT_EQ(picture->format(), PictureFormat::Jpeg) << name;
        EXPECT_EQ(picture->size(), QSize(8, 6)) << name;
    }
}

TEST(LoadPicture, OtherExtensionsAndMismatchedContentAreInvalid)
{
    const QByteArray jpeg = testing_support::encodeJpeg(testing_support::quadrantImage(8, 6));
    // A JPEG's bytes under another picture extension go to that layer, which refuses them.
    for (const char* name : {"a.bmp", "a.emf", "a.wmf", "a.png", "a.jpg.txt", "noextension"})
        EXPECT_THROW((void)loadPicture(platform::FilePath(name), jpeg), platform::AppError) << name;
}

// --- What every layer tells about its picture -------------------------------------------------------------------

namespace {

struct LayerCase {
    const char* name;
    const char* fileName;
    QByteArray bytes;
    bool hasOwnEnd;
    QStringList details;
};

class PictureCapabilities : public testing::TestWithParam<LayerCase> { };

TEST_P(PictureCapabilities, tellWhereTheDataEndsAndTheFormatsOwnFacts)
{
    const LayerCase& c = GetParam();
    const auto picture = loadPicture(platform::FilePath(c.fileName), c.bytes);
    EXPECT_EQ(picture->hasOwnEnd(), c.hasOwnEnd);
    EXPECT_EQ(picture->details(), c.details);
    EXPECT_LE(picture->pictureEnd(), c.bytes.size());
}

QByteArray bmp()
{
    testing_support::BmpSpec plan;
    plan.pixels = QByteArray(4, '\0');
    return testing_support::buildBmp(plan);
}

QByteArray emf()
{
    testing_support::EmfBuilder builder(QSize(10, 10));
    return builder.rectangle(QRect(1, 1, 5, 5)).finish();
}

QByteArray wmf()
{
    testing_support::WmfBuilder builder;
    builder.window(0, 0, 10, 10).rectangle(1, 1, 5, 5);
    return builder.placeable(0, 0, 10, 10, 96);
}

QByteArray jpeg(bool grey, bool progressive)
{
    return testing_support::encodeJpeg(testing_support::quadrantImage(8, 6), {90, progressive, grey});
}

INSTANTIATE_TEST_SUITE_P(Layers, PictureCapabilities,
    testing::Values(LayerCase {"bmp", "a.bmp", bmp(), true, {}}, LayerCase {"emf", "a.emf", emf(), true, {}},
        LayerCase {"wmf", "a.wmf", wmf(), true, {}},
        LayerCase {"jpeg", "a.jpg", jpeg(false, false), true, {"grey: no", "progressive: no", "orientation: 1"}},
        LayerCase {"greyProgressiveJpeg", "a.jpg", jpeg(true, true), true,
            {"grey: yes", "progressive: yes", "orientation: 1"}},
        LayerCase {"jpegWithoutEndOfImage", "a.jpg", jpeg(false, false).chopped(2), false,
            {"grey: no", "progressive: no", "orientation: 1"}}),
    [](const testing::TestParamInfo<LayerCase>& param) { return std::string(param.param.name); });

} // namespace
