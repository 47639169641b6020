#include "sound_lookup.h"

#include "platform/file_names.h"

#include <QList>
#include <QMultiHash>

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
    QMultiHash<QString, QByteArray> byFoldedName;
};

std::mutex g_namesMutex;
std::optional<DirectoryNames> g_names;

std::optional<DirectoryStamp> directoryStamp(const platform::FilePath& directory)
{
    struct stat st { };
    if (::stat(directory.c_str(), &st) != 0)
        return std::nullopt;
    return DirectoryStamp {st.st_dev, st.st_ino, qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

/** The names in `directory` that differ from `wanted` only in letter case. */
QList<QByteArray> caseInsensitiveMatches(const platform::FilePath& directory, const platform::FilePath& wanted)
{
    const QString folded = wanted.toText().toCaseFolded();
    const auto stamp = directoryStamp(directory);
    const std::scoped_lock lock(g_namesMutex);
    if (!stamp || !g_names || g_names->stamp != *stamp) {
        DirectoryNames names {stamp.value_or(DirectoryStamp {}), {}};
        // One pass over the directory, unsorted; which of the names are files is asked of the few that match.
        if (DIR* dir = ::opendir(directory.c_str())) {
            while (const dirent* entry = ::readdir(dir)) {
                const QByteArray name(entry->d_name);
                if (name != "." && name != "..")
                    names.byFoldedName.insert(platform::fileNameFromBytes(name).toCaseFolded(), name);
            }
            ::closedir(dir);
        }
        const qint64 now
            = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
                  .count();
        const bool settled = stamp && now - stamp->modifiedNs > 1'000'000'000;
        if (!settled)
            return names.byFoldedName.values(folded);
        g_names = std::move(names);
    }
    return g_names->byFoldedName.values(folded);
}

} // namespace

platform::FilePath replaceExtension(const platform::FilePath& name, QByteArrayView extension)
{
    const QByteArray& bytes = name.bytes();
    const qsizetype nameStart = bytes.lastIndexOf('/') + 1;
    const qsizetype dot = bytes.lastIndexOf('.');
    return platform::FilePath((dot < nameStart ? bytes : bytes.left(dot)) + extension.toByteArray());
}

platform::FilePath findSoundFile(const platform::FilePath& path)
{
    if (platform::isRegularFile(path))
        return path;
    const bool bare = !path.bytes().contains('/');
    for (const QByteArray& name : caseInsensitiveMatches(path.folder(), path.fileName())) {
        // A FIFO or socket of that name is no sound.
        const platform::FilePath found = bare ? platform::FilePath(name) : path.folder() / platform::FilePath(name);
        if (platform::isRegularFile(found))
            return found;
    }
    return {};
}

platform::FilePath pictureSound(const platform::FilePath& picturePath)
{
    platform::FilePath sound = findSoundFile(replaceExtension(picturePath, ".mp3"));
    if (sound.isEmpty())
        sound = findSoundFile(replaceExtension(picturePath, ".wav"));
    return sound;
}

} // namespace viewer
