#include "platform/errors.h"
#include "platform/file_names.h"
#include "store/described_file.h"
#include "store/picture_formats.h"
#include "store/picture_transaction.h"
#include "support/bmp_builder.h"
#include "support/case_name.h"
#include "support/temp_dir.h"
#include "viewer/file_listing.h"
#include "viewer/name_order.h"
#include "viewer/sound_lookup.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using testing_support::TempDir;

namespace {

const QLocale kPolish(QLocale::Polish, QLocale::Poland);

/** A directory with pictures of every case, other files, a hidden file, a subdirectory and links. */
class PictureDirectory : public testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"a.jpg", "B.bmp", "ć.jpg", "c.jpg", "Z.wmf", "PHOTO.JPG", "x.JPEG", "y.Emf",
                 "notes.txt", ".hidden.jpg", "jpg", "r.bmp"})
            m_dir.write(QString::fromUtf8(name), "data");
        QFile::setPermissions(m_dir.path(QStringLiteral("r.bmp")), QFileDevice::ReadOwner);
        ASSERT_TRUE(QDir(m_dir.path(QString())).mkdir(QStringLiteral("sub.jpg")));
        m_dir.write(QStringLiteral("sub.jpg/inner.jpg"), "data");
        ASSERT_TRUE(QFile::link(m_dir.path(QStringLiteral("a.jpg")), m_dir.path(QStringLiteral("link.bmp"))));
        ASSERT_TRUE(QFile::link(m_dir.path(QStringLiteral("gone")), m_dir.path(QStringLiteral("broken.jpg"))));
    }

    [[nodiscard]] QStringList list(const QString& mask) const
    {
        return viewer::listPictureFiles(platform::FilePath::fromText(m_dir.path(QString())), mask, kPolish);
    }

    TempDir m_dir;
};

TEST_F(PictureDirectory, ListsPictureFilesOnlySortedWithoutRegardToCase)
{
    EXPECT_EQ(list(store::pictureMask()),
        (QStringList {QStringLiteral("a.jpg"), QStringLiteral("B.bmp"), QStringLiteral("c.jpg"),
            QStringLiteral("ć.jpg"), QStringLiteral("link.bmp"), QStringLiteral("PHOTO.JPG"), QStringLiteral("r.bmp"),
            QStringLiteral("x.JPEG"), QStringLiteral("y.Emf"), QStringLiteral("Z.wmf")}));
}

TEST_F(PictureDirectory, ThePlainCLocaleStillSortsWithoutRegardToCase)
{
    const QStringList names = viewer::listPictureFiles(
        platform::FilePath::fromText(m_dir.path(QString())), QStringLiteral("*.jpg;*.bmp;*.wmf"), QLocale::c());
    EXPECT_EQ(names,
        (QStringList {QStringLiteral("a.jpg"), QStringLiteral("B.bmp"), QStringLiteral("c.jpg"),
            QStringLiteral("ć.jpg"), QStringLiteral("link.bmp"), QStringLiteral("PHOTO.JPG"), QStringLiteral("r.bmp"),
            QStringLiteral("Z.wmf")}));
}

TEST_F(PictureDirectory, NameMatchingSeveralPatternsIsListedOnce)
{
    EXPECT_EQ(list(QStringLiteral("*.jpg;a*;*")).count(QStringLiteral("a.jpg")), 1);
}

TEST_F(PictureDirectory, MaskOfOneNameListsThatFileWhateverItsCase)
{
    EXPECT_EQ(list(QStringLiteral("photo.jpg")), QStringList {QStringLiteral("PHOTO.JPG")});
    EXPECT_EQ(list(QStringLiteral("Ć.JPG")), QStringList {QStringLiteral("ć.jpg")});
}

TEST_F(PictureDirectory, QuestionMarkStandsForExactlyOneCharacter)
{
    EXPECT_EQ(list(QStringLiteral("?.jpg")),
        (QStringList {QStringLiteral("a.jpg"), QStringLiteral("c.jpg"), QStringLiteral("ć.jpg")}));
    EXPECT_EQ(list(QStringLiteral("?????.jpg")), QStringList {QStringLiteral("PHOTO.JPG")});
    EXPECT_TRUE(list(QStringLiteral("??.jpg")).isEmpty());
}

TEST_F(PictureDirectory, EverythingMaskStillSkipsHiddenFilesDirectoriesAndBrokenLinks)
{
    const QStringList all = list(QStringLiteral("*"));
    EXPECT_TRUE(all.contains(QStringLiteral("notes.txt")));
    EXPECT_TRUE(all.contains(QStringLiteral("jpg")));
    EXPECT_FALSE(all.contains(QStringLiteral(".hidden.jpg")));
    EXPECT_FALSE(all.contains(QStringLiteral("sub.jpg")));
    EXPECT_FALSE(all.contains(QStringLiteral("broken.jpg")));
    EXPECT_EQ(all.size(), 12);
}

TEST_F(PictureDirectory, TheUnsortedNamesAreTheListsNamesAndSortAsTheListDoes)
{
    for (const QString& mask : {store::pictureMask(), QStringLiteral("*"), QStringLiteral("?.jpg")}) {
        const viewer::PictureNames found
            = viewer::readPictureNames(platform::FilePath::fromText(m_dir.path(QString())), mask);
        std::vector<std::string_view> names;
        for (std::size_t i = 0; i < found.size(); ++i) {
            EXPECT_EQ(found[i].data()[found[i].size()], '\0'); // each name ends with a zero byte
            names.push_back(found[i]);
        }
        QStringList sorted;
        for (const std::uint32_t i : viewer::collationOrder(names, kPolish))
            sorted << QFile::decodeName(QByteArray(names[i].data(), qsizetype(names[i].size())));
        EXPECT_EQ(sorted, list(mask)) << mask.toStdString();
    }
    EXPECT_TRUE(viewer::readPictureNames(
        platform::FilePath::fromText(m_dir.path(QStringLiteral("sub.jpg"))), QStringLiteral("*.bmp"))
                    .empty());
    EXPECT_THROW((void)viewer::readPictureNames(
                     platform::FilePath::fromText(m_dir.path(QStringLiteral("none"))), QStringLiteral("*")),
        platform::IoError);
}

TEST(FileListing, EmptyDirectoryListsNothingAndMissingOneIsAnError)
{
    const TempDir dir;
    EXPECT_TRUE(
        viewer::listPictureFiles(platform::FilePath::fromText(dir.path(QString())), store::pictureMask()).isEmpty());
    EXPECT_THROW((void)viewer::listPictureFiles(
                     platform::FilePath::fromText(dir.path(QStringLiteral("none"))), store::pictureMask()),
        platform::IoError);
}

struct WildcardCase {
    const char* name;
    const char* pattern;
    bool matches;
};

class Wildcard : public testing::TestWithParam<WildcardCase> { };

TEST_P(Wildcard, MatchesWithoutRegardToCase)
{
    const WildcardCase& c = GetParam();
    EXPECT_EQ(viewer::matchesWildcard(QString::fromUtf8(c.name), QString::fromUtf8(c.pattern)), c.matches)
        << c.name << " ~ " << c.pattern;
}

INSTANTIATE_TEST_SUITE_P(Patterns, Wildcard,
    testing::Values(WildcardCase {"PHOTO.JPG", "*.jpg", true}, WildcardCase {"a.jpeg", "*.jpg", false},
        WildcardCase {"a.jpg.bak", "*.jpg", false}, WildcardCase {"a.b.jpg", "*.jpg", true},
        WildcardCase {"abc", "a?c", true}, WildcardCase {"ac", "a?c", false}, WildcardCase {"abbbc", "a*b*c", true},
        WildcardCase {"abxbcd", "*b?d", true}, WildcardCase {"ŁÓDŹ.JPG", "łódź.jpg", true},
        WildcardCase {"zażółć.bmp", "ZAŻÓŁĆ.*", true}, WildcardCase {"x", "", false}, WildcardCase {"", "*", true},
        WildcardCase {"name", "name", true}, WildcardCase {"name", "nam", false}),
    testing_support::namedBy([](const WildcardCase& row) { return std::string(row.name) + "|" + row.pattern; }));

class ListPath : public testing::Test {
protected:
    void SetUp() override
    {
        m_dir.write(QStringLiteral("PHOTO.JPG"), "data");
        ASSERT_TRUE(QDir(root()).mkpath(QStringLiteral("Wakacje/Morze")));
        m_dir.write(QStringLiteral("Wakacje/plaża.jpg"), "data");
    }

    [[nodiscard]] QString root() const { return QDir::cleanPath(m_dir.path(QString())); }

    [[nodiscard]] viewer::ListPathTarget split(const QString& text) const
    {
        return viewer::splitListPath(text, root());
    }

    TempDir m_dir;
};

TEST_F(ListPath, BareNamesTakeTheWorkingDirectory)
{
    const viewer::ListPathTarget file = split(QStringLiteral("PHOTO.JPG"));
    EXPECT_EQ(file.directory, root());
    EXPECT_EQ(file.name, QStringLiteral("PHOTO.JPG"));

    const viewer::ListPathTarget pattern = split(QStringLiteral("*.bmp"));
    EXPECT_EQ(pattern.directory, root());
    EXPECT_EQ(pattern.name, QStringLiteral("*.bmp"));
}

TEST_F(ListPath, NameThatIsNoFileIsASubdirectory)
{
    const viewer::ListPathTarget sub = split(QStringLiteral("Wakacje"));
    EXPECT_EQ(sub.directory, root() + QStringLiteral("/Wakacje"));
    EXPECT_TRUE(sub.name.isEmpty());
    EXPECT_EQ(split(QStringLiteral("..")).directory, QDir::cleanPath(root() + QStringLiteral("/..")));
}

TEST_F(ListPath, FullPathsSplitAtTheLastSeparator)
{
    const QString holiday = root() + QStringLiteral("/Wakacje");
    EXPECT_EQ(split(holiday).directory, holiday);
    EXPECT_EQ(split(holiday + QStringLiteral("/")).directory, holiday);
    const viewer::ListPathTarget deep = split(holiday + QStringLiteral("/Morze"));
    EXPECT_EQ(deep.directory, holiday + QStringLiteral("/Morze"));
    EXPECT_TRUE(deep.name.isEmpty());
    const viewer::ListPathTarget file = split(QStringLiteral("Wakacje/plaża.jpg"));
    EXPECT_EQ(file.directory, holiday);
    EXPECT_EQ(file.name, QStringLiteral("plaża.jpg"));
    const viewer::ListPathTarget mask = split(holiday + QStringLiteral("/*.jpg"));
    EXPECT_EQ(mask.directory, holiday);
    EXPECT_EQ(mask.name, QStringLiteral("*.jpg"));
    EXPECT_EQ(split(QStringLiteral("/")).directory, QStringLiteral("/"));
}

TEST_F(ListPath, NamesCompareWithoutRegardToCase)
{
    const viewer::ListPathTarget file = split(QStringLiteral("photo.jpg"));
    EXPECT_EQ(file.directory, root());
    EXPECT_EQ(file.name, QStringLiteral("photo.jpg"));
    const viewer::ListPathTarget sub = split(QStringLiteral("WAKACJE"));
    EXPECT_EQ(sub.directory, root() + QStringLiteral("/Wakacje"));
    EXPECT_TRUE(sub.name.isEmpty());
}

TEST_F(ListPath, MissingDirectoryOrNameIsAnIoError)
{
    for (const QString& text : {QStringLiteral("brak.jpg"), QStringLiteral("Brak/a.jpg"), QStringLiteral("Brak/*.jpg"),
             QStringLiteral("PHOTO.JPG/x")}) {
        EXPECT_THROW((void)split(text), platform::IoError) << text.toStdString();
    }
}

TEST(RawNames, EveryFileOperationUsesTheNamesOwnBytesInAFolderNotInUtf8)
{
    const TempDir dir;
    const QByteArray folder = "Zdj\352cia \340 Nice/";
    const QString directory = dir.writeNamed(folder + "x", {}).section(u'/', 0, -2);
    const platform::FilePath workingDirectory = platform::currentDirectory();
    for (const QByteArray& base : {QByteArray("\277aba"), QByteArray("Zdj\304"), QByteArray("\305\274aba")}) {
        SCOPED_TRACE(base.toHex().toStdString());
        const QString path = dir.writeNamed(folder + base + ".bmp", testing_support::solidBmp(2, 2, 0) + "@||@stary");
        const QString name = path.section(u'/', -1);
        EXPECT_TRUE(
            viewer::listPictureFiles(platform::FilePath::fromText(directory), store::pictureMask()).contains(name));
        EXPECT_EQ(viewer::splitListPath(path, QStringLiteral("/")).name, name);
        EXPECT_EQ(store::readDescribedFile(platform::FilePath::fromText(path)).description, QByteArray("stary"));
        const QString sound = dir.writeNamed(folder + base + ".WAV", "RIFF");
        EXPECT_EQ(viewer::pictureSound(platform::FilePath::fromText(path)).toText(), sound);
        platform::setCurrentDirectory(platform::FilePath::fromText(directory));
        EXPECT_EQ(viewer::pictureSound(platform::FilePath::fromText(name)).toText(), sound.section(u'/', -1));
        platform::setCurrentDirectory(workingDirectory);
        store::PictureTransaction(platform::FilePath::fromText(path)).writeDescription("nowy");
        EXPECT_EQ(store::readDescribedFile(platform::FilePath::fromText(path)).description, QByteArray("nowy"));
    }
    EXPECT_EQ(viewer::listPictureFiles(platform::FilePath::fromText(directory), QStringLiteral("*")).size(),
        7); // nothing else written
    EXPECT_EQ(viewer::listPictureFiles(platform::FilePath::fromText(directory), QStringLiteral("?aba.bmp")).size(),
        2); // a byte is a character
}

} // namespace
