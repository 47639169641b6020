#pragma once

#include "platform/bytes.h"
#include "platform/errors.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

/**
 * A dump: one record per picture file of a folder, enough to put every description back after another program
 * re-saved, renamed or moved the pictures. Descriptions are kept as their stored bytes, each written as the
 * character Windows-1250 gives it (every byte has one), so a dump read back gives the same bytes.
 */
namespace interop {

struct DumpRecord {
    /** The file's path relative to the dumped folder, as bytes. */
    QByteArray path;
    /** "bmp", "jpeg", "emf" or "wmf", by the name's extension. */
    QByteArray format;
    /** The picture's bytes: those before the first marker (the whole file without one). */
    qint64 pictureLength = 0;
    /** SHA-256 of the picture's bytes, 64 lower-case hexadecimal digits. */
    QByteArray pictureSha256;
    /** The description's stored bytes; empty optional when the file has no description block. */
    std::optional<QByteArray> description;

    friend bool operator==(const DumpRecord&, const DumpRecord&) = default;
};

enum class DumpFormat {
    Tsv, // a header line, then tab-separated fields with \t \r \n \0 \\ escaped
    JsonLines, // one JSON object a line
};

/** SHA-256 of `bytes` as 64 lower-case hexadecimal digits. */
[[nodiscard]] QByteArray sha256Hex(platform::ByteView bytes);

/** The record of a picture file whose whole content is `fileBytes`. Raises AppError for a name no picture has. */
[[nodiscard]] DumpRecord recordOf(const QByteArray& relativePath, platform::ByteView fileBytes);

/** What a dump starts with: the TSV header line, nothing for JSON Lines. */
[[nodiscard]] QByteArray dumpHeader(DumpFormat format);

/** One record as one line of the dump, line feed included. */
[[nodiscard]] QByteArray formatRecord(const DumpRecord& record, DumpFormat format);

/** One line of a dump read back: its record, or why it is not one. */
struct DumpLine {
    int lineNumber = 0;
    std::optional<DumpRecord> record;
    QString error;
};

/**
 * Reads a dump in either format (told by its first line). A line that cannot be read (a bad escape, a missing
 * field, a character Windows-1250 has no byte for) gives an error for that line only; the others still read.
 * Raises AppError when the text is no dump at all.
 */
[[nodiscard]] std::vector<DumpLine> readDump(const QByteArray& text);

/**
 * Dumps the pictures of `directory` (relative paths, in byte order), reading each file once. `onRecord` gets each
 * record, `onError` each file or folder that cannot be read (the walk goes on), `onProgress` the number of files
 * done and found after each file. Raises IoError when `directory` cannot be read.
 */
void dumpDirectory(const QByteArray& directory, bool recursive, const std::function<void(const DumpRecord&)>& onRecord,
    const std::function<void(const platform::AppError&)>& onError,
    const std::function<void(std::size_t done, std::size_t total)>& onProgress);

} // namespace interop
