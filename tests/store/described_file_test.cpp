#include "platform/errors.h"
#include "store/described_file.h"
#include "support/case_name.h"
#include "support/jpeg_builder.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace store;
using platform::asBytes;
using testing_support::TempDir;

namespace {

QByteArray bytesOf(std::string_view text)
{
    return {text.data(), static_cast<qsizetype>(text.size())};
}

const QByteArray& pictureBytes()
{
    static const QByteArray jpeg = testing_support::encodeJpeg(testing_support::quadrantImage(24, 16));
    return jpeg;
}

} // namespace

// ---- the first-marker rule and the description field's text ----

struct MarkerCase {
    std::string_view bytes;
    qint64 expected;
};

class FindMarker : public testing::TestWithParam<MarkerCase> { };

TEST_P(FindMarker, FindsTheFirstMarkerAnywhere)
{
    EXPECT_EQ(findMarker(asBytes(GetParam().bytes)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, FindMarker,
    testing::Values(MarkerCase {"", -1}, MarkerCase {"@||", -1}, MarkerCase {"@||@", 0}, MarkerCase {"ab@||@c@||@", 2},
        MarkerCase {"@|@||@", 2}, MarkerCase {"@@||@", 1}, MarkerCase {std::string_view("\0\xFF@||@", 6), 2},
        MarkerCase {"@||x@|| @||", -1}),
    testing_support::namedBy([](const MarkerCase& row) { return row.bytes; }));

struct NormaliseCase {
    std::string_view stored;
    std::string_view shown;
};

class NormaliseDescription : public testing::TestWithParam<NormaliseCase> { };

TEST_P(NormaliseDescription, LineBreaksBecomeCrLfAndTextStopsAtNul)
{
    EXPECT_EQ(normaliseDescription(asBytes(GetParam().stored)), bytesOf(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(Table, NormaliseDescription,
    testing::Values(NormaliseCase {"", ""}, NormaliseCase {"a\r\nb", "a\r\nb"}, NormaliseCase {"a\rb", "a\r\nb"},
        NormaliseCase {"a\nb", "a\r\nb"}, NormaliseCase {"a\n\rb", "a\r\n\r\nb"},
        NormaliseCase {"\r\r\n\n", "\r\n\r\n\r\n"}, NormaliseCase {"end\n", "end\r\n"},
        NormaliseCase {"end\r", "end\r\n"}, NormaliseCase {std::string_view("ab\0c\nd", 6), "ab"},
        NormaliseCase {std::string_view("\0x", 2), ""}, NormaliseCase {"za\xBF\xF3\xB3\xE6", "za\xBF\xF3\xB3\xE6"}),
    testing_support::namedBy([](const NormaliseCase& row) { return row.stored; }));

// ---- reading ----

TEST(ReadDescribedFile, PlainPictureHasNoDescriptionAndBlockLengthZero)
{
    TempDir dir;
    const auto read
        = readDescribedFile(platform::FilePath::fromText(dir.write(QStringLiteral("a.jpg"), pictureBytes())));
    ASSERT_TRUE(read.picture);
    EXPECT_EQ(read.picture->size(), QSize(24, 16));
    EXPECT_FALSE(read.description.has_value());
    EXPECT_EQ(read.blockLength, 0);
}

TEST(ReadDescribedFile, DescriptionAndBlockLength)
{
    struct Case {
        QByteArray text;
        const char* what;
    };
    const Case cases[] = {
        {QByteArray(), "empty description: the marker alone"},
        {QByteArray("Zdj\xEA"
                    "cie\r\nz wakacji"),
            "two lines, no final break"},
        {QByteArray("cytat @||@ w opisie @||@"), "further markers are text"},
        {QByteArray("a\rb\nc\0d", 7), "stored exactly, not normalised"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const QString path = dir.write(QStringLiteral("d.jpg"), pictureBytes() + "@||@" + c.text);
        const auto read = readDescribedFile(platform::FilePath::fromText(path));
        ASSERT_TRUE(read.description.has_value()) << c.what;
        EXPECT_EQ(*read.description, c.text) << c.what;
        EXPECT_EQ(read.blockLength, 4 + c.text.size()) << c.what;
        EXPECT_EQ(read.picture->size(), QSize(24, 16)) << c.what;
    }
}

TEST(ReadDescribedFile, MarkerInsidePictureDataStartsTheDescription)
{
    TempDir dir;
    const QByteArray picture = testing_support::withComment(pictureBytes(), "note @||@ inside");
    const QString path = dir.write(QStringLiteral("m.jpg"), picture);
    const auto read = readDescribedFile(platform::FilePath::fromText(path));
    const qint64 at = picture.indexOf("@||@");
    ASSERT_TRUE(read.description.has_value());
    EXPECT_EQ(*read.description, picture.mid(at + 4));
    EXPECT_EQ(read.blockLength, picture.size() - at);
    EXPECT_EQ(read.picture->size(), QSize(24, 16)); // the picture itself still loads
}

TEST(ReadDescribedFile, FailuresRaiseWithoutADescription)
{
    TempDir dir;
    EXPECT_THROW((void)readDescribedFile(platform::FilePath::fromText(dir.path(QStringLiteral("missing.jpg")))),
        platform::IoError);
    EXPECT_THROW(
        (void)readDescribedFile(platform::FilePath::fromText(dir.write(QStringLiteral("a.txt"), pictureBytes()))),
        platform::AppError);
    EXPECT_THROW((void)readDescribedFile(
                     platform::FilePath::fromText(dir.write(QStringLiteral("b.jpg"), "not a picture@||@text"))),
        platform::AppError);
}
