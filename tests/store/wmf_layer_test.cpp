#include "store/wmf_layer.h"

#include "platform/errors.h"
#include "support/case_name.h"
#include "support/error_of.h"
#include "support/shared_samples.h"
#include "support/temp_dir.h"
#include "support/wmf_builder.h"

#include <gtest/gtest.h>

using store::loadPlaceableWmf;
using testing_support::WmfBuilder;

namespace {

QByteArray simpleFile(int left = 0, int top = 0, int right = 96, int bottom = 48, int inch = 96)
{
    return WmfBuilder().window(0, 0, 100, 50).rectangle(10, 10, 90, 40).placeable(left, top, right, bottom, inch);
}

QString loadError(const QByteArray& bytes)
{
    return testing_support::errorOf([&] { (void)loadPlaceableWmf(bytes); });
}

void putLe16(QByteArray& bytes, int at, int value)
{
    bytes[at] = char(value & 0xFF);
    bytes[at + 1] = char((value >> 8) & 0xFF);
}

struct SizeCase {
    int left, top, right, bottom, inch;
    int width, height;
};

class WmfNaturalSize : public testing::TestWithParam<SizeCase> { };

TEST_P(WmfNaturalSize, FollowsTheBoundingBoxAndUnitsPerInch)
{
    const SizeCase& c = GetParam();
    const auto picture = loadPlaceableWmf(simpleFile(c.left, c.top, c.right, c.bottom, c.inch));
    EXPECT_EQ(picture->size(), QSize(c.width, c.height));
    EXPECT_EQ(picture->format(), store::PictureFormat::Wmf);
}

INSTANTIATE_TEST_SUITE_P(Boxes, WmfNaturalSize,
    testing::Values(SizeCase {0, 0, 96, 48, 96, 96, 48}, // one unit per pixel
        SizeCase {0, 0, 2540, 1270, 2540, 96, 48}, // 2540 units per inch
        SizeCase {0, 0, 1711, 1711, 1200, 137, 137}, // rounds 136.88 up
        SizeCase {0, 0, 10, 10, 0, 10, 10}, // units per inch 0 counts as 96
        SizeCase {100, 200, -100, -200, 96, 200, 400}, // reversed box: the absolute extent
        SizeCase {-32768, 0, 32767, 1440, 1440, 4369, 96}), // the widest box there is
    testing_support::namedBy([](const SizeCase& row) {
        return std::to_string(row.left) + "_" + std::to_string(row.top) + "_" + std::to_string(row.right) + "_"
            + std::to_string(row.bottom) + "_perInch" + std::to_string(row.inch);
    }));

} // namespace

TEST(WmfLayer, RefusesABoxThatRoundsToNothing)
{
    EXPECT_EQ(loadError(simpleFile(0, 0, 96, 0, 96)), "Invalid metafile: the picture's size is 96×0 pixels");
    EXPECT_EQ(loadError(simpleFile(0, 0, 1, 1, 1440)), "Invalid metafile: the picture's size is 0×0 pixels");
}

TEST(WmfLayer, RefusesPicturesTooLargeToDraw)
{
    // 32767 units at 1 unit per inch is over three million pixels a side.
    EXPECT_EQ(
        loadError(simpleFile(0, 0, 32767, 32767, 1)), "The picture is too large to display (3145632×3145632 pixels)");
}

TEST(WmfLayer, RefusesFilesThatAreNotPlaceableMetafiles)
{
    EXPECT_EQ(loadError({}), "Invalid metafile: not a placeable Windows metafile");
    EXPECT_EQ(loadError(WmfBuilder().metafile()), "Invalid metafile: not a placeable Windows metafile");
    EXPECT_EQ(loadError(simpleFile().left(21)), "Invalid metafile: not a placeable Windows metafile");

    QByteArray badChecksum = simpleFile();
    badChecksum[20] = char(badChecksum[20] ^ 1);
    EXPECT_EQ(loadError(badChecksum), "Invalid metafile: the placeable header's checksum is wrong");

    EXPECT_EQ(loadError(simpleFile().left(30)), "Invalid metafile: the Windows metafile header is missing");
    QByteArray badType = simpleFile();
    putLe16(badType, 22, 3);
    EXPECT_EQ(loadError(badType), "Invalid metafile: the Windows metafile header is not valid");
    QByteArray badHeaderSize = simpleFile();
    putLe16(badHeaderSize, 24, 10);
    EXPECT_EQ(loadError(badHeaderSize), "Invalid metafile: the Windows metafile header is not valid");
}

TEST(WmfLayer, RefusesTheBadChecksumSample)
{
    REQUIRE_SHARED_SAMPLE("metafiles/malformed/wmf-bad-checksum.wmf");
    const QByteArray bytes
        = testing_support::fileBytes(testing_support::samplePath("metafiles/malformed/wmf-bad-checksum.wmf"));
    ASSERT_FALSE(bytes.isEmpty());
    EXPECT_EQ(loadError(bytes), "Invalid metafile: the placeable header's checksum is wrong");
}

TEST(WmfLayer, HoldsTheMetafileUpToItsOwnEnd)
{
    const QByteArray file = simpleFile();
    const auto picture = loadPlaceableWmf(file + "@||@description after the picture");
    EXPECT_EQ(picture->pictureEnd(), file.size());
    EXPECT_EQ(picture->headForDescription(file), file); // kept byte for byte
}

TEST(WmfLayer, RefusesAMetafileCutShort)
{
    const QByteArray file = simpleFile();
    EXPECT_EQ(loadError(file.left(file.size() - 6)),
        QString("Invalid metafile: the file is truncated (%1 of %2 metafile bytes)")
            .arg(file.size() - 28)
            .arg(file.size() - 22));
}

TEST(WmfLayer, SizeFieldThatCountsThePlaceableHeaderEndsAtTheEndOfFileRecord)
{
    // Some writers store the whole file's size in the metafile header; the description behind it stays out,
    // however long it is.
    const QByteArray plain = simpleFile();
    QByteArray file = plain;
    putLe16(file, 22 + 6, int(file.size() / 2));
    for (const QByteArray& description : {QByteArray("@||@some words"), QByteArray("@||@") + QByteArray(18, 'x'),
             QByteArray("@||@") + QByteArray(400, 'y')}) {
        const auto picture = loadPlaceableWmf(file + description);
        EXPECT_EQ(picture->pictureEnd(), file.size()) << description.size();
    }

    // Without its end-of-file record such a metafile is simply cut short.
    EXPECT_FALSE(loadError(file.left(file.size() - 6)).isEmpty());
}
