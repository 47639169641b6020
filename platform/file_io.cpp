#include "file_io.h"

#include "fault_injection.h"

#include "errors.h"
#include "file_names.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

QByteArray nativePath(const QString& path)
{
    return fileNameBytes(path);
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
    const QString directory = QFileInfo(path).absolutePath();
    failIfInjected(FileOperation::CreateFile, directory);
    if (::access(nativePath(directory).constData(), W_OK | X_OK) != 0)
        throw IoError(errno, directory);
}

void replaceFile(const QString& linkOrFile, std::initializer_list<ByteView> parts)
{
    const QString path = replacedPath(linkOrFile);
    checkWritable(path);

    const QFileInfo info(path);
    failIfInjected(FileOperation::CreateFile, info.absolutePath());
    QByteArray tempName
        = nativePath(info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".XXXXXX"));
    const int fd = ::mkstemp(tempName.data());
    if (fd < 0)
        throw IoError(errno, path);

    bool closed = false;
    try {
        struct stat old { };
        if (::stat(nativePath(path).constData(), &old) == 0) {
            if (::fchmod(fd, old.st_mode & 07777) != 0)
                throw IoError(errno, path);
            // Only the superuser may give the file away; for anyone else it already belongs to them.
            [[maybe_unused]] const int ignored = ::fchown(fd, old.st_uid, old.st_gid);
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            if (::fchmod(fd, 0666 & ~mask) != 0)
                throw IoError(errno, path);
        }
        failIfInjected(FileOperation::WriteContent, path);
        for (const ByteView part : parts)
            writeAll(fd, part, path);
        if (::fsync(fd) != 0)
            throw IoError(errno, path);
        closed = true;
        if (::close(fd) != 0)
            throw IoError(errno, path);
        if (::rename(tempName.constData(), nativePath(path).constData()) != 0)
            throw IoError(errno, path);
    } catch (...) {
        if (!closed)
            ::close(fd);
        ::unlink(tempName.constData());
        throw;
    }
}

} // namespace platform
