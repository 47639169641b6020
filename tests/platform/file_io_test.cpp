#include "platform/errors.h"
#include "platform/fault_injection.h"
#include "platform/file_io.h"
#include "support/shared_samples.h"
#include "support/temp_dir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <vector>

using namespace platform;
using namespace Qt::StringLiterals;
using testing_support::fileBytes;
using testing_support::TempDir;

TEST(ReplaceFile, WritesAllPartsAndKeepsPermissionBits)
{
    TempDir dir;
    const QString path = dir.write(QStringLiteral("a.bmp"), "old content");
    ::chmod(QFile::encodeName(path).constData(), 0640);
    replaceFile(
        platform::FilePath::fromText(path), {asBytes(std::string_view("new ")), asBytes(std::string_view("content"))});
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
        replaceFile(platform::FilePath::fromText(path), {asBytes(std::string_view("changed"))});
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
        replaceFile(platform::FilePath::fromText(path), {asBytes(replacement)});
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
        EXPECT_THROW((void)readWholeFile(platform::FilePath::fromText(path)), IoError) << path.toStdString();
}

TEST(FileRead, TheIdentityOfWhatWasReadIsTheFilesUntilItChanges)
{
    TempDir dir;
    const QString path = dir.write(QStringLiteral("a.jpg"), "first");
    std::optional<FileIdentity> identity;
    EXPECT_EQ(readWholeFile(platform::FilePath::fromText(path), identity), "first");
    ASSERT_TRUE(identity.has_value());
    EXPECT_EQ(identity, identityOf(platform::FilePath::fromText(path)));
    EXPECT_EQ(identity->size, 5);
    // Replaced by another file of the same size: another inode.
    const QString other = dir.write(QStringLiteral("b.jpg"), "other");
    ASSERT_EQ(std::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()), 0);
    EXPECT_NE(identity, identityOf(platform::FilePath::fromText(path)));
    EXPECT_FALSE(identityOf(platform::FilePath::fromText(dir.path(QStringLiteral("b.jpg")))).has_value());
}

TEST(FileTruncate, CutsAndRefusesReadOnly)
{
    TempDir dir;
    const QString path = dir.write(QStringLiteral("t.bmp"), "0123456789");
    {
        File file(FilePath::fromText(path), File::Mode::ReadWrite);
        file.truncate(file.size() - 4);
    }
    EXPECT_EQ(fileBytes(path), QByteArray("012345"));
    ::chmod(QFile::encodeName(path).constData(), 0444);
    EXPECT_THROW(File(FilePath::fromText(path), File::Mode::ReadWrite), IoError);
}

namespace {

struct ReplaceCase {
    const char* name;
    QString fileName;
    std::optional<FileOperation> failing; // the step made to fail
    bool replaced;
};

// An access ACL: the owner, uid 4321 and the mask may read and write, the group read, others nothing.
const QByteArray kAcl = QByteArray::fromHex("02000000 0100 0600 ffffffff 0200 0600 e1100000 0400 0400 ffffffff "
                                            "1000 0600 ffffffff 2000 0000 ffffffff");

void PrintTo(const ReplaceCase& row, std::ostream* out)
{
    *out << row.name;
}

class Replace : public testing::TestWithParam<ReplaceCase> { };

} // namespace

TEST_P(Replace, ChangesTheFileOnlyByTheLastStepAndKeepsItsAttributes)
{
    const ReplaceCase& row = GetParam();
    TempDir dir;
    const QString path = dir.write(row.fileName, "old");
    const QByteArray native = QFile::encodeName(path);
    ::chmod(native.constData(), 0640);
    const bool attributes = ::setxattr(native.constData(), "user.zelkavio", "kept", 4, 0) == 0
        && ::setxattr(native.constData(), "system.posix_acl_access", kAcl.constData(), kAcl.size(), 0) == 0;
    const std::string why = "no user attributes or ACLs here: " + std::string(std::strerror(errno));
    struct stat before { };
    ::stat(native.constData(), &before);
    std::vector<FileOperation> stops;
    {
        // Stopped at any step, the file holds its old or its new bytes.
        const InjectedStop stop([&](FileOperation operation, const QString&) {
            stops.push_back(operation);
            EXPECT_TRUE(fileBytes(path) == "old" || fileBytes(path) == "new bytes") << fileBytes(path).toStdString();
        });
        std::optional<InjectedFailure> failure;
        if (row.failing)
            failure.emplace(*row.failing, dir.path({}), ENOSPC);
        try {
            replaceFile(platform::FilePath::fromText(path), {asBytes(std::string_view("new bytes"))});
            EXPECT_TRUE(row.replaced) << "the failure was not reported";
        } catch (const IoError& e) {
            EXPECT_EQ(e.errorCode(), row.replaced ? 0 : ENOSPC);
        }
    }
    using enum FileOperation;
    const std::vector steps {WriteFile, CreateFile, WriteContent, KeepAttributes, SyncContent, RenameFile, SyncFolder};
    const auto last = std::find(steps.begin(), steps.end(), row.failing);
    EXPECT_EQ(stops, std::vector(steps.begin(), last == steps.end() ? last : last + 1));
    EXPECT_EQ(fileBytes(path), row.replaced ? "new bytes" : "old");
    EXPECT_EQ(QDir(dir.path({})).entryList(QDir::Files | QDir::Hidden), QStringList {row.fileName});
    struct stat after { };
    ASSERT_EQ(::stat(native.constData(), &after), 0);
    EXPECT_EQ(after.st_mode, before.st_mode);
    if (!attributes && testing_support::runningUnderCi())
        FAIL() << why;
    if (!attributes)
        GTEST_SKIP() << why;
    for (const auto& [name, value] :
        {std::pair {"user.zelkavio", QByteArray("kept")}, {"system.posix_acl_access", kAcl}}) {
        QByteArray kept(256, '\0');
        kept.truncate(std::max<ssize_t>(0, ::getxattr(native.constData(), name, kept.data(), 256)));
        EXPECT_EQ(kept, value) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Steps, Replace,
    testing::Values(ReplaceCase {"CreatingTheTemporaryFails", u"a.jpg"_s, FileOperation::CreateFile, false},
        ReplaceCase {"WritingFails", u"a.jpg"_s, FileOperation::WriteContent, false},
        ReplaceCase {"KeepingTheAttributesFails", u"a.jpg"_s, FileOperation::KeepAttributes, false},
        ReplaceCase {"SyncingFails", u"a.jpg"_s, FileOperation::SyncContent, false},
        ReplaceCase {"RenamingFails", u"a.jpg"_s, FileOperation::RenameFile, false},
        ReplaceCase {"SyncingTheFolderAfterTheRenameFails", u"a.jpg"_s, FileOperation::SyncFolder, true},
        ReplaceCase {"NameOf255Bytes", QString(251, u'n') + u".jpg"_s, std::nullopt, true},
        ReplaceCase {"NameOf255BytesInPolish", u"ż"_s.repeated(125) + u"a.jpg"_s, std::nullopt, true}),
    [](const testing::TestParamInfo<ReplaceCase>& param) { return std::string(param.param.name); });
