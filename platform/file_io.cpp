#include "file_io.h"

#include "fault_injection.h"

#include "errors.h"
#include "file_names.h"

#include <QDir>

#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace platform {

namespace {

QByteArray nativePath(const QString& path)
{
    return fileNameBytes(path);
}

/** The folder a file lies in, as an absolute path; names are kept as text so that their bytes stay exact. */
QString folderOf(const QString& path)
{
    const QString absolute = absolutePath(path);
    const qsizetype slash = absolute.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : absolute.left(slash);
}

bool hasNoWriteBits(const struct stat& st)
{
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

void writeAll(int fd, ByteView bytes, const QString& path)
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

void readExactly(int fd, char* into, qint64 length, const QString& path)
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

File::File(const QString& path, Mode mode)
    : m_path(path)
{
    failIfInjected(mode == Mode::Read ? FileOperation::ReadFile : FileOperation::WriteFile, path);
    const QByteArray native = nativePath(path);
    // Without O_NONBLOCK, opening a FIFO would wait for a writer; a regular file reads as ever.
    m_fd = ::open(native.constData(), (mode == Mode::Read ? O_RDONLY : O_RDWR) | O_CLOEXEC | O_NONBLOCK);
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

QByteArray readWholeFile(const QString& path)
{
    return File(path, File::Mode::Read).readAll();
}

QByteArray readWholeFile(const QString& path, std::optional<FileIdentity>& identity)
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

std::optional<FileIdentity> identityOf(const QString& path)
{
    struct stat st { };
    if (::stat(nativePath(path).constData(), &st) != 0)
        return std::nullopt;
    return identityFrom(st);
}

void checkWritable(const QString& path)
{
    failIfInjected(FileOperation::WriteFile, path);
    struct stat st { };
    if (::stat(nativePath(path).constData(), &st) != 0)
        return;
    if (S_ISDIR(st.st_mode))
        throw IoError(EISDIR, path);
    if (hasNoWriteBits(st) || ::access(nativePath(path).constData(), W_OK) != 0)
        throw IoError(EACCES, path);
}

namespace {

/** The file a write to `path` must replace: the target of a symbolic link, else the path itself. */
QString replacedPath(const QString& path)
{
    // By the name's bytes: Qt's file classes would look up another name when this one is not valid UTF-8.
    const QByteArray native = nativePath(path);
    struct stat st { };
    if (::lstat(native.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    const QString target = canonicalPath(path);
    if (!target.isEmpty())
        return target;
    // A dangling link: its target is created where the link points.
    QByteArray pointsTo(qsizetype(st.st_size > 0 ? st.st_size : PATH_MAX), Qt::Uninitialized);
    const ssize_t length = ::readlink(native.constData(), pointsTo.data(), std::size_t(pointsTo.size()));
    if (length < 0)
        return path;
    pointsTo.truncate(length);
    const QString linkTarget = fileNameFromBytes(pointsTo);
    if (linkTarget.startsWith(u'/'))
        return QDir::cleanPath(linkTarget);
    return QDir::cleanPath(absolutePath(path).section(u'/', 0, -2) + u'/' + linkTarget);
}

} // namespace

void checkReplaceable(const QString& linkOrFile)
{
    const QString path = replacedPath(linkOrFile);
    checkWritable(path);
    const QString directory = folderOf(path);
    failIfInjected(FileOperation::CreateFile, directory);
    if (::access(nativePath(directory).constData(), W_OK | X_OK) != 0)
        throw IoError(errno, directory);
}

namespace {

/** The names of the extended attributes of the file at `native` (NUL-separated); empty where it has none. */
QByteArray attributeNames(const QByteArray& native, const QString& path)
{
    for (;;) {
        const ssize_t size = ::listxattr(native.constData(), nullptr, 0);
        if (size < 0 && (errno == ENOTSUP || errno == ENODATA))
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
std::optional<QByteArray> attributeValue(const QByteArray& native, const char* name, const QString& path)
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
void copyAttributes(const QByteArray& native, int to, const QString& path)
{
    const QByteArray names = attributeNames(native, path);
    for (qsizetype at = 0; at < names.size();) {
        const char* name = names.constData() + at;
        at += qsizetype(std::strlen(name)) + 1;
        const std::optional<QByteArray> value = attributeValue(native, name, path);
        if (!value || ::fsetxattr(to, name, value->constData(), std::size_t(value->size()), 0) == 0)
            continue;
        // Namespaces this process may not set are left behind; a full disk or an I/O error is a failure.
        if (errno != EPERM && errno != EACCES && errno != ENOTSUP)
            throw IoError(errno, path);
    }
}

/** Gives the new file `fd` the old file's owner, group, extended attributes and permission bits, or new-file bits. */
void keepAttributes(int fd, const QByteArray& native, const QString& path)
{
    failIfInjected(FileOperation::KeepAttributes, path);
    struct stat old { };
    if (::stat(native.constData(), &old) != 0) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        if (::fchmod(fd, 0666 & ~mask) != 0)
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
    if (::fchmod(fd, old.st_mode & 07777) != 0)
        throw IoError(errno, path);
}

/**
 * Flushes the folder `directory` so that a rename in it survives a power cut. It comes after the rename, when the
 * file already holds its new bytes, so a failure here (an injected one too) is not reported as a failed write.
 */
void syncFolder(const QString& directory)
{
    try {
        failIfInjected(FileOperation::SyncFolder, directory);
    } catch (const IoError&) {
        return;
    }
    const int fd = ::open(nativePath(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    [[maybe_unused]] const int ignored = ::fsync(fd);
    ::close(fd);
}

} // namespace

void replaceFile(const QString& linkOrFile, std::initializer_list<ByteView> parts)
{
    const QString path = replacedPath(linkOrFile);
    checkWritable(path);

    const QString directory = folderOf(path);
    const QByteArray native = nativePath(path);
    failIfInjected(FileOperation::CreateFile, directory);
    // A short name of its own: one built from the file's name would pass the name-length limit for long names.
    QByteArray tempName = nativePath(directory) + "/.zelkavio-XXXXXX";
    const int fd = ::mkstemp(tempName.data());
    if (fd < 0)
        throw IoError(errno, path);

    bool closed = false;
    try {
        failIfInjected(FileOperation::WriteContent, path);
        for (const ByteView part : parts)
            writeAll(fd, part, path);
        keepAttributes(fd, native, path);
        failIfInjected(FileOperation::SyncContent, path);
        if (::fsync(fd) != 0)
            throw IoError(errno, path);
        closed = true;
        if (::close(fd) != 0)
            throw IoError(errno, path);
        failIfInjected(FileOperation::RenameFile, path);
        if (::rename(tempName.constData(), native.constData()) != 0)
            throw IoError(errno, path);
    } catch (...) {
        if (!closed)
            ::close(fd);
        ::unlink(tempName.constData());
        throw;
    }
    // The file now holds its new bytes whatever follows: a folder that cannot be flushed is no failure to report.
    syncFolder(directory);
}

} // namespace platform
