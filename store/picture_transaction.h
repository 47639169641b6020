#pragma once

#include "picture_formats.h"

#include "platform/file_io.h"
#include "platform/file_path.h"

#include <QByteArray>

#include <optional>

namespace store {

/**
 * The one way this program changes a picture file: the viewer's save and delete and every command of the command-line
 * tool that writes go through a transaction, and none keeps checks of its own.
 *
 * A transaction reads the file once, whole, and records what it read (its identity: device, inode, size, modification
 * and change times). The writer checks what it needs on those bytes, the new bytes are built in memory, and the file
 * changes only if it is still what was read, checked under the writers' lock just before the change (see
 * platform/file_io.h): a description is written by one rename of a new file over the old one, and deleted by one
 * truncate in place, which needs no writable folder and keeps hard links. Otherwise nothing changes and
 * platform::FileChangedError, or FileBusyError when another writer of this program kept the lock, is raised.
 *
 * Whatever a writer writes, the bytes in front of the first marker stay the bytes it read, but for a header field a
 * layer must correct so that no reader takes the description for picture data, and a change is refused unless this
 * program reads the result back as the same picture with that description.
 */
class PictureTransaction {
public:
    /**
     * Reads the file at `path`. Raises AppError for a name without a picture extension, IoError when the file cannot
     * be read, and FileChangedError when it changed while it was read.
     */
    explicit PictureTransaction(platform::FilePath path);

    [[nodiscard]] const platform::FilePath& path() const { return m_path; }
    [[nodiscard]] PictureFormat format() const { return m_format; }
    /** The whole file as read. */
    [[nodiscard]] const QByteArray& bytes() const { return m_bytes; }
    [[nodiscard]] const platform::FileIdentity& identity() const { return m_identity; }
    /** Where the first marker lies, or -1. */
    [[nodiscard]] qint64 markerOffset() const { return m_marker; }
    /** From the first marker to the end of the file; 0 without a marker. */
    [[nodiscard]] qint64 blockLength() const { return m_marker < 0 ? 0 : m_bytes.size() - m_marker; }
    /** The description's stored bytes; empty optional when the file has no marker. */
    [[nodiscard]] std::optional<QByteArray> description() const;

    /** Raises FileChangedError unless the file was read in state `expected` (an empty one never matches). */
    void requireIdentity(const std::optional<platform::FileIdentity>& expected) const;

    /**
     * What a described file keeps in front of its marker: every byte before the first marker as read, with a header
     * field corrected where a layer needs it (a BMP whose pixel data is shorter than its header says). Raises
     * AppError, in Polish and naming the file, when the picture cannot be loaded, when the first marker lies inside
     * the picture's own data, or when the layer cannot keep a description apart from the picture.
     */
    [[nodiscard]] QByteArray pictureBytes() const;

    /**
     * Raises an error unless writeDescription() can replace the file as far as permissions tell (the file may be
     * written, its folder takes a new file, a sticky folder lets this user replace it): for a writer that wants to
     * know before it does anything else.
     */
    void checkReplaceable() const;

    /**
     * Replaces the description: pictureBytes(), the marker and `description`, by one rename. Gives the file's identity
     * after the change. Raises as pictureBytes() does, IoError, FileChangedError or FileBusyError, with the file as
     * it was.
     */
    platform::FileIdentity writeDescription(const QByteArray& description);

    /**
     * Replaces the picture's own bytes with `picture` (its metadata rewritten), keeping the description block as read
     * behind them, by one rename; refused like writeDescription() when the result would not read back as the same
     * picture with the same description.
     */
    platform::FileIdentity replacePicture(const QByteArray& picture);

    /**
     * Deletes the description block with one truncate in place; a file without one stays as it is. Refuses a first
     * marker inside the picture's own data (AppError, in Polish). Gives the identity after the change.
     */
    platform::FileIdentity stripDescriptionBlock();

    /**
     * Undoes stripDescriptionBlock(): appends `block` in place to the file at `path`, as long as it still has `cut`,
     * the identity the strip gave. Raises as stripDescriptionBlock() does.
     */
    static platform::FileIdentity putBackBlock(
        const platform::FilePath& path, const platform::FileIdentity& cut, const QByteArray& block);

private:
    /** Raises AppError unless `written` reads back as this picture with `description` behind a marker at `head`. */
    void checkReadsBack(const QByteArray& written, qint64 head) const;
    platform::FileIdentity replaceWith(const QByteArray& head, const QByteArray& description);

    platform::FilePath m_path;
    PictureFormat m_format;
    QByteArray m_bytes;
    platform::FileIdentity m_identity;
    qint64 m_marker = -1;
};

} // namespace store
