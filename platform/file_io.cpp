#include "file_io.h"

#include "fault_injection.h"

#include "errors.h"
#include "file_names.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace platform {

namespace {

/** The folder a file lies in. */
FilePath folderOf(const FilePath& path)
{
    return path.folder();
}

bool hasNoWriteBits(const struct stat& st)
{
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

void writeAll(int fd, ByteView bytes, const FilePath& path)
{
    const std::uint8_t* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw IoError(errno, path);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

void readExactly(int fd, char* into, qint64 length, const FilePath& path)
{
    qint64 done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, into + done, static_cast<std::size_t>(length - done), done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw IoError(errno, path);
        }
        if (n == 0)
            throw IoError(EIO, path); // the file shrank while we read it
        done += n;
    }
}

} // namespace

File::File(const FilePath& path, Mode mode)
    : m_path(path)
{
    failIfInjected(mode == Mode::ReadWrite ? FileOperation::WriteFile : FileOperation::ReadFile, path);
    // Without O_NONBLOCK, opening a FIFO would wait for a writer; a regular file reads as ever.
    const int access
        = mode == Mode::ReadWrite ? O_RDWR : (mode == Mode::ReadNotLink ? O_RDONLY | O_NOFOLLOW : O_RDONLY);
    m_fd = ::open(path.c_str(), access | O_CLOEXEC | O_NONBLOCK);
    if (m_fd < 0)
        throw IoError(errno, path);
    struct stat st { };
    if (::fstat(m_fd, &st) != 0)
        fail();
    if (!S_ISREG(st.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        throw IoError(S_ISDIR(st.st_mode) ? EISDIR : EINVAL, path);
    }
    if (mode == Mode::ReadWrite && hasNoWriteBits(st)) {
        ::close(m_fd);
        m_fd = -1;
        throw IoError(EACCES, path);
    }
}

File::~File()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void File::fail() const
{
    throw IoError(errno, m_path);
}

qint64 File::size() const
{
    struct stat st { };
    if (::fstat(m_fd, &st) != 0)
        fail();
    return st.st_size;
}

namespace {

FileIdentity identityFrom(const struct stat& st)
{
    const auto ns = [](const timespec& t) { return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec; };
    return {st.st_dev, st.st_ino, st.st_size, ns(st.st_mtim), ns(st.st_ctim)};
}

} // namespace

FileIdentity File::identity() const
{
    struct stat st { };
    if (::fstat(m_fd, &st) != 0)
        fail();
    return identityFrom(st);
}

qint64 File::linkCount() const
{
    struct stat st { };
    if (::fstat(m_fd, &st) != 0)
        fail();
    return qint64(st.st_nlink);
}

QByteArray File::readAll() const
{
    const qint64 length = size();
    QByteArray data;
    try {
        data.resize(length);
    } catch (const std::bad_alloc&) {
        throw IoError(ENOMEM, m_path);
    }
    readExactly(m_fd, data.data(), length, m_path);
    return data;
}

void File::truncate(qint64 length)
{
    if (length < 0)
        throw IoError(EINVAL, m_path);
    if (::ftruncate(m_fd, length) != 0)
        fail();
}

void File::append(ByteView bytes)
{
    const qint64 at = size();
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(m_fd, bytes.data() + done, bytes.size() - done, at + qint64(done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail();
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(m_fd) != 0)
        fail();
}

QByteArray readWholeFile(const FilePath& path)
{
    return File(path, File::Mode::Read).readAll();
}

QByteArray readWholeFile(const FilePath& path, std::optional<FileIdentity>& identity)
{
    const File file(path, File::Mode::Read);
    const FileIdentity before = file.identity();
    QByteArray bytes = file.readAll();
    const FileIdentity after = file.identity();
    identity.reset();
    if (before == after && after.size == bytes.size())
        identity = after;
    return bytes;
}

std::optional<FileIdentity> identityOf(const FilePath& path)
{
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return identityFrom(st);
}

void checkWritable(const FilePath& path)
{
    failIfInjected(FileOperation::WriteFile, path);
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0)
        return;
    if (S_ISDIR(st.st_mode))
        throw IoError(EISDIR, path);
    if (hasNoWriteBits(st) || ::access(path.c_str(), W_OK) != 0)
        throw IoError(EACCES, path);
}

namespace {

/** The file a write to `path` must replace: the target of a symbolic link, else the path itself. */
FilePath replacedPath(const FilePath& path)
{
    struct stat st { };
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    const FilePath target = canonicalPath(path);
    if (!target.isEmpty())
        return target;
    // A dangling link: its target is created where the link points.
    QByteArray pointsTo(qsizetype(st.st_size > 0 ? st.st_size : PATH_MAX), Qt::Uninitialized);
    const ssize_t length = ::readlink(path.c_str(), pointsTo.data(), std::size_t(pointsTo.size()));
    if (length < 0)
        return path;
    pointsTo.truncate(length);
    return cleanPath(absolutePath(path).folder() / FilePath(pointsTo));
}

/**
 * In a folder with the sticky bit (such as /tmp) only the owner of a file, of the folder, or the superuser may
 * replace the file; a rename by anyone else fails with a bare "Operation not permitted", so this says why first.
 */
void checkStickyFolder(const FilePath& path, const FilePath& directory)
{
    struct stat folder { };
    struct stat file { };
    if (::stat(directory.c_str(), &folder) != 0 || (folder.st_mode & S_ISVTX) == 0 || ::stat(path.c_str(), &file) != 0)
        return;
    const uid_t user = ::geteuid();
    if (user == 0 || file.st_uid == user || folder.st_uid == user)
        return;
    throw AppError(QStringLiteral("Nie mogę zastąpić pliku %1: folder %2 ma ustawiony bit \"sticky\", więc "
                                  "zastąpić plik może tylko jego właściciel albo właściciel folderu")
                       .arg(path.display(), directory.display()));
}

} // namespace

void checkReplaceable(const FilePath& linkOrFile)
{
    const FilePath path = replacedPath(linkOrFile);
    checkWritable(path);
    const FilePath directory = folderOf(path);
    failIfInjected(FileOperation::CreateFile, directory);
    if (::access(directory.c_str(), W_OK | X_OK) != 0)
        throw IoError(errno, directory);
    checkStickyFolder(path, directory);
}

namespace {

/**
 * Whether `error`, from an attribute call (owner, mode, extended attributes), means that the file system does not
 * keep that attribute or will not let this user set it, rather than that the write failed: FAT and some FUSE file
 * systems answer a change of mode with ENOSYS or EOPNOTSUPP.
 */
bool attributeNotKept(int error)
{
    return error == EPERM || error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS;
}

/** The names of the extended attributes of the file at `native` (NUL-separated); empty where it has none. */
QByteArray attributeNames(const QByteArray& native, const FilePath& path)
{
    for (;;) {
        const ssize_t size = ::listxattr(native.constData(), nullptr, 0);
        if (size < 0 && (attributeNotKept(errno) || errno == ENODATA))
            return {};
        if (size < 0)
            throw IoError(errno, path);
        QByteArray names(size, Qt::Uninitialized);
        const ssize_t got = ::listxattr(native.constData(), names.data(), std::size_t(size));
        if (got >= 0)
            return names.left(got);
        if (errno != ERANGE) // ERANGE: one was added meanwhile
            throw IoError(errno, path);
    }
}

/** An attribute's value; empty optional when it went away meanwhile. */
std::optional<QByteArray> attributeValue(const QByteArray& native, const char* name, const FilePath& path)
{
    for (;;) {
        const ssize_t size = ::getxattr(native.constData(), name, nullptr, 0);
        if (size < 0 && errno == ENODATA)
            return std::nullopt;
        if (size < 0)
            throw IoError(errno, path);
        QByteArray value(size, Qt::Uninitialized);
        const ssize_t got = ::getxattr(native.constData(), name, value.data(), std::size_t(size));
        if (got >= 0)
            return value.left(got);
        if (errno != ERANGE)
            throw IoError(errno, path);
    }
}

/**
 * Copies every extended attribute of the file at `native` onto the open file `to`, as far as the kernel lets this
 * process set it: POSIX ACLs (system.posix_acl_access), user attributes, and for the superuser the trusted and
 * security ones too. The source is read by name, so a file this process may write but not read keeps them as well.
 */
void copyAttributes(const QByteArray& native, int to, const FilePath& path)
{
    const QByteArray names = attributeNames(native, path);
    for (qsizetype at = 0; at < names.size();) {
        const char* name = names.constData() + at;
        at += qsizetype(std::strlen(name)) + 1;
        const std::optional<QByteArray> value = attributeValue(native, name, path);
        if (!value || ::fsetxattr(to, name, value->constData(), std::size_t(value->size()), 0) == 0)
            continue;
        // Namespaces this process may not set are left behind; a full disk or an I/O error is a failure.
        if (errno != EACCES && !attributeNotKept(errno))
            throw IoError(errno, path);
    }
}

/** Gives the new file `fd` the old file's owner, group, extended attributes and permission bits, or new-file bits. */
void keepAttributes(int fd, const QByteArray& native, const FilePath& path)
{
    failIfInjected(FileOperation::KeepAttributes, path);
    struct stat old { };
    if (::stat(native.constData(), &old) != 0) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        if (::fchmod(fd, 0666 & ~mask) != 0 && !attributeNotKept(errno))
            throw IoError(errno, path);
        return;
    }
    // Only the superuser may give the file away, and anyone may keep a group they belong to; otherwise the new
    // file stays the writer's. A change of owner drops set-user-ID bits, so the mode comes last.
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
        [[maybe_unused]] const int groupOnly = ::fchown(fd, uid_t(-1), old.st_gid);
    }
    copyAttributes(native, fd, path);
    // After the access ACL, whose mask the group bits stand for: the same bits give the same mask.
    if (::fchmod(fd, old.st_mode & 07777) != 0 && !attributeNotKept(errno))
        throw IoError(errno, path);
}

/**
 * Flushes the folder `directory` so that a rename in it survives a power cut. It comes after the rename, when the
 * file already holds its new bytes, so a failure here (an injected one too) is not reported as a failed write.
 */
void syncFolder(const FilePath& directory)
{
    try {
        failIfInjected(FileOperation::SyncFolder, directory);
    } catch (const IoError&) {
        return;
    }
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    [[maybe_unused]] const int ignored = ::fsync(fd);
    ::close(fd);
}

/** The names of this program's temporary files: the prefix and six characters mkstemp chooses. */
constexpr QByteArrayView kTemporaryPrefix = ".zelkavio-";
constexpr qsizetype kTemporaryNameLength = 16;
/**
 * A temporary written to less than this ago may belong to a writer that has created it but not yet locked it; a
 * writer takes its lock at once, so this only has to cover the moment in between.
 */
constexpr qint64 kTemporaryGraceSeconds = 2;

/**
 * Takes the writers' lock on the open file `fd`, waiting for another writer up to kWriteLockWait; gives false when
 * the wait ran out. A file system that keeps no such locks lets the writer go on: the identity check still guards.
 */
bool lockForWriting(int fd)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + kWriteLockWait;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return true;
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

/** Removes one entry of `dir` when it is a temporary of a writer that is gone (see replaceFile()). */
void removeIfAbandoned(DIR* dir, const char* name)
{
    const int fd = ::openat(::dirfd(dir), name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return;
    struct stat st { };
    struct stat named { };
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    // A writer holds the lock on its temporary from the moment after it made it until the rename: one that can be
    // locked was left by a writer that died.
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1
        && now.tv_sec - st.st_mtim.tv_sec > kTemporaryGraceSeconds && ::flock(fd, LOCK_EX | LOCK_NB) == 0
        && ::fstatat(::dirfd(dir), name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_ino == st.st_ino
        && named.st_dev == st.st_dev) [[maybe_unused]]
        const int ignored = ::unlinkat(::dirfd(dir), name, 0);
    ::close(fd);
}

/** Removes the temporaries that writers killed before their rename left in `directory`; quietly does what it may. */
void removeAbandonedTemporaries(const FilePath& directory)
{
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(directory.c_str()));
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir.get())) {
        const QByteArrayView name(entry->d_name);
        if (name.size() == kTemporaryNameLength && name.startsWith(kTemporaryPrefix))
            removeIfAbandoned(dir.get(), entry->d_name);
    }
}

/**
 * Raises FileChangedError unless the file at `path` still has `expected`; `locked` (or -1) is the descriptor the
 * writers' lock was taken on, which must be that very file, since a lock on a file already replaced guards nothing.
 */
void checkStillExpected(const FilePath& path, int locked, const FileIdentity& expected)
{
    struct stat now { };
    if (::stat(path.c_str(), &now) != 0 || identityFrom(now) != expected)
        throw FileChangedError(path);
    struct stat held { };
    if (locked >= 0 && (::fstat(locked, &held) != 0 || held.st_ino != now.st_ino || held.st_dev != now.st_dev))
        throw FileChangedError(path);
}

/** A descriptor closed on destruction. */
class Descriptor {
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    {
    }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    [[nodiscard]] int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

namespace {

/** replaceFile() of the file named `path` itself. */
FileIdentity replaceNamedFile(
    const FilePath& path, std::initializer_list<ByteView> parts, const std::optional<FileIdentity>& expected)
{
    checkWritable(path);

    const FilePath directory = folderOf(path);
    removeAbandonedTemporaries(directory);
    failIfInjected(FileOperation::CreateFile, directory);
    // A short name of its own: one built from the file's name would pass the name-length limit for long names.
    QByteArray tempName = (directory / ".zelkavio-XXXXXX").bytes();
    const Descriptor temporary(::mkstemp(tempName.data()));
    if (temporary.get() < 0)
        throw IoError(errno, directory);
    // Held until the descriptor closes, after the rename: no other writer takes this temporary for an abandoned one.
    [[maybe_unused]] const int locked = ::flock(temporary.get(), LOCK_EX | LOCK_NB);
    const int fd = temporary.get();

    FileIdentity written;
    try {
        failIfInjected(FileOperation::WriteContent, path);
        for (const ByteView part : parts)
            writeAll(fd, part, path);
        keepAttributes(fd, path.bytes(), path);
        failIfInjected(FileOperation::SyncContent, path);
        if (::fsync(fd) != 0)
            throw IoError(errno, path);
        // The new bytes are on the disk: now, and only now, the old file is checked and replaced under the lock.
        std::optional<Descriptor> old;
        if (expected) {
            failIfInjected(FileOperation::LockFile, path);
            old.emplace(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
            if (old->get() >= 0 && !lockForWriting(old->get()))
                throw FileBusyError(path);
            checkStillExpected(path, old->get(), *expected);
        }
        failIfInjected(FileOperation::RenameFile, path);
        if (::rename(tempName.constData(), path.c_str()) != 0) {
            const int error = errno;
            if (error == EPERM || error == EACCES)
                checkStickyFolder(path, directory);
            throw IoError(error, path);
        }
        struct stat st { };
        if (::fstat(fd, &st) != 0)
            throw IoError(errno, path);
        written = identityFrom(st);
    } catch (...) {
        ::unlink(tempName.constData());
        throw;
    }
    // The file now holds its new bytes whatever follows: a folder that cannot be flushed is no failure to report.
    syncFolder(directory);
    return written;
}

} // namespace

FileIdentity replaceFile(
    const FilePath& linkOrFile, std::initializer_list<ByteView> parts, const std::optional<FileIdentity>& expected)
{
    return replaceNamedFile(replacedPath(linkOrFile), parts, expected);
}

FileIdentity replaceFileNotLink(const FilePath& path, std::initializer_list<ByteView> parts)
{
    struct stat st { };
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        throw IoError(ELOOP, path);
    // The rename replaces whatever the name holds by then, a link put there meanwhile too, and never its target.
    return replaceNamedFile(path, parts, std::nullopt);
}

QByteArray readFileNotLink(const FilePath& path)
{
    return File(path, File::Mode::ReadNotLink).readAll();
}

FileIdentity changeInPlace(const FilePath& path, const FileIdentity& expected, const std::function<void(File&)>& change)
{
    File file(path, File::Mode::ReadWrite);
    failIfInjected(FileOperation::LockFile, path);
    if (!lockForWriting(file.descriptor()))
        throw FileBusyError(path);
    checkStillExpected(path, file.descriptor(), expected);
    if (file.identity() != expected)
        throw FileChangedError(path);
    change(file);
    return file.identity();
}

} // namespace platform
