#include "file_names.h"

#include "cp1250.h"
#include "errors.h"

#include <QList>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {

constexpr char16_t kFirstEscape = 0xDC80;
constexpr char16_t kLastEscape = 0xDCFF;

/** The length of the well-formed UTF-8 sequence at `p` (Unicode's table 3-7), or 0 when it is ill-formed. */
qsizetype wellFormedLength(const unsigned char* p, qsizetype left)
{
    const unsigned lead = p[0];
    const auto follows = [&](qsizetype k, unsigned low = 0x80, unsigned high = 0xBF) {
        return k < left && p[k] >= low && p[k] <= high;
    };
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return follows(1) ? 2 : 0;
    if (lead == 0xE0)
        return follows(1, 0xA0) && follows(2) ? 3 : 0;
    if (lead == 0xED) // no surrogates: this is what keeps the escapes apart from every valid name
        return follows(1, 0x80, 0x9F) && follows(2) ? 3 : 0;
    if (lead >= 0xE1 && lead <= 0xEF)
        return follows(1) && follows(2) ? 3 : 0;
    if (lead == 0xF0)
        return follows(1, 0x90) && follows(2) && follows(3) ? 4 : 0;
    if (lead >= 0xF1 && lead <= 0xF3)
        return follows(1) && follows(2) && follows(3) ? 4 : 0;
    if (lead == 0xF4)
        return follows(1, 0x80, 0x8F) && follows(2) && follows(3) ? 4 : 0;
    return 0;
}

bool isEscape(QStringView text, qsizetype i)
{
    const char16_t c = text[i].unicode();
    return c >= kFirstEscape && c <= kLastEscape && (i == 0 || !text[i - 1].isHighSurrogate());
}

struct FreeDeleter {
    void operator()(char* p) const { std::free(p); }
};

} // namespace

qsizetype validUtf8Length(QByteArrayView bytes)
{
    return bytes.isEmpty() ? 0 : wellFormedLength(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

QString fileNameFromBytes(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    QString name;
    qsizetype runStart = 0; // the valid bytes not yet decoded
    for (qsizetype i = 0; i < size;) {
        const qsizetype length = wellFormedLength(p + i, size - i);
        if (length > 0) {
            i += length;
            continue;
        }
        name += QString::fromUtf8(bytes.sliced(runStart, i - runStart));
        name += QChar(char16_t(0xDC00 + p[i]));
        runStart = ++i;
    }
    if (runStart == 0)
        return QString::fromUtf8(bytes);
    return name + QString::fromUtf8(bytes.sliced(runStart));
}

QByteArray fileNameBytes(QStringView name)
{
    QByteArray bytes;
    qsizetype runStart = 0; // the text not yet encoded
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!isEscape(name, i))
            continue;
        bytes += name.sliced(runStart, i - runStart).toUtf8();
        bytes += char(name[i].unicode() - 0xDC00);
        runStart = i + 1;
    }
    if (runStart == 0)
        return name.toUtf8();
    return bytes + name.sliced(runStart).toUtf8();
}

bool holdsRawBytes(QStringView name)
{
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (isEscape(name, i))
            return true;
    }
    return false;
}

QString displayFileName(QStringView name)
{
    if (!holdsRawBytes(name))
        return name.toString();
    QString shown;
    bool first = true;
    for (const QStringView component : name.split(u'/')) {
        if (!std::exchange(first, false))
            shown += u'/';
        shown += holdsRawBytes(component) ? cp1250::decode(fileNameBytes(component)) : component.toString();
    }
    return shown;
}

bool isDirectory(const FilePath& path)
{
    struct stat st { };
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isRegularFile(const FilePath& path)
{
    struct stat st { };
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

RegularFileStamp requireRegularFile(const FilePath& path)
{
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0)
        throw IoError(errno, path);
    if (!S_ISREG(st.st_mode))
        throw IoError(S_ISDIR(st.st_mode) ? EISDIR : EINVAL, path);
    return {st.st_size, qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1'000'000};
}

FilePath currentDirectory()
{
    const std::unique_ptr<char, FreeDeleter> cwd(::getcwd(nullptr, 0));
    return cwd ? FilePath(cwd.get()) : FilePath("/");
}

void setCurrentDirectory(const FilePath& directory)
{
    if (::chdir(directory.c_str()) != 0)
        throw IoError(errno, directory);
}

FilePath cleanPath(const FilePath& path)
{
    const QByteArray& bytes = path.bytes();
    const bool absolute = path.isAbsolute();
    QList<QByteArray> kept;
    for (const QByteArray& part : bytes.split('/')) {
        if (part.isEmpty() || part == ".")
            continue;
        if (part == ".." && !kept.isEmpty() && kept.back() != "..")
            kept.pop_back();
        else if (part != ".." || !absolute)
            kept.push_back(part);
    }
    QByteArray cleaned = (absolute ? QByteArray("/") : QByteArray()) + kept.join('/');
    if (cleaned.isEmpty())
        cleaned = bytes.isEmpty() ? QByteArray() : QByteArray(".");
    return FilePath(cleaned);
}

FilePath absolutePath(const FilePath& path)
{
    return cleanPath(path.isAbsolute() ? path : currentDirectory() / path);
}

FilePath canonicalPath(const FilePath& path)
{
    const std::unique_ptr<char, FreeDeleter> resolved(::realpath(path.c_str(), nullptr));
    return resolved ? FilePath(resolved.get()) : FilePath();
}

} // namespace platform
