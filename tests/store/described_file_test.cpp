#include "platform/errors.h"
#include "store/described_file.h"
#include "support/bmp_builder.h"
#include "support/case_name.h"
#include "support/emf_builder.h"
#include "support/error_of.h"
#include "support/jpeg_builder.h"
#include "support/temp_dir.h"
#include "support/wmf_builder.h"

#include <QDir>
#include <QFile>
#include <QPainter>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace store;
using platform::asBytes;
using testing_support::fileBytes;
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

void makeReadOnly(const QString& path)
{
    ::chmod(QFile::encodeName(path).constData(), 0444);
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
    const auto read = readDescribedFile(platform::FilePath::fromText(dir.write(QStringLiteral("a.jpg"), pictureBytes())));
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
    EXPECT_THROW((void)readDescribedFile(platform::FilePath::fromText(dir.path(QStringLiteral("missing.jpg")))), platform::IoError);
    EXPECT_THROW((void)readDescribedFile(platform::FilePath::fromText(dir.write(QStringLiteral("a.txt"), pictureBytes()))), platform::AppError);
    EXPECT_THROW(
        (void)readDescribedFile(platform::FilePath::fromText(dir.write(QStringLiteral("b.jpg"), "not a picture@||@text"))), platform::AppError);
}

// ---- writing ----

TEST(WriteDescribedFile, ReadOnlyFileFailsAndStaysUntouched)
{
    TempDir dir;
    const QByteArray original = pictureBytes() + "@||@keep";
    const QString path = dir.write(QStringLiteral("ro.jpg"), original);
    const auto read = readDescribedFile(platform::FilePath::fromText(path));
    makeReadOnly(path);
    EXPECT_THROW(writeDescribedFile(path, *read.picture, "changed"), platform::IoError);
    EXPECT_EQ(fileBytes(path), original);
}

TEST(WriteDescribedFile, UnwritableFolderFailsAndChangesNothing)
{
    TempDir dir;
    const QString path = dir.write(QStringLiteral("f.jpg"), pictureBytes());
    const auto read = readDescribedFile(platform::FilePath::fromText(path));
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    ::chmod(QFile::encodeName(path).constData(), 0666); // the file itself may be written
    ::chmod(folder.constData(), 0555);
    // The superuser may write into any folder, so when the tests run as root the attempt is made as "nobody".
    const auto attempt = [&] {
        if (::geteuid() == 0 && ::setuid(65534) != 0)
            std::_Exit(3);
        try {
            writeDescribedFile(path, *read.picture, "x");
        } catch (const platform::IoError&) {
            std::_Exit(0);
        }
        std::_Exit(1);
    };
    EXPECT_EXIT(attempt(), testing::ExitedWithCode(0), "");
    ::chmod(folder.constData(), 0700);
    EXPECT_EQ(fileBytes(path), pictureBytes());
    EXPECT_EQ(QDir(dir.path(QString())).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST(WriteDescribedFile, FailureHalfWayLeavesTheOldFileWhole)
{
    TempDir dir;
    const QByteArray original = pictureBytes() + "@||@old";
    const QString path = dir.write(QStringLiteral("h.jpg"), original);
    const auto read = readDescribedFile(platform::FilePath::fromText(path));

    struct sigaction ignore { };
    ignore.sa_handler = SIG_IGN;
    struct sigaction previousAction { };
    ::sigaction(SIGXFSZ, &ignore, &previousAction);
    rlimit previous {};
    ::getrlimit(RLIMIT_FSIZE, &previous);
    rlimit small = previous;
    small.rlim_cur = static_cast<rlim_t>(original.size() + 100);
    ::setrlimit(RLIMIT_FSIZE, &small);
    bool failed = false;
    try {
        writeDescribedFile(path, *read.picture, QByteArray(4096, 'x'));
    } catch (const platform::IoError&) {
        failed = true;
    }
    ::setrlimit(RLIMIT_FSIZE, &previous);
    ::sigaction(SIGXFSZ, &previousAction, nullptr);

    EXPECT_TRUE(failed);
    EXPECT_EQ(fileBytes(path), original);
    EXPECT_EQ(QDir(dir.path(QString())).entryList(QDir::Files | QDir::Hidden).size(), 1); // no temporary left
}

// ---- stripping ----

TEST(StripDescriptionBlock, ZeroLengthLeavesTheFileAsItWas)
{
    TempDir dir;
    const QString path = dir.write(QStringLiteral("z.jpg"), pictureBytes());
    stripDescriptionBlock(path, readDescribedFile(platform::FilePath::fromText(path)).blockLength);
    EXPECT_EQ(fileBytes(path), pictureBytes());
}

TEST(StripDescriptionBlock, LengthBeyondTheFileIsAnIoErrorAndChangesNothing)
{
    TempDir dir;
    const QByteArray original = pictureBytes() + "@||@x";
    const QString path = dir.write(QStringLiteral("l.jpg"), original);
    EXPECT_THROW(stripDescriptionBlock(path, original.size() + 1), platform::IoError);
    EXPECT_THROW(stripDescriptionBlock(path, -1), platform::IoError);
    EXPECT_EQ(fileBytes(path), original);
}

TEST(StripDescriptionBlock, RefusesToCutIntoThePicture)
{
    TempDir dir;
    const QByteArray picture = testing_support::withComment(pictureBytes(), "note @||@ inside");
    const QString path = dir.write(QStringLiteral("p.jpg"), picture);
    const qint64 length = readDescribedFile(platform::FilePath::fromText(path)).blockLength;
    ASSERT_GT(length, 0);
    try {
        stripDescriptionBlock(path, length);
        FAIL() << "the picture was cut";
    } catch (const platform::IoError&) {
        FAIL() << "refusal reported as an I/O error";
    } catch (const platform::AppError& e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Nie mogę skasować opisu pliku p.jpg"))) << e.what();
    }
    EXPECT_EQ(fileBytes(path), picture);
    // A save made in memory is refused the same way, in words that fit it.
    EXPECT_TRUE(testing_support::errorOf([&] {
        (void)withoutBlock(path, picture, length);
    }).startsWith(QStringLiteral("Nie mogę zapisać opisu w pliku p.jpg")));

    // A description behind such a picture can still be deleted: the cut lies behind the picture's end.
    const QString described = dir.write(QStringLiteral("q.jpg"), picture + "@||@real");
    stripDescriptionBlock(described, 8);
    EXPECT_EQ(fileBytes(described), picture);
}

TEST(StripDescriptionBlock, UnreadablePictureMayOnlyBeCutAtAMarker)
{
    TempDir dir;
    const QByteArray original("damaged picture bytes@||@opis");
    const QString path = dir.write(QStringLiteral("u.jpg"), original);
    EXPECT_THROW(stripDescriptionBlock(path, 3), platform::AppError);
    EXPECT_EQ(fileBytes(path), original);
    stripDescriptionBlock(path, 8);
    EXPECT_EQ(fileBytes(path), QByteArray("damaged picture bytes"));
}

TEST(StripDescriptionBlock, JpegCutShortMayStillLoseItsDescriptionAtTheMarker)
{
    // Without an end-of-image marker the scan data runs on into the description, so only the marker tells.
    TempDir dir;
    const QByteArray cutShort = pictureBytes().left(pictureBytes().size() - 30);
    const QByteArray original = cutShort + "@||@opis";
    const QString path = dir.write(QStringLiteral("t.jpg"), original);
    EXPECT_THROW(stripDescriptionBlock(path, 3), platform::AppError);
    EXPECT_EQ(fileBytes(path), original);
    stripDescriptionBlock(path, readDescribedFile(platform::FilePath::fromText(path)).blockLength);
    EXPECT_EQ(fileBytes(path), cutShort);
}

TEST(StripDescriptionBlock, ReadOnlyOrMissingFileIsAnIoError)
{
    TempDir dir;
    const QByteArray original = pictureBytes() + "@||@x";
    const QString path = dir.write(QStringLiteral("o.jpg"), original);
    makeReadOnly(path);
    EXPECT_THROW(stripDescriptionBlock(path, 5), platform::IoError);
    EXPECT_EQ(fileBytes(path), original);
    EXPECT_THROW(stripDescriptionBlock(dir.path(QStringLiteral("none.jpg")), 0), platform::IoError);
}

// ---- every format ----

struct FormatCase {
    const char* name;
    const char* fileName;
    QByteArray (*picture)();
};

class EveryFormat : public testing::TestWithParam<FormatCase> { };

TEST_P(EveryFormat, SaveReadAndDeleteADescription)
{
    TempDir dir;
    const QByteArray original = GetParam().picture();
    ASSERT_FALSE(original.isEmpty());
    const QString path = dir.write(QString::fromLatin1(GetParam().fileName), original);
    const auto plain = readDescribedFile(platform::FilePath::fromText(path));
    EXPECT_EQ(plain.blockLength, 0);
    const QImage pixels = plain.picture->image();

    const QByteArray text("Opis \xB3\xB9ki\r\n@||@ drugi znacznik");
    writeDescribedFile(path, *plain.picture, text);
    const QByteArray written = fileBytes(path);
    EXPECT_EQ(written, plain.picture->encoded() + "@||@" + text);

    const auto described = readDescribedFile(platform::FilePath::fromText(path));
    EXPECT_EQ(described.description, text);
    EXPECT_EQ(described.blockLength, 4 + text.size());
    EXPECT_LE(described.picture->pictureEnd(), written.size() - described.blockLength);
    EXPECT_EQ(described.picture->image(), pixels); // the description is never drawn

    // Saving the same text again the viewer's way (strip, read, write) gives the same bytes again.
    stripDescriptionBlock(path, described.blockLength);
    EXPECT_EQ(fileBytes(path), plain.picture->encoded());
    const auto stripped = readDescribedFile(platform::FilePath::fromText(path));
    EXPECT_EQ(stripped.picture->image(), pixels);
    writeDescribedFile(path, *stripped.picture, *described.description);
    EXPECT_EQ(fileBytes(path), written);

    // Deleting the description leaves the picture as written.
    stripDescriptionBlock(path, readDescribedFile(platform::FilePath::fromText(path)).blockLength);
    EXPECT_EQ(fileBytes(path), plain.picture->encoded());
}

QByteArray jpegPicture()
{
    return pictureBytes();
}

QByteArray bmpPicture()
{
    return testing_support::bmpFromImage(testing_support::quadrantImage(7, 5));
}

QByteArray wmfPicture()
{
    testing_support::WmfBuilder builder;
    builder.window(0, 0, 100, 50).brush(0, Qt::blue).select(0).rectangle(10, 10, 90, 40);
    return builder.placeable(0, 0, 100, 50, 96);
}

QByteArray emfPicture()
{
    testing_support::EmfBuilder builder(QSize(120, 80));
    builder.createBrush(1, 0, 0x00FF0000).select(1).rectangle(QRect(10, 10, 100, 60));
    builder.createPen(2, 0, 3, 0x000000FF).select(2).moveTo(QPoint(0, 0)).lineTo(QPoint(119, 79));
    return builder.finish();
}

INSTANTIATE_TEST_SUITE_P(Formats, EveryFormat,
    testing::Values(FormatCase {"jpeg", "a.jpg", jpegPicture}, FormatCase {"bmp", "b.bmp", bmpPicture},
        FormatCase {"wmf", "c.wmf", wmfPicture}, FormatCase {"emf", "d.emf", emfPicture}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(StripDescriptionBlock, RefusesToCutIntoBitmapPixelsThatHoldTheMarker)
{
    // Two pixels whose blue, green, red, blue bytes read "@||@" in the stored rows.
    QImage image(4, 1, QImage::Format_RGB32);
    image.fill(Qt::black);
    image.setPixel(0, 0, qRgb(0x7C, 0x7C, 0x40));
    image.setPixel(1, 0, qRgb(0, 0, 0x40));
    TempDir dir;
    const QByteArray bmp = testing_support::bmpFromImage(image);
    ASSERT_GE(findMarker(asBytes(bmp)), 54);
    const QString path = dir.write(QStringLiteral("px.bmp"), bmp + "@||@opis");
    const auto read = readDescribedFile(platform::FilePath::fromText(path));
    EXPECT_EQ(*read.description, bmp.mid(findMarker(asBytes(bmp)) + 4) + "@||@opis");
    EXPECT_THROW(stripDescriptionBlock(path, read.blockLength), platform::AppError);
    EXPECT_EQ(fileBytes(path), bmp + "@||@opis");
}
