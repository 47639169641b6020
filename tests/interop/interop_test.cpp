#include "interop/captions.h"
#include "interop/dump.h"
#include "interop/restore.h"
#include "platform/cp1250.h"
#include "store/described_file.h"
#include "store/exiv2_setup.h"
#include "store/picture_transaction.h"
#include "support/bmp_builder.h"
#include "support/emf_builder.h"
#include "support/jpeg_builder.h"
#include "support/temp_dir.h"
#include "support/wmf_builder.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

using testing_support::fileBytes;
using testing_support::TempDir;

namespace {

struct Format {
    const char* name;
    const char* extension;
    QByteArray (*picture)(int variant); // a different picture for each variant
};

void PrintTo(const Format& format, std::ostream* out)
{
    *out << format.name;
}

const Format kFormats[] = {
    {"Bmp", "bmp", [](int v) { return testing_support::solidBmp(3, 2, qRgb(10 * v, 20, 30)); }},
    {"Jpeg", "jpg", [](int v) { return testing_support::encodeJpeg(testing_support::quadrantImage(8 + v, 8)); }},
    {"Emf", "EMF",
        [](int v) { return testing_support::EmfBuilder(QSize(8, 8)).rectangle(QRect(1, 1, v + 2, 4)).finish(); }},
    {"Wmf", "wmf",
        [](int v) {
            return testing_support::WmfBuilder().window(0, 0, 8, 8).rectangle(1, 1, v + 2, 4).placeable(0, 0, 8, 8);
        }},
};

// Polish letters, a tab, CR LF, a NUL, a backslash, a second marker and two bytes Windows-1250 leaves undefined.
const QByteArray kStored("Za\xBF\xF3\xB3\xE6\tg\xEA\x9Cl\xB9\r\nja\x9F\xF1\0 \\ @||@ \x81\x98", 31);

QByteArray described(const QByteArray& picture, const QByteArray& description)
{
    return picture + "@||@" + description;
}

platform::FilePath at(const QString& path)
{
    return platform::FilePath::fromText(path);
}

QByteArray dumpOf(const QString& dir, interop::DumpFormat format)
{
    QByteArray text = interop::dumpHeader(format);
    std::size_t records = 0;
    interop::dumpDirectory(
        at(dir), true,
        [&](const interop::DumpRecord& r) {
            text += interop::formatRecord(r, format);
            ++records;
        },
        [](const platform::AppError& e) { ADD_FAILURE() << e.what(); }, [](std::size_t, std::size_t) {});
    return text + interop::dumpTrailer(format, records);
}

std::array<int, interop::kRestoreOutcomes> restore(
    const std::vector<interop::DumpLine>& dump, const QString& dir, interop::RestoreOptions options = {})
{
    return interop::countOutcomes(interop::restoreDescriptions(dump, at(dir), options));
}

void strip(const QString& path)
{
    store::PictureTransaction(at(path)).stripDescriptionBlock();
}

// restored, there, conflicting, ambiguous, not found, picture changed, failed
using Counts = std::array<int, interop::kRestoreOutcomes>;

class DumpAndRestore : public testing::TestWithParam<Format> { };

} // namespace

TEST_P(DumpAndRestore, PutsEachDescriptionBackByPathAndByPictureBytes)
{
    const Format& f = GetParam();
    TempDir dir;
    QDir(dir.path({})).mkpath(QStringLiteral("sub"));
    QDir(dir.path({})).mkpath(QStringLiteral("moved"));
    const QByteArray picture = f.picture(1);
    const QString a = dir.write(QStringLiteral("sub/a.") + f.extension, described(picture, kStored));
    dir.write(QStringLiteral("b.") + f.extension, f.picture(2)); // no block
    dir.write(QStringLiteral("c.") + f.extension, described(f.picture(3), {})); // an empty one

    std::vector<interop::DumpLine> dump;
    for (const auto format : {interop::DumpFormat::Tsv, interop::DumpFormat::JsonLines}) {
        const interop::Dump read = interop::readDump(dumpOf(dir.path({}), format));
        EXPECT_TRUE(read.checkable && read.incomplete.isEmpty()) << read.incomplete.toStdString();
        dump = read.lines;
        ASSERT_EQ(dump.size(), 3u);
        const interop::DumpRecord& record = *dump[2].record; // "sub/a" sorts after "b" and "c"
        EXPECT_EQ(record.path.bytes(), QByteArray("sub/a.") + f.extension);
        EXPECT_EQ(record.pictureLength, picture.size());
        EXPECT_EQ(record.pictureSha256, interop::sha256Hex(platform::asBytes(picture)));
        EXPECT_EQ(record.description, kStored);
        EXPECT_EQ(dump[0].record->description, std::nullopt);
        EXPECT_EQ(dump[1].record->description, QByteArray());
    }

    strip(a);
    EXPECT_EQ(restore(dump, dir.path({}), {.dryRun = true}), (Counts {1, 2, 0, 0, 0, 0, 0}));
    EXPECT_EQ(fileBytes(a), picture);
    EXPECT_EQ(restore(dump, dir.path({})), (Counts {1, 2, 0, 0, 0, 0, 0}));
    EXPECT_EQ(fileBytes(a), described(picture, kStored));

    // Renamed and moved after another program dropped the description: found by its picture bytes.
    strip(a);
    const QString moved = dir.path(QStringLiteral("moved/d.") + f.extension);
    ASSERT_TRUE(QFile::rename(a, moved));
    EXPECT_EQ(restore(dump, dir.path({})), (Counts {1, 2, 0, 0, 0, 0, 0}));
    EXPECT_EQ(fileBytes(moved), described(picture, kStored));
    EXPECT_EQ(restore(dump, dir.path({})), (Counts {0, 3, 0, 0, 0, 0, 0}));

    // Another description is kept unless forced, and a record without one never deletes one, forced or not.
    store::PictureTransaction(at(moved)).writeDescription("inny");
    const QString b = dir.path(QStringLiteral("b.") + f.extension);
    store::PictureTransaction(at(b)).writeDescription("cudzy");
    EXPECT_EQ(restore(dump, dir.path({})), (Counts {0, 1, 2, 0, 0, 0, 0}));
    EXPECT_EQ(fileBytes(moved), described(picture, "inny"));
    EXPECT_EQ(restore(dump, dir.path({}), {.force = true}), (Counts {1, 1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(fileBytes(moved), described(picture, kStored));
    EXPECT_EQ(fileBytes(b), described(f.picture(2), "cudzy"));
    strip(b);

    // Two files with those picture bytes: neither is written.
    strip(moved);
    const QString copy = dir.write(QStringLiteral("e.") + f.extension, picture);
    EXPECT_EQ(restore(dump, dir.path({})), (Counts {0, 2, 0, 1, 0, 0, 0}));
    EXPECT_EQ(fileBytes(moved), picture);
    EXPECT_EQ(fileBytes(copy), picture);
    ASSERT_TRUE(QFile::remove(copy) && QFile::remove(moved));
    EXPECT_EQ(restore(dump, dir.path({})), (Counts {0, 2, 0, 0, 1, 0, 0}));
}

INSTANTIATE_TEST_SUITE_P(Formats, DumpAndRestore, testing::ValuesIn(kFormats),
    [](const testing::TestParamInfo<Format>& param) { return std::string(param.param.name); });

TEST(Restore, WritesOnlyIntoThePictureWhoseBytesTheRecordHolds)
{
    TempDir dir;
    const QByteArray first = kFormats[1].picture(1);
    const QByteArray second = kFormats[1].picture(2);
    const QString a = dir.write(QStringLiteral("a.jpg"), described(first, "opis a"));
    const QString b = dir.write(QStringLiteral("b.jpg"), described(second, "opis b"));
    const auto dump = interop::readDump(dumpOf(dir.path({}), interop::DumpFormat::Tsv)).lines;

    // Names swapped and descriptions lost: each picture gets its own back, found by its bytes.
    strip(a);
    strip(b);
    ASSERT_TRUE(QFile::rename(a, dir.path(QStringLiteral("t.jpg"))) && QFile::rename(b, a)
        && QFile::rename(dir.path(QStringLiteral("t.jpg")), b));
    EXPECT_EQ(restore(dump, dir.path({})), (Counts {2, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(fileBytes(a), described(second, "opis b"));
    EXPECT_EQ(fileBytes(b), described(first, "opis a"));

    // A picture another program changed is no longer the one dumped: left alone, unless by its path.
    const QByteArray third = kFormats[1].picture(3);
    dir.write(QStringLiteral("a.jpg"), third);
    EXPECT_EQ(restore(dump, dir.path({})), (Counts {0, 1, 0, 0, 0, 1, 0}));
    EXPECT_EQ(fileBytes(a), third);
    EXPECT_EQ(restore(dump, dir.path({}), {.byPath = true}), (Counts {1, 0, 1, 0, 0, 0, 0}));
    EXPECT_EQ(fileBytes(a), described(third, "opis a"));

    // A file reached through a link out of the folder is never written, though it holds the picture a.jpg's record
    // looks for (and b.jpg's picture is gone).
    TempDir outside;
    const QString target = outside.write(QStringLiteral("p.jpg"), first);
    QFile::remove(b);
    ASSERT_TRUE(QFile::link(target, b));
    EXPECT_EQ(restore(dump, dir.path({})), (Counts {0, 0, 0, 0, 0, 1, 1}));
    EXPECT_EQ(fileBytes(target), first);
}

TEST(DumpReader, ADumpCutShortIsToldFromAWholeOne)
{
    TempDir dir;
    dir.write(QStringLiteral("a.jpg"), described(kFormats[1].picture(1), QByteArray(300, 'a')));
    dir.write(QStringLiteral("b.jpg"), described(kFormats[1].picture(2), QByteArray(300, 'b')));
    for (const auto format : {interop::DumpFormat::Tsv, interop::DumpFormat::JsonLines}) {
        const QByteArray whole = dumpOf(dir.path({}), format);
        const QByteArray withoutTrailer = whole.left(whole.lastIndexOf('\n', whole.size() - 2) + 1);
        struct Case {
            const char* name;
            QByteArray text;
            bool checkable;
            const char* incomplete;
            std::size_t lines;
        };
        const Case cases[] = {
            {"whole", whole, true, "", 2},
            {"cut inside a record", whole.left(whole.size() - 200), true, "its last line was cut off", 1},
            {"cut after a record", withoutTrailer, true, "its trailer line is missing", 2},
            {"a record more than its trailer counts",
                withoutTrailer + whole.mid(withoutTrailer.size()).replace('2', '1'), true,
                "its trailer counts 1 records, it holds 2", 2},
            {"made before dumps had trailers",
                format == interop::DumpFormat::Tsv ? whole.mid(whole.indexOf('\n') + 1)
                                                   : withoutTrailer.mid(whole.indexOf('\n') + 1),
                false, "", format == interop::DumpFormat::Tsv ? 3u : 2u},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (format == interop::DumpFormat::Tsv ? " (TSV)" : " (JSON)"));
            const interop::Dump dump = interop::readDump(c.text);
            EXPECT_EQ(dump.checkable, c.checkable);
            EXPECT_EQ(dump.incomplete, QString::fromUtf8(c.incomplete));
            EXPECT_EQ(dump.lines.size(), c.lines);
        }
    }
}

TEST(DumpReader, ABadLineFailsAloneAndARecordClaimingTheFileOfAnotherIsAmbiguous)
{
    TempDir dir;
    const QByteArray picture = kFormats[1].picture(1);
    const QString file = dir.write(QStringLiteral("p.jpg"), picture);
    const QByteArray sha = interop::sha256Hex(platform::asBytes(picture));
    const QByteArray dump = interop::dumpHeader(interop::DumpFormat::Tsv) + "p.jpg\tjpeg\t1\t" + sha
        + "\tyes\tbad \\q\n" + "../p.jpg\tjpeg\t1\t" + sha + "\tyes\tout\n" + "gone.jpg\tjpeg\t1\t" + sha
        + "\tyes\tok\n";
    const auto lines = interop::readDump(dump).lines;
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].error, QStringLiteral("the description holds an unknown escape \\q"));
    EXPECT_EQ(restore(lines, dir.path({})), (Counts {1, 0, 0, 0, 0, 0, 2}));
    EXPECT_EQ(fileBytes(file), described(picture, "ok"));
    EXPECT_EQ(restore(interop::readDump(dump + "p.jpg\tjpeg\t1\t" + sha + "\tyes\tok\n").lines, dir.path({})),
        (Counts {0, 0, 0, 2, 0, 0, 2}));
}

int main(int argc, char** argv)
{
    store::initialiseExiv2();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
