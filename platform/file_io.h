#pragma once

#include "bytes.h"

#include <QByteArray>
#include <QString>

#include <initializer_list>
#include <optional>

#include <sys/types.h>

/**
 * File access for picture files. Every function opens the file for one operation and closes it on every path;
 * failures raise IoError with the system's error code.
 *
 * A file without any write permission bit counts as read-only even for the superuser, so a read-only picture
 * is never rewritten or truncated, whoever runs the program.
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

/** The whole content of an existing file. */
[[nodiscard]] QByteArray readWholeFile(const QString& path);

/**
 * The same, with the identity of what was read in `identity`: taken before and after the read, and left empty
 * when the two differ (the file changed while it was read).
 */
[[nodiscard]] QByteArray readWholeFile(const QString& path, std::optional<FileIdentity>& identity);

/** The identity of the file at `path` now (a symbolic link's target); empty when it cannot be had. */
[[nodiscard]] std::optional<FileIdentity> identityOf(const QString& path);

/**
 * Replaces the file's content with the concatenation of `parts`, atomically: the bytes go to a temporary file with
 * a short name of its own in the same directory, which is flushed and renamed over the old file, and the directory
 * is flushed after the rename. So the file holds its old or its new bytes at every moment, a power cut included. A
 * failure at any point before the rename (disk full, file-size limit, I/O error) leaves the old file whole, removes
 * the temporary and raises IoError. The old file's permission bits, extended attributes and POSIX ACLs (those the
 * kernel lets this process set), group and, where allowed, owner are kept; a new file gets 0666 less the umask. A path
 * that is a symbolic link is written into the link's target, and the link stays a link. A file with further hard links
 * is replaced under this name only: its other names keep the old bytes, since the file is never written in place.
 */
void replaceFile(const QString& path, std::initializer_list<ByteView> parts);

/** Raises IoError(EACCES) when an existing file may not be written (see above). Missing files pass. */
void checkWritable(const QString& path);

/**
 * Raises IoError unless replaceFile(path, …) can succeed as far as permissions tell: the file may be written and
 * a new file may be created in its directory (the directory of a symbolic link's target).
 */
void checkReplaceable(const QString& path);

/** An open file descriptor, closed on destruction. */
class File {
public:
    enum class Mode { Read, ReadWrite };

    /**
     * Opens an existing file; raises IoError when it is missing, a directory or another thing that is not a
     * regular file (a FIFO would make the read wait for a writer), or (ReadWrite) read-only.
     */
    File(const QString& path, Mode mode);
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

private:
    [[noreturn]] void fail() const;

    QString m_path;
    int m_fd = -1;
};

} // namespace platform
