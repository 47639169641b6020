#include "store/exiv2_setup.h"
#include "store/jpeg_layer.h"
#include "support/jpeg_builder.h"

#include <QBuffer>
#include <QImageReader>

#include <gtest/gtest.h>

#include <array>

namespace {

/** The programs set Exiv2 up before any thread reads a picture; so do these tests. */
class Exiv2Setup : public testing::Environment {
public:
    void SetUp() override { store::initialiseExiv2(); }
};
[[maybe_unused]] testing::Environment* const exiv2Setup = testing::AddGlobalTestEnvironment(new Exiv2Setup);

struct OrientationCase {
    const char* name;
    QByteArray exif; // the Exif data after "Exif\0\0"; none when empty
    int orientation; // as read
    QSize shown;
    std::array<QColor, 4> corners; // top left, top right, bottom left, bottom right, as shown
};

class PhotoOrientation : public testing::TestWithParam<OrientationCase> { };

// Stored 96 × 80 pixels: red and green above, blue and white below. A turned photo is shown upright, decoded on
// the caller's thread or on a worker (from the middle row when the layer can), while its bytes stay as they are;
// every pixel is where Qt's own reader puts it when it turns the photo (or reads it without its Exif block).
TEST_P(PhotoOrientation, ShowsThePhotoUpright)
{
    const OrientationCase& c = GetParam();
    const QByteArray plain = testing_support::encodeJpeg(testing_support::quadrantImage(96, 80));
    const QByteArray bytes = c.exif.isEmpty() ? plain : testing_support::withExif(plain, c.exif);
    QBuffer buffer;
    buffer.setData(c.orientation == 1 ? plain : bytes); // Qt reads more of a damaged Exif block
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QImage qtReads = reader.read().convertToFormat(QImage::Format_RGB32);
    for (const bool worker : {false, true}) {
        SCOPED_TRACE(worker ? "on a worker" : "on the caller's thread");
        const store::JpegPicture picture(bytes);
        EXPECT_EQ(picture.orientation(), c.orientation);
        EXPECT_EQ(picture.details().last(), QStringLiteral("orientation: %1").arg(c.orientation));
        EXPECT_EQ(picture.storedSize(), QSize(96, 80));
        EXPECT_EQ(picture.size(), c.shown);
        if (worker)
            picture.decodeInBackground(c.shown.height() / 2, {});
        const QImage& image = picture.image();
        ASSERT_EQ(image.size(), c.shown);
        const int w = image.width() / 4;
        const int h = image.height() / 4;
        const std::array<QPoint, 4> at {QPoint(w, h), QPoint(3 * w, h), QPoint(w, 3 * h), QPoint(3 * w, 3 * h)};
        for (std::size_t i = 0; i < at.size(); ++i) {
            EXPECT_TRUE(testing_support::nearColour(image.pixel(at[i]), c.corners[i]))
                << "corner " << i << " is " << std::hex << image.pixel(at[i]);
        }
        EXPECT_EQ(picture.headForDescription(bytes), bytes);
        EXPECT_EQ(image, qtReads);
    }
}

using testing_support::exifOrientationTiff;
const QColor R = Qt::red;
const QColor G = Qt::green;
const QColor B = Qt::blue;
const QColor W = Qt::white;
const QSize wide(96, 80);
const QSize tall(80, 96);

INSTANTIATE_TEST_SUITE_P(Exif, PhotoOrientation,
    testing::Values(OrientationCase {"noExif", {}, 1, wide, {R, G, B, W}},
        OrientationCase {"upright1", exifOrientationTiff(1), 1, wide, {R, G, B, W}},
        OrientationCase {"mirrored2", exifOrientationTiff(2), 2, wide, {G, R, W, B}},
        OrientationCase {"halfRound3", exifOrientationTiff(3), 3, wide, {W, B, G, R}},
        OrientationCase {"upsideDownMirror4", exifOrientationTiff(4), 4, wide, {B, W, R, G}},
        OrientationCase {"transposed5", exifOrientationTiff(5), 5, tall, {R, B, G, W}},
        OrientationCase {"clockwise6", exifOrientationTiff(6), 6, tall, {B, R, W, G}},
        OrientationCase {"transverse7", exifOrientationTiff(7), 7, tall, {W, G, B, R}},
        OrientationCase {"anticlockwise8", exifOrientationTiff(8), 8, tall, {G, W, R, B}},
        OrientationCase {"outOfRange9", exifOrientationTiff(9), 1, wide, {R, G, B, W}},
        OrientationCase {"damagedExif", QByteArray("XX*\0garbage", 11), 1, wide, {R, G, B, W}},
        OrientationCase {"cutShortExif", exifOrientationTiff(6).left(20), 1, wide, {R, G, B, W}}),
    [](const testing::TestParamInfo<OrientationCase>& param) { return std::string(param.param.name); });

} // namespace
