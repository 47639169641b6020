#include "file_listing.h"

#include "name_order.h"
#include "platform/directory_walk.h"
#include "platform/errors.h"
#include "platform/file_names.h"

#include <QDir>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace viewer {

namespace {

char16_t fold(char16_t c)
{
    if (c < 0x80)
        return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    return QChar::toCaseFolded(c);
}

/** Wildcard matching against a pattern whose characters are already case-folded. */
bool matchFolded(QStringView name, QStringView pattern)
{
    qsizetype n = 0;
    qsizetype p = 0;
    qsizetype starP = -1; // position of the last "*" seen, to retry from
    qsizetype starN = 0; // name position that "*" last swallowed up to
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == u'?' || pattern[p].unicode() == fold(name[n].unicode()))) {
            ++p;
            ++n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

QString foldAll(QStringView text)
{
    QString folded(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        folded[i] = QChar(fold(text[i].unicode()));
    return folded;
}

/**
 * Bytes of the character that starts at `at`: a whole UTF-8 sequence, or one byte that is not valid UTF-8, which
 * a name keeps as a character of its own (file_names.h).
 */
qsizetype characterLength(std::string_view name, qsizetype at)
{
    const auto offset = static_cast<std::size_t>(at);
    return std::max<qsizetype>(
        1, platform::validUtf8Length(QByteArrayView(name.data() + offset, name.size() - offset)));
}

/**
 * The same matching straight on a UTF-8 file name, for a pattern of ASCII characters already in lower case:
 * no name needs decoding before it is known to match. "?" and "*" step over whole characters.
 */
bool matchAsciiPattern(std::string_view name, std::string_view pattern)
{
    const auto len = static_cast<qsizetype>(name.size());
    const auto plen = static_cast<qsizetype>(pattern.size());
    qsizetype n = 0;
    qsizetype p = 0;
    qsizetype starP = -1;
    qsizetype starN = 0;
    while (n < len) {
        const auto c = static_cast<unsigned char>(name[static_cast<std::size_t>(n)]);
        const char pc = p < plen ? pattern[static_cast<std::size_t>(p)] : '\0';
        if (pc == '*') {
            starP = p++;
            starN = n;
        } else if (p < plen && pc == '?') {
            ++p;
            n += characterLength(name, n);
        } else if (p < plen && c < 0x80 && pc == ((c >= 'A' && c <= 'Z') ? c + 32 : c)) {
            ++p;
            ++n;
        } else if (starP >= 0) {
            p = starP + 1;
            starN += characterLength(name, starN);
            n = starN;
        } else {
            return false;
        }
    }
    while (p < plen && pattern[static_cast<std::size_t>(p)] == '*')
        ++p;
    return p == plen;
}

/** Whether `name` ends in `suffix` (lower-case ASCII) without regard to ASCII case. */
bool endsWithAscii(std::string_view name, std::string_view suffix)
{
    if (name.size() < suffix.size())
        return false;
    const char* tail = name.data() + (name.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        const auto c = static_cast<unsigned char>(tail[i]);
        if (((c >= 'A' && c <= 'Z') ? c + 32 : c) != static_cast<unsigned char>(suffix[i]))
            return false;
    }
    return true;
}

/** One pattern of a mask, folded, with a byte form when it is plain ASCII. */
struct MaskPattern {
    QString folded;
    std::string ascii;
    bool isAscii = false;
    bool isStarSuffix = false; // "*" followed by plain characters, as in "*.jpg": a suffix test does

    [[nodiscard]] bool matches(std::string_view utf8Name) const
    {
        if (isStarSuffix)
            return endsWithAscii(utf8Name, std::string_view(ascii).substr(1));
        return isAscii ? matchAsciiPattern(utf8Name, ascii)
                       : matchFolded(platform::fileNameFromBytes(utf8Name), folded);
    }
};

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

/** The on-disk name of an entry equal to `name` without regard to case, of the wanted kind; empty if none. */
QString findIgnoringCase(const QString& directory, const QString& name, bool wantDirectory)
{
    DIR* raw = ::opendir(platform::fileNameBytes(directory).constData());
    if (!raw)
        return {};
    const std::unique_ptr<DIR, DirCloser> dir(raw);
    const QString folded = foldAll(name);
    while (const dirent* entry = ::readdir(raw)) {
        const QString candidate = platform::fileNameFromBytes(entry->d_name);
        if (candidate.size() != folded.size() || foldAll(candidate) != folded)
            continue;
        struct stat st { };
        if (::fstatat(::dirfd(raw), entry->d_name, &st, 0) != 0)
            continue;
        if (wantDirectory ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode))
            return candidate;
    }
    return {};
}

QString joined(const QString& directory, const QString& name)
{
    return QDir::cleanPath(directory + QLatin1Char('/') + name);
}

} // namespace

std::string_view PictureNames::operator[](std::size_t index) const
{
    const std::size_t begin = m_offsets[index];
    const std::size_t end = index + 1 < m_offsets.size() ? m_offsets[index + 1] - 1 : m_block.size() - 1;
    return {m_block.data() + begin, end - begin};
}

void PictureNames::append(std::string_view name)
{
    m_offsets.push_back(m_block.size());
    m_block.append(name.data(), name.size());
    m_block.push_back('\0');
}

bool hasWildcards(QStringView text)
{
    return text.contains(u'*') || text.contains(u'?');
}

bool matchesWildcard(QStringView name, QStringView pattern)
{
    return matchFolded(name, foldAll(pattern));
}

PictureNames readPictureNames(const platform::FilePath& directory, const QString& mask)
{
    std::vector<MaskPattern> patterns;
    for (const QStringView pattern : QStringView(mask).split(u';', Qt::SkipEmptyParts)) {
        MaskPattern compiled {foldAll(pattern), {}, true};
        for (const QChar c : compiled.folded) {
            if (c.unicode() >= 0x80) {
                compiled.isAscii = false;
                break;
            }
            compiled.ascii.push_back(static_cast<char>(c.unicode()));
        }
        compiled.isStarSuffix = compiled.isAscii && compiled.ascii.size() > 1 && compiled.ascii[0] == '*'
            && compiled.ascii.find_first_of("*?", 1) == std::string::npos;
        patterns.push_back(std::move(compiled));
    }

    PictureNames result;
    platform::walkDirectory(
        directory, {},
        [&](QByteArrayView name) {
            const std::string_view bytes(name.data(), std::size_t(name.size()));
            return std::any_of(
                patterns.begin(), patterns.end(), [&](const MaskPattern& pattern) { return pattern.matches(bytes); });
        },
        [&](const platform::FilePath& name) {
            result.append(std::string_view(name.bytes().constData(), std::size_t(name.bytes().size())));
        });
    return result;
}

QStringList listPictureFiles(const platform::FilePath& directory, const QString& mask, const QLocale& locale)
{
    const PictureNames found = readPictureNames(directory, mask);
    std::vector<std::string_view> names;
    names.reserve(found.size());
    for (std::size_t i = 0; i < found.size(); ++i)
        names.push_back(found[i]);
    QStringList sorted;
    sorted.reserve(static_cast<qsizetype>(names.size()));
    for (const std::uint32_t i : collationOrder(names, locale))
        sorted.push_back(platform::fileNameFromBytes(names[i]));
    return sorted;
}

ListPathTarget splitListPath(const QString& text, const QString& workingDirectory)
{
    const qsizetype slash = text.lastIndexOf(u'/');
    QString directory = slash < 0 ? workingDirectory : text.left(slash + 1);
    QString name = slash < 0 ? text : text.mid(slash + 1);
    if (QDir::isRelativePath(directory))
        directory = QDir(workingDirectory).filePath(directory);
    directory = QDir::cleanPath(directory);

    const bool isFile = platform::isRegularFile(platform::FilePath::fromText(joined(directory, name)));
    const bool isMask = hasWildcards(name) && !isFile;
    if (!name.isEmpty() && !isMask && !isFile && findIgnoringCase(directory, name, false).isEmpty()) {
        // Not a file: a subdirectory, spelled as the disk spells it when only the case differs.
        QString subdirectory = joined(directory, name);
        if (!platform::isDirectory(platform::FilePath::fromText(subdirectory))) {
            const QString onDisk = findIgnoringCase(directory, name, true);
            if (!onDisk.isEmpty())
                subdirectory = joined(directory, onDisk);
        }
        directory = subdirectory;
        name.clear();
    }

    struct stat st { };
    if (::stat(platform::fileNameBytes(directory).constData(), &st) != 0)
        throw platform::IoError(errno, directory);
    if (!S_ISDIR(st.st_mode))
        throw platform::IoError(ENOTDIR, directory);
    return {directory, name, isMask};
}

} // namespace viewer
