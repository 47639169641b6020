#include "sound_lookup.h"

#include "platform/file_names.h"

#include <QMultiHash>
#include <QStringList>

#include <chrono>
#include <mutex>
#include <optional>

#include <dirent.h>
#include <sys/stat.h>

namespace viewer {

namespace {

/** What tells one state of a directory from another. */
struct DirectoryStamp {
    dev_t device = 0;
    ino_t inode = 0;
    qint64 modifiedNs = 0;
    friend bool operator==(const DirectoryStamp&, const DirectoryStamp&) = default;
};

/**
 * The names of one directory by their case-folded form, kept while the directory is unchanged (same device, inode
 * and modification time), so that looking up the sounds of every picture shown does not read a large directory
 * again and again. A listing made within a second of the directory's last change is not kept: a file added in
 * the same clock tick would leave the time unchanged.
 */
struct DirectoryNames {
    /** Which directory, however it was spelled (".", a bare name's, a full path). */
    DirectoryStamp stamp;
    QMultiHash<QString, QString> byFoldedName;
};

std::mutex g_namesMutex;
std::optional<DirectoryNames> g_names;

std::optional<DirectoryStamp> directoryStamp(const QString& directory)
{
    struct stat st { };
    if (::stat(platform::fileNameBytes(directory).constData(), &st) != 0)
        return std::nullopt;
    return DirectoryStamp {st.st_dev, st.st_ino, qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

/** The names in `directory` that differ from `wanted` only in letter case. */
QStringList caseInsensitiveMatches(const QString& directory, const QString& wanted)
{
    const auto stamp = directoryStamp(directory);
    const std::scoped_lock lock(g_namesMutex);
    if (!stamp || !g_names || g_names->stamp != *stamp) {
        DirectoryNames names {stamp.value_or(DirectoryStamp {}), {}};
        // One pass over the directory, unsorted; which of the names are files is asked of the few that match.
        if (DIR* dir = ::opendir(platform::fileNameBytes(directory).constData())) {
            while (const dirent* entry = ::readdir(dir)) {
                const QString name = platform::fileNameFromBytes(entry->d_name);
                if (name != u"." && name != u"..")
                    names.byFoldedName.insert(name.toCaseFolded(), name);
            }
            ::closedir(dir);
        }
        const qint64 now
            = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
                  .count();
        const bool settled = stamp && now - stamp->modifiedNs > 1'000'000'000;
        if (!settled)
            return names.byFoldedName.values(wanted.toCaseFolded());
        g_names = std::move(names);
    }
    return g_names->byFoldedName.values(wanted.toCaseFolded());
}

} // namespace

QString replaceExtension(const QString& name, const QString& extension)
{
    const qsizetype nameStart = name.lastIndexOf(QLatin1Char('/')) + 1;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < nameStart)
        return name + extension;
    return name.left(dot) + extension;
}

QString findSoundFile(const QString& path)
{
    if (platform::isRegularFile(platform::FilePath::fromText(path)))
        return path;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString directory = slash < 0 ? QStringLiteral(".") : slash == 0 ? QStringLiteral("/") : path.left(slash);
    for (const QString& name : caseInsensitiveMatches(directory, path.mid(slash + 1))) {
        // A FIFO or socket of that name is no sound.
        const QString found = slash < 0 ? name : path.left(slash + 1) + name;
        if (platform::isRegularFile(platform::FilePath::fromText(found)))
            return found;
    }
    return QString();
}

QString pictureSound(const QString& picturePath)
{
    QString sound = findSoundFile(replaceExtension(picturePath, QStringLiteral(".mp3")));
    if (sound.isEmpty())
        sound = findSoundFile(replaceExtension(picturePath, QStringLiteral(".wav")));
    return sound;
}

} // namespace viewer
