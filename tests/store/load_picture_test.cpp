#include "platform/errors.h"
#include "store/picture.h"
#include "support/jpeg_builder.h"

#include <gtest/gtest.h>

using namespace store;

TEST(LoadPicture, ExtensionChoosesTheLayerWhateverItsCase)
{
    const QByteArray jpeg = testing_support::encodeJpeg(testing_support::quadrantImage(8, 6));
    for (const char* name : {"a.jpg", "B.JPG", "c.jpeg", "d.JpEg", "/dir.bmp/e.jpg"}) {
        const auto picture = loadPicture(QString::fromLatin1(name), jpeg);
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
        EXPECT_THROW((void)loadPicture(QString::fromLatin1(name), jpeg), platform::AppError) << name;
}
