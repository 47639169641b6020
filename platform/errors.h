#pragma once

#include "file_path.h"

#include <QString>

#include <stdexcept>
#include <string>

namespace platform {

/** Base of every failure the program raises; what() is the message shown to the user (UTF-8). */
class AppError : public std::runtime_error {
public:
    explicit AppError(const QString& message);
    explicit AppError(const std::string& message);

    [[nodiscard]] QString message() const { return QString::fromUtf8(what()); }
};

/** A failed file operation: carries the system's error code (errno) and its message. */
class IoError : public AppError {
public:
    /** `path` may be empty; the message then names no file. */
    IoError(int errorCode, const QString& path);
    IoError(int errorCode, const FilePath& path);

    [[nodiscard]] int errorCode() const noexcept { return m_errorCode; }

private:
    int m_errorCode;
};

/**
 * A writer's change refused because the file is no longer what the writer read: another program changed, replaced
 * or removed it meanwhile. Nothing was written.
 */
class FileChangedError : public AppError {
public:
    explicit FileChangedError(const FilePath& path);
    [[nodiscard]] const FilePath& path() const { return m_path; }

private:
    FilePath m_path;
};

/** A writer's change refused because another writer of this program held the file's lock too long. */
class FileBusyError : public AppError {
public:
    explicit FileBusyError(const FilePath& path);
};

/** Raised when text that should hold a decimal integer does not. */
class ConvertError : public AppError {
public:
    explicit ConvertError(const QString& text);
};

/**
 * Text to integer the way the viewer state is read: optional leading blanks, an optional sign, then decimal
 * digits, or hexadecimal digits after "$", "x" or "0x". Anything else, or a value outside 32 bits, raises
 * ConvertError "'text' is not a valid integer value".
 */
[[nodiscard]] int toInt(const QString& text);

/** Like toInt, but gives `fallback` instead of raising. */
[[nodiscard]] int toIntDef(const QString& text, int fallback);

} // namespace platform
