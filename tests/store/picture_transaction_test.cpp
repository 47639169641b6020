#include "platform/errors.h"
#include "platform/fault_injection.h"
#include "store/described_file.h"
#include "store/picture_transaction.h"
#include "support/bmp_builder.h"
#include "support/case_name.h"
#include "support/emf_builder.h"
#include "support/error_of.h"
#include "support/file_size_limit.h"
#include "support/jpeg_builder.h"
#include "support/temp_dir.h"
#include "support/wmf_builder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstddef>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

using platform::FilePath;
using store::PictureTransaction;
using testing_support::errorOf;
using testing_support::fileBytes;
using testing_support::TempDir;

namespace {

FilePath at(const QString& path)
{
    return FilePath::fromText(path);
}

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

const QByteArray& jpeg()
{
    static const QByteArray bytes = testing_support::encodeJpeg(testing_support::quadrantImage(24, 16));
    return bytes;
}

/** A version 5 bitmap with an embedded colour profile behind its pixels, which no writer may drop. */
QByteArray profiledBmp()
{
    QByteArray file = testing_support::bmpFromImage(testing_support::quadrantImage(7, 5));
    file[14] = char(124); // the header grows to the version 5 form: 84 more bytes in front of the pixels
    file.insert(54, QByteArray(84, '\0'));
    file[10] = char(54 + 84);
    const qsizetype profileAt = file.size();
    file.append(QByteArray(560, 'p'));
    const auto put = [&file](qsizetype at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = char((v >> (8 * i)) & 0xFF);
    };
    put(14 + 56, 0x4D424544); // 'MBED'
    put(14 + 112, std::uint32_t(profileAt - 14));
    put(14 + 116, 560);
    return file;
}

QByteArray jpegPicture()
{
    return jpeg();
}

QByteArray wmfPicture()
{
    testing_support::WmfBuilder builder;
    builder.window(0, 0, 100, 50).brush(0, Qt::blue).select(0).rectangle(10, 10, 90, 40);
    return builder.placeable(0, 0, 100, 50, 0); // an inch of no units, kept as it is
}

QByteArray emfPicture()
{
    testing_support::EmfBuilder builder(QSize(120, 80));
    builder.createBrush(1, 0, 0x00FF0000).select(1).rectangle(QRect(10, 10, 100, 60));
    return builder.finish();
}

struct FormatCase {
    const char* name;
    const char* fileName;
    QByteArray (*picture)();
};

class EveryFormat : public testing::TestWithParam<FormatCase> { };

TEST_P(EveryFormat, WritesKeepThePicturesBytesAsReadAndADeleteCutsBackToThem)
{
    TempDir dir;
    const QByteArray original = GetParam().picture();
    const QString path = dir.write(QString::fromLatin1(GetParam().fileName), original);
    const QImage pixels = store::readDescribedFile(at(path)).picture->image();

    const QByteArray text("Opis \xB3\xB9ki\r\n@||@ drugi znacznik");
    PictureTransaction(at(path)).writeDescription(text);
    EXPECT_EQ(fileBytes(path), original + "@||@" + text);
    const auto described = store::readDescribedFile(at(path));
    EXPECT_EQ(described.description, text);
    EXPECT_EQ(described.picture->image(), pixels); // the description is never drawn

    PictureTransaction(at(path)).writeDescription("inny");
    EXPECT_EQ(fileBytes(path), original + "@||@inny");
    PictureTransaction(at(path)).stripDescriptionBlock();
    EXPECT_EQ(fileBytes(path), original);
}

INSTANTIATE_TEST_SUITE_P(Formats, EveryFormat,
    testing::Values(FormatCase {"Jpeg", "a.jpg", jpegPicture},
        FormatCase {"BmpWithAColourProfile", "b.bmp", profiledBmp}, FormatCase {"Wmf", "c.wmf", wmfPicture},
        FormatCase {"Emf", "d.emf", emfPicture}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(PictureTransaction, ABitmapShorterThanItsHeaderSaysGetsTheCorrectImageSizeFromEveryWriter)
{
    TempDir dir;
    const QByteArray full = testing_support::solidBmp(8, 8, qRgb(1, 2, 3));
    const QString path = dir.write(QStringLiteral("short.bmp"), full.left(full.size() - 40));
    PictureTransaction(at(path)).writeDescription("opis");
    const auto read = store::readDescribedFile(at(path));
    EXPECT_EQ(read.description, QByteArray("opis"));
    EXPECT_EQ(read.picture->pictureEnd(), full.size() - 40);
    // and it stays a file every writer can change again
    PictureTransaction(at(path)).writeDescription("drugi");
    PictureTransaction(at(path)).stripDescriptionBlock();
    EXPECT_EQ(store::readDescribedFile(at(path)).blockLength, 0);
}

struct StripCase {
    const char* name;
    QByteArray before;
    QByteArray after;
};

TEST(PictureTransaction, ADeleteCutsAtTheFirstMarkerWhereThePictureHasNoEndOfItsOwn)
{
    const QByteArray cutShort = jpeg().left(jpeg().size() - 30);
    const StripCase cases[] = {
        {"no marker", jpeg(), jpeg()},
        {"picture this program cannot read", "damaged picture bytes@||@opis", "damaged picture bytes"},
        {"JPEG cut short before its end", cutShort + "@||@opis", cutShort},
    };
    TempDir dir;
    for (const StripCase& c : cases) {
        const QString path = dir.write(QStringLiteral("s.jpg"), c.before);
        PictureTransaction(at(path)).stripDescriptionBlock();
        EXPECT_EQ(fileBytes(path), c.after) << c.name;
    }
}

/** A picture whose pixels hold the marker: the blue, green, red, blue bytes of two pixels read "@||@". */
QByteArray markerInPixels()
{
    QImage image(4, 1, QImage::Format_RGB32);
    image.fill(Qt::black);
    image.setPixel(0, 0, qRgb(0x7C, 0x7C, 0x40));
    image.setPixel(1, 0, qRgb(0, 0, 0x40));
    return testing_support::bmpFromImage(image) + "@||@opis";
}

QByteArray shortCoreBitmap()
{
    testing_support::BmpSpec core;
    core.width = 3;
    core.height = 3;
    core.headerSize = 12;
    core.pixels = QByteArray(20, '\x10');
    return testing_support::buildBmp(core);
}

struct Refusal {
    const char* name;
    const char* fileName;
    QByteArray bytes;
    bool strip;
    const char* error;
};

TEST(PictureTransaction, RefusalsSayWhyAndLeaveTheFileAsItWas)
{
    QByteArray archive(1000, 'a');
    archive += "@||@" + QByteArray(2000, 'b');
    const QByteArray inComment = testing_support::withComment(jpeg(), "note @||@ inside");
    const Refusal cases[] = {
        {"MarkerInJpegData", "m.jpg", inComment, false,
            "Nie mogę zapisać opisu w pliku m.jpg - dane samego obrazu zawierają już znacznik"},
        {"MarkerInJpegDataDeleted", "m.jpg", inComment, true, "Nie mogę skasować opisu pliku m.jpg - znacznik"},
        {"MarkerInBitmapPixels", "px.bmp", markerInPixels(), true, "Nie mogę skasować opisu pliku px.bmp"},
        {"UnreadablePicture", "u.jpg", "damaged picture bytes@||@opis", false,
            "Nie mogę zapisać opisu w pliku u.jpg - "},
        {"ShortCoreHeaderBitmap", "core.bmp", shortCoreBitmap(), false,
            "Nie mogę zapisać opisu w pliku core.bmp - dane obrazu BMP są krótsze"},
        {"NoPictureExtension", "archive.tar", archive, true, "Unknown picture file extension \"tar\""},
    };
    TempDir dir;
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.write(QString::fromLatin1(c.fileName), c.bytes);
        const QString error = errorOf([&] {
            PictureTransaction change(at(path));
            if (c.strip)
                change.stripDescriptionBlock();
            else
                change.writeDescription("nowy");
        });
        EXPECT_TRUE(error.startsWith(QString::fromUtf8(c.error))) << error.toStdString();
        EXPECT_EQ(fileBytes(path), c.bytes);
    }
}

TEST(PictureTransaction, FailuresOfTheSystemLeaveTheFileWholeAndNameWhatFailed)
{
    TempDir dir;
    const QByteArray original = jpeg() + "@||@stary";
    const QString path = dir.write(QStringLiteral("f.jpg"), original);
    {
        // Half-way through the new file (a full disk, a file-size limit): no temporary is left behind.
        const testing_support::FileSizeLimit limit(original.size() + 100);
        EXPECT_THROW(PictureTransaction(at(path)).writeDescription(QByteArray(4096, 'x')), platform::IoError);
    }
    {
        const platform::InjectedFailure noRoom(platform::FileOperation::CreateFile, dir.path({}), EACCES);
        EXPECT_EQ(errorOf([&] { PictureTransaction(at(path)).writeDescription("x"); }),
            QStringLiteral("I/O error 13 (Permission denied): ") + QDir::cleanPath(dir.path({})));
    }
    ::chmod(native(path).constData(), 0444);
    EXPECT_THROW(PictureTransaction(at(path)).writeDescription("x"), platform::IoError);
    EXPECT_THROW(PictureTransaction(at(path)).stripDescriptionBlock(), platform::IoError);
    EXPECT_EQ(fileBytes(path), original);
    EXPECT_EQ(QDir(dir.path({})).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST(PictureTransaction, NeverChangesAFileAnotherProgramChangedSinceItWasRead)
{
    struct Case {
        const char* name;
        bool strip;
        bool inPlace; // the other program rewrites the file itself, with as many bytes; else it replaces it
    };
    const QByteArray other = jpeg() + "@||@inny opis";
    TempDir dir;
    for (const Case c : {Case {"write after a rewrite", false, true}, Case {"write after a replacement", false, false},
             Case {"delete after a rewrite", true, true}, Case {"delete after a replacement", true, false}}) {
        SCOPED_TRACE(c.name);
        const QString path = dir.write(QStringLiteral("a.jpg"), jpeg() + "@||@mój opis");
        PictureTransaction change(at(path));
        // The other program writes between this one's read and its change.
        const platform::InjectedStop otherProgram([&](platform::FileOperation operation, const QString&) {
            if (operation != platform::FileOperation::LockFile)
                return;
            if (c.inPlace) {
                QFile file(path);
                ASSERT_TRUE(file.open(QIODevice::ReadWrite));
                file.write(other);
                file.close();
                const timespec later[2] = {{0, UTIME_OMIT}, {::time(nullptr) + 5, 0}};
                ::utimensat(AT_FDCWD, native(path).constData(), later, 0);
            } else {
                ::rename(native(dir.write(QStringLiteral("new.jpg"), other)).constData(), native(path).constData());
            }
        });
        EXPECT_THROW(
            c.strip ? change.stripDescriptionBlock() : change.writeDescription("mój nowy"), platform::FileChangedError);
        EXPECT_EQ(fileBytes(path), other);
        EXPECT_THROW(change.requireIdentity(platform::identityOf(at(path))), platform::FileChangedError);
    }
}

TEST(PictureTransaction, WaitsForAnotherWriterOfThisProgramAndThenReportsTheFileBusy)
{
    TempDir dir;
    const QByteArray before = jpeg() + "@||@stary";
    for (const int holdMs : {300, int(platform::kWriteLockWait.count()) + 2000}) {
        SCOPED_TRACE(holdMs);
        const QString path = dir.write(QStringLiteral("l.jpg"), before);
        int locked[2];
        ASSERT_EQ(::pipe(locked), 0);
        const pid_t writer = ::fork();
        if (writer == 0) {
            const int fd = ::open(native(path).constData(), O_RDONLY);
            ::flock(fd, LOCK_EX);
            [[maybe_unused]] const ssize_t told = ::write(locked[1], "x", 1);
            ::usleep(useconds_t(holdMs) * 1000);
            ::_exit(0);
        }
        char c = 0;
        ASSERT_EQ(::read(locked[0], &c, 1), 1);
        PictureTransaction change(at(path));
        if (holdMs < platform::kWriteLockWait.count()) {
            change.writeDescription("nowy");
            EXPECT_EQ(fileBytes(path), jpeg() + "@||@nowy");
        } else {
            EXPECT_THROW(change.writeDescription("nowy"), platform::FileBusyError);
            EXPECT_EQ(fileBytes(path), before);
        }
        ::kill(writer, SIGKILL);
        ::waitpid(writer, nullptr, 0);
        ::close(locked[0]);
        ::close(locked[1]);
    }
}

TEST(PictureTransaction, RemovesTheTemporariesOfWritersThatDiedButNoneAWriterHolds)
{
    TempDir dir;
    const QString path = dir.write(QStringLiteral("a.jpg"), jpeg());
    const timespec anHourAgo[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 3600, 0}};
    QStringList names {".zelkavio-Abandn", ".zelkavio-Heldup", ".zelkavio-Justmd", ".zelkavio-notes.txt"};
    for (const QString& name : names) {
        const QString temporary = dir.write(name, QByteArray(1000, 't'));
        if (name != u".zelkavio-Justmd")
            ::utimensat(AT_FDCWD, native(temporary).constData(), anHourAgo, 0);
    }
    const int held = ::open(native(dir.path(names[1])).constData(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    PictureTransaction(at(path)).writeDescription("x");
    ::close(held);
    names.removeFirst();
    names.append(QStringLiteral("a.jpg"));
    EXPECT_EQ(QDir(dir.path({})).entryList(QDir::Files | QDir::Hidden, QDir::Name), names);
}

/** Makes this process's fchmod fail with ENOSYS and fsetxattr with EOPNOTSUPP, as FAT through FUSE answers them. */
void keepNoModeOrAttributes()
{
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_fchmod, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_fsetxattr, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EOPNOTSUPP),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program {static_cast<unsigned short>(std::size(filter)), filter};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
        ::_exit(3);
}

TEST(PictureTransaction, AFileSystemThatKeepsNoModeOrAttributesStillTakesTheSave)
{
    TempDir dir;
    const QString path = dir.write(QStringLiteral("fat.jpg"), jpeg());
    ::setxattr(native(path).constData(), "user.origin", "camera", 6, 0); // where the file system keeps any
    const auto save = [&] {
        keepNoModeOrAttributes();
        try {
            PictureTransaction(at(path)).writeDescription("opis");
        } catch (const platform::AppError& e) {
            std::fprintf(stderr, "%s\n", e.what());
            ::_exit(1);
        }
        ::_exit(fileBytes(path) == jpeg() + "@||@opis" ? 0 : 2);
    };
    EXPECT_EXIT(save(), testing::ExitedWithCode(0), "");
}

TEST(PictureTransaction, AStickyFolderThatDoesNotLetThisUserReplaceTheFileSaysSo)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs the superuser, to give the folder and the file to other users";
    TempDir dir;
    ::chmod(native(dir.path({})).constData(), 0755);
    const QString folder = dir.path(QStringLiteral("shared"));
    ::mkdir(native(folder).constData(), 0700);
    ::chmod(native(folder).constData(), 01777);
    const QString path = dir.write(QStringLiteral("shared/theirs.jpg"), jpeg());
    ::chmod(native(path).constData(), 0666);
    ::chown(native(path).constData(), 65533, 65533);
    const auto save = [&] {
        if (::setuid(65534) != 0)
            ::_exit(3);
        const QString error = errorOf([&] { PictureTransaction(at(path)).writeDescription("opis"); });
        ::_exit(error.contains(QStringLiteral("bit \"sticky\"")) && fileBytes(path) == jpeg() ? 0 : 1);
    };
    EXPECT_EXIT(save(), testing::ExitedWithCode(0), "");
}

} // namespace
