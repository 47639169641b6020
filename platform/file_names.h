#pragma once

#include "file_path.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

/**
 * File names are bytes, whatever their encoding; the program keeps them as QString all the same, without losing
 * a byte. Valid UTF-8 decodes as usual. Each byte of a sequence that is not valid UTF-8 becomes the lone
 * surrogate U+DC80 + (byte - 0x80); UTF-8 cannot hold lone surrogates, so no valid name ever decodes to one and
 * the way back to bytes is exact. Such a string must never reach Qt's file classes (QFile, QFileInfo, QDir's
 * file system calls), which would turn the surrogates into other bytes: every file operation goes through
 * fileNameBytes(). Only what the user sees is displayFileName().
 */
namespace platform {

/** The name (or path) whose bytes are `bytes`, losslessly. */
[[nodiscard]] QString fileNameFromBytes(QByteArrayView bytes);

/** The exact bytes of a name made by fileNameFromBytes(); ordinary text gives its UTF-8. */
[[nodiscard]] QByteArray fileNameBytes(QStringView name);

/** The length of the valid UTF-8 sequence that `bytes` start with, or 0 when they start with an invalid one. */
[[nodiscard]] qsizetype validUtf8Length(QByteArrayView bytes);

/** Whether the name holds bytes that are not valid UTF-8. */
[[nodiscard]] bool holdsRawBytes(QStringView name);

/**
 * The name as the user sees it: each path component that is valid UTF-8 as such, each other one with all its
 * bytes read as Windows-1250 (the encoding of names written on Polish Windows).
 */
[[nodiscard]] QString displayFileName(QStringView name);

/** Whether `path` (a symbolic link's target) is a directory. */
[[nodiscard]] bool isDirectory(const FilePath& path);
/** Whether `path` (a symbolic link's target) is a regular file. */
[[nodiscard]] bool isRegularFile(const FilePath& path);

/**
 * Raises IoError unless `path` (a symbolic link's target) is a regular file: ENOENT when nothing is there, EISDIR
 * for a directory, EINVAL for anything else (opening a FIFO to read it would wait for a writer). Gives its size
 * and modification time in milliseconds.
 */
struct RegularFileStamp {
    qint64 size = 0;
    qint64 modifiedMs = 0;
};
RegularFileStamp requireRegularFile(const FilePath& path);

/** The working directory, exact whatever its bytes; "/" when the system cannot tell it. */
[[nodiscard]] FilePath currentDirectory();
/** Makes `directory` the working directory; raises IoError when it cannot be entered. */
void setCurrentDirectory(const FilePath& directory);

/** `path` with "." and ".." resolved and repeated "/" joined, as text: the file system is not asked. */
[[nodiscard]] FilePath cleanPath(const FilePath& path);

/** `path` made absolute against the working directory and cleaned (cleanPath()). */
[[nodiscard]] FilePath absolutePath(const FilePath& path);

/** `path` with every symbolic link and "." or ".." resolved; empty when it does not exist. */
[[nodiscard]] FilePath canonicalPath(const FilePath& path);

} // namespace platform
