#include "help_file.h"

#include "platform/errors.h"
#include "platform/fault_injection.h"
#include "platform/file_names.h"
#include "platform/program_dir.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace help {

namespace {

constexpr qreal kFirstLinePoints = 25;
constexpr qreal kHangingPoints = 15;
constexpr qreal kRightMarginPoints = 25;

/** Closes a descriptor on every path. */
struct Descriptor {
    int fd;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

void refuseUnlessLoadable(const struct stat& st)
{
    if (!S_ISREG(st.st_mode) || st.st_size > kMaxHelpFileSize)
        throw platform::AppError(loadFailureText());
}

QByteArray readAll(int fd, qint64 size, const QString& path)
{
    QByteArray data(size, Qt::Uninitialized);
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, data.data() + done, static_cast<std::size_t>(size - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw platform::IoError(errno, path);
        }
        if (n == 0)
            break; // the file shrank meanwhile: what is there is the help
        done += n;
    }
    data.truncate(done);
    return data;
}

} // namespace

QString loadFailureText()
{
    return QStringLiteral("Failed to Load Stream");
}

QString helpFilePath()
{
    return platform::dataFile(QStringLiteral("Zelkavio.rtf"));
}

bool helpFileExists(const QString& path)
{
    struct stat st { };
    return ::stat(platform::fileNameBytes(path).constData(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::optional<QByteArray> readHelpFile(const QString& path)
{
    const QByteArray native = platform::fileNameBytes(path);
    struct stat st { };
    if (::stat(native.constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return std::nullopt;
        throw platform::IoError(errno, path);
    }
    if (S_ISDIR(st.st_mode))
        return std::nullopt;
    refuseUnlessLoadable(st);
    platform::failIfInjected(platform::FileOperation::ReadFile, path);
    // Non-blocking, in case the name became a FIFO since the look above; checked again on what was opened.
    const Descriptor file {::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0)
        throw platform::IoError(errno, path);
    if (::fstat(file.fd, &st) != 0)
        throw platform::IoError(errno, path);
    refuseUnlessLoadable(st);
    return readAll(file.fd, st.st_size, path);
}

QString builtInNotice()
{
    return QStringLiteral(" \n") + QString(17, u' ')
        + QStringLiteral("Nie widzę  w katalogu programu pliku pomocy - ''Zelkavio.rtf''.\n\n") + QString(43, u' ')
        + QStringLiteral("Proszę dostarczyć mi ten plik!");
}

HelpIndents helpIndents(int clientWidth, qreal dpi)
{
    const qreal perPoint = dpi / 72.0;
    const qreal right = std::clamp<qreal>(clientWidth - 25, 0, kRightMarginPoints);
    return {kFirstLinePoints * perPoint, (kFirstLinePoints + kHangingPoints) * perPoint, right * perPoint};
}

} // namespace help
