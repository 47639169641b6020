#pragma once

#include "bytes.h"
#include "file_path.h"

#include <QByteArray>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <optional>

#include <sys/types.h>

/**
 * File access for picture files. Every function opens the file for one operation and closes it on every path;
 * failures raise IoError with the system's error code.
 *
 * A file without any write permission bit counts as read-only even for the superuser, so a read-only picture
 * is never rewritten or truncated, whoever runs the program.
 *
 * Writers of this program that change a file they read (the conditional forms of replaceFile() and changeInPlace())
 * take an advisory lock on it, flock(2) on the file itself, around their last check and their change only; the lock
 * keeps two of them from both finding the file unchanged and both changing it. Programs that take no lock are caught
 * by that check, made as late as the system allows.
 */
namespace platform {

/**
 * What tells one state of a file from another without reading it: the same inode with the same size and the same
 * modification and change times (nanoseconds) is taken to hold the same bytes.
 */
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    qint64 size = -1;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

/** How long a writer waits for another writer's lock before it reports the file busy. */
inline constexpr std::chrono::milliseconds kWriteLockWait {3000};

/** The whole content of an existing file. */
[[nodiscard]] QByteArray readWholeFile(const FilePath& path);

/**
 * The same, with the identity of what was read in `identity`: taken before and after the read, and left empty
 * when the two differ (the file changed while it was read).
 */
[[nodiscard]] QByteArray readWholeFile(const FilePath& path, std::optional<FileIdentity>& identity);

/** The identity of the file at `path` now (a symbolic link's target); empty when it cannot be had. */
[[nodiscard]] std::optional<FileIdentity> identityOf(const FilePath& path);

/**
 * Replaces the file's content with the concatenation of `parts`, atomically: the bytes go to a temporary file with
 * a short name of its own in the same directory, which is flushed and renamed over the old file, and the directory
 * is flushed after the rename. So the file holds its old or its new bytes at every moment, a power cut included. A
 * failure at any point before the rename (disk full, file-size limit, I/O error) leaves the old file whole, removes
 * the temporary and raises IoError. The old file's permission bits, extended attributes and POSIX ACLs (those the
 * kernel lets this process set), group and, where allowed, owner are kept; a new file gets 0666 less the umask. A path
 * that is a symbolic link is written into the link's target, and the link stays a link. A file with further hard links
 * is replaced under this name only: its other names keep the old bytes, since the file is never written in place.
 *
 * With `expected`, the old file must still have that identity: under the writers' lock, checked after the new bytes
 * are on the disk and just before the rename; otherwise nothing changes and FileChangedError (or, when another writer
 * kept the lock longer than kWriteLockWait, FileBusyError) is raised. Gives the identity of the new file.
 *
 * Temporaries that an earlier writer of this program left behind in the folder (it was killed before its rename)
 * are removed first, unless a writer still holds them.
 */
FileIdentity replaceFile(
    const FilePath& path, std::initializer_list<ByteView> parts, const std::optional<FileIdentity>& expected = {});

/**
 * The same for a file that is never reached through a symbolic link (a sidecar beside a picture): the name itself is
 * replaced, and a symbolic link there is refused with IoError(ELOOP), the link and its target untouched.
 */
FileIdentity replaceFileNotLink(const FilePath& path, std::initializer_list<ByteView> parts);

/** The whole content of the file named `path` itself; a symbolic link there is refused with IoError(ELOOP). */
[[nodiscard]] QByteArray readFileNotLink(const FilePath& path);

/** An open file descriptor, closed on destruction. */
class File {
public:
    enum class Mode {
        Read,
        ReadWrite,
        /** To read, refusing a symbolic link (IoError ELOOP) rather than opening its target. */
        ReadNotLink,
    };

    /**
     * Opens an existing file; raises IoError when it is missing, a directory or another thing that is not a
     * regular file (a FIFO would make the read wait for a writer), or (ReadWrite) read-only.
     */
    File(const FilePath& path, Mode mode);
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    [[nodiscard]] qint64 size() const;
    [[nodiscard]] FileIdentity identity() const;
    /** How many names (hard links) the file has now; 0 once the last one is gone. */
    [[nodiscard]] qint64 linkCount() const;
    /** Reads the file from offset 0 to its current end. */
    [[nodiscard]] QByteArray readAll() const;
    void truncate(qint64 length);
    /** Writes `bytes` at the file's end and flushes them to the disk. */
    void append(ByteView bytes);
    [[nodiscard]] int descriptor() const { return m_fd; }

private:
    [[noreturn]] void fail() const;

    FilePath m_path;
    int m_fd = -1;
};

/**
 * Changes the file at `path` in place (a truncate, an append) as long as it still has `expected`: the file is opened
 * to be written, which needs no writable folder and keeps its hard links, the writers' lock is taken and the identity
 * checked, and then `change` runs on the open file. Raises IoError (a read-only file among others), FileChangedError
 * and FileBusyError as replaceFile() does, with the file untouched. Gives the identity after the change.
 */
FileIdentity changeInPlace(
    const FilePath& path, const FileIdentity& expected, const std::function<void(File&)>& change);

/** Raises IoError(EACCES) when an existing file may not be written (see above). Missing files pass. */
void checkWritable(const FilePath& path);

/**
 * Raises an error unless replaceFile(path, …) can succeed as far as permissions tell: the file may be written and a
 * new file may be created in its directory (the directory of a symbolic link's target), and a folder with the sticky
 * bit lets this user replace the file.
 */
void checkReplaceable(const FilePath& path);

} // namespace platform
