#include "search/phrase_search.h"

#include "platform/errors.h"
#include "support/temp_dir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using platform::asBytes;
using search::PhraseMatcher;

TEST(PhraseMatcher, FoldsOnlyTheAsciiLettersWhenCaseDoesNotMatter)
{
    struct Row {
        QByteArray phrase;
        QByteArray data;
        bool matchCase;
        bool found;
    };
    const Row rows[] = {
        {"morskie oko", "Nad MORSKIE OKO", false, true},
        {"morskie oko", "Nad MORSKIE OKO", true, false},
        {"Oko", "Oko", true, true},
        {"[", "{", false, false}, // brackets are not letters
        {"@", "`", false, false},
        {"\xe0", "\xc0", false, false}, // Windows-1250 letters are never folded
        {"\xaf\xd3\xa3W", "\xbf\xf3\xb3w", false, false},
        {QByteArray("a\0b", 3), QByteArray("xA\0Bx", 5), false, true}, // NUL bytes are data like any other
        {"", "anything", false, false},
        {"", "", true, false},
        {"long phrase", "long", false, false},
    };
    for (const Row& row : rows) {
        const PhraseMatcher matcher(row.phrase, row.matchCase);
        EXPECT_EQ(matcher.foundIn(asBytes(row.data)), row.found)
            << row.phrase.toStdString() << " in " << row.data.toStdString();
    }
}

class FileContains : public testing::Test {
protected:
    void SetUp() override
    {
        m_fd = ::open(QFile::encodeName(m_dir.path({})).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(m_fd, 0);
    }
    void TearDown() override { ::close(m_fd); }

    testing_support::TempDir m_dir;
    int m_fd = -1;
};

TEST_F(FileContains, FindsAPhraseWhereverItLiesAcrossThePiecesRead)
{
    const PhraseMatcher matcher("Morskie Oko", false);
    // Pieces are 256 KiB: place the phrase before, across and after a boundary, and at the very end.
    for (const qsizetype at : {qsizetype(0), qsizetype(256 * 1024 - 5), qsizetype(256 * 1024), qsizetype(600000)}) {
        QByteArray bytes(at + 11, 'x');
        bytes.replace(at, 11, "MORSKIE oko");
        m_dir.write(QStringLiteral("a.jpg"), bytes);
        EXPECT_TRUE(search::fileContains(m_fd, QStringLiteral("a.jpg"), matcher)) << at;
        bytes[at + 10] = 'x';
        m_dir.write(QStringLiteral("a.jpg"), bytes);
        EXPECT_FALSE(search::fileContains(m_fd, QStringLiteral("a.jpg"), matcher)) << at;
    }
}

TEST_F(FileContains, OnlyRegularFilesHoldAnythingAndAMissingFileIsAnError)
{
    const PhraseMatcher matcher("x", true);
    ASSERT_TRUE(QDir(m_dir.path({})).mkdir(QStringLiteral("sub.jpg")));
    EXPECT_FALSE(search::fileContains(m_fd, QStringLiteral("sub.jpg"), matcher));
    ASSERT_EQ(::mkfifo(QFile::encodeName(m_dir.path(QStringLiteral("pipe.jpg"))).constData(), 0600), 0);
    EXPECT_FALSE(search::fileContains(m_fd, QStringLiteral("pipe.jpg"), matcher));
    EXPECT_THROW((void)search::fileContains(m_fd, QStringLiteral("gone.jpg"), matcher), platform::IoError);
    m_dir.write(QStringLiteral("Żółw.bmp"), "x");
    EXPECT_TRUE(search::fileContains(m_fd, QStringLiteral("Żółw.bmp"), matcher));
}
