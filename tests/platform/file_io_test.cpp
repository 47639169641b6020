#include "platform/errors.h"
#include "platform/file_io.h"
#include "support/temp_dir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace platform;
using testing_support::fileBytes;
using testing_support::TempDir;

TEST(ReplaceFile, WritesAllPartsAndKeepsPermissionBits)
{
    TempDir dir;
    const QString path = dir.write(QStringLiteral("a.bmp"), "old content");
    ::chmod(QFile::encodeName(path).constData(), 0640);
    replaceFile(path, {asBytes(std::string_view("new ")), asBytes(std::string_view("content"))});
    EXPECT_EQ(fileBytes(path), QByteArray("new content"));
    struct stat st { };
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(ReplaceFile, RefusesReadOnlyFileAndLeavesItUntouched)
{
    TempDir dir;
    const QString path = dir.write(QStringLiteral("ro.jpg"), "original");
    ::chmod(QFile::encodeName(path).constData(), 0444);
    try {
        replaceFile(path, {asBytes(std::string_view("changed"))});
        FAIL() << "a read-only file was replaced";
    } catch (const IoError& e) {
        EXPECT_EQ(e.errorCode(), EACCES);
    }
    EXPECT_EQ(fileBytes(path), QByteArray("original"));
}

TEST(ReplaceFile, FailureHalfWayLeavesOldFileWholeAndNoTemporary)
{
    TempDir dir;
    const QByteArray original(4096, 'o');
    const QString path = dir.write(QStringLiteral("big.bmp"), original);

    // A file-size limit makes the write fail with EFBIG part of the way through.
    struct sigaction ignore { };
    ignore.sa_handler = SIG_IGN;
    struct sigaction previousAction { };
    ::sigaction(SIGXFSZ, &ignore, &previousAction);
    rlimit previous {};
    ::getrlimit(RLIMIT_FSIZE, &previous);
    rlimit small = previous;
    small.rlim_cur = 1000;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const QByteArray replacement(8192, 'n');
    bool failed = false;
    try {
        replaceFile(path, {asBytes(replacement)});
    } catch (const IoError& e) {
        failed = e.errorCode() == EFBIG;
    }
    ::setrlimit(RLIMIT_FSIZE, &previous);
    ::sigaction(SIGXFSZ, &previousAction, nullptr);

    EXPECT_TRUE(failed);
    EXPECT_EQ(fileBytes(path), original);
    EXPECT_EQ(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST(FileRead, MissingFileDirectoryAndFifoAreIoErrors)
{
    TempDir dir;
    const QString fifo = dir.path(QStringLiteral("pipe.jpg"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // A FIFO without a writer fails at once instead of waiting.
    for (const QString& path : {dir.path(QStringLiteral("missing.jpg")), dir.path(QString()), fifo})
        EXPECT_THROW((void)readWholeFile(path), IoError) << path.toStdString();
}

TEST(FileRead, TheIdentityOfWhatWasReadIsTheFilesUntilItChanges)
{
    TempDir dir;
    const QString path = dir.write(QStringLiteral("a.jpg"), "first");
    std::optional<FileIdentity> identity;
    EXPECT_EQ(readWholeFile(path, identity), "first");
    ASSERT_TRUE(identity.has_value());
    EXPECT_EQ(identity, identityOf(path));
    EXPECT_EQ(identity->size, 5);
    // Replaced by another file of the same size: another inode.
    const QString other = dir.write(QStringLiteral("b.jpg"), "other");
    ASSERT_EQ(std::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()), 0);
    EXPECT_NE(identity, identityOf(path));
    EXPECT_FALSE(identityOf(dir.path(QStringLiteral("b.jpg"))).has_value());
}

TEST(FileTruncate, CutsAndRefusesReadOnly)
{
    TempDir dir;
    const QString path = dir.write(QStringLiteral("t.bmp"), "0123456789");
    {
        File file(path, File::Mode::ReadWrite);
        file.truncate(file.size() - 4);
    }
    EXPECT_EQ(fileBytes(path), QByteArray("012345"));
    ::chmod(QFile::encodeName(path).constData(), 0444);
    EXPECT_THROW(File(path, File::Mode::ReadWrite), IoError);
}
