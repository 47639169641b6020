#pragma once

#include "platform/bytes.h"
#include "platform/errors.h"
#include "platform/file_path.h"

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
    /** The file's path relative to the dumped folder. */
    platform::FilePath path;
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

/**
 * Both formats start with a line saying that the dump ends with a trailer, and end with that trailer, which gives the
 * number of records: a dump cut short (a killed run, a full disk) is told from a whole one.
 *
 *     TSV:        #zelkavio-opis-dump<TAB>2<TAB>trailer
 *                 path<TAB>format<TAB>picture-length<TAB>picture-sha256<TAB>block<TAB>description
 *                 ... one record a line, \t \r \n \0 \\ escaped ...
 *                 #trailer<TAB>records<TAB>N
 *     JSON Lines: {"zelkavio-opis-dump":2,"trailer":true}
 *                 ... one JSON object a record ...
 *                 {"trailer":true,"records":N}
 */
enum class DumpFormat {
    Tsv,
    JsonLines,
};

/** SHA-256 of `bytes` as 64 lower-case hexadecimal digits. */
[[nodiscard]] QByteArray sha256Hex(platform::ByteView bytes);

/** SHA-256 of the picture's bytes of a whole file's content: those before the first marker. */
[[nodiscard]] QByteArray pictureSha256(platform::ByteView fileBytes);

/** The record of a picture file whose whole content is `fileBytes`. Raises AppError for a name no picture has. */
[[nodiscard]] DumpRecord recordOf(const platform::FilePath& relativePath, platform::ByteView fileBytes);

/** What a dump starts with: the line announcing the trailer, and for TSV the header line. */
[[nodiscard]] QByteArray dumpHeader(DumpFormat format);

/** What a dump of `records` records ends with, line feed included. */
[[nodiscard]] QByteArray dumpTrailer(DumpFormat format, std::size_t records);

/** One record as one line of the dump, line feed included. */
[[nodiscard]] QByteArray formatRecord(const DumpRecord& record, DumpFormat format);

/** One line of a dump read back: its record, or why it is not one. */
struct DumpLine {
    int lineNumber = 0;
    std::optional<DumpRecord> record;
    QString error;
};

/** A dump read back. */
struct Dump {
    std::vector<DumpLine> lines;
    /** Whether the dump announces a trailer, so that it can be checked for completeness; older dumps do not. */
    bool checkable = false;
    /**
     * Why a checkable dump is not whole (its last line cut off, its trailer missing, or a count that disagrees);
     * empty when it is whole. A last line cut off is not among `lines`.
     */
    QString incomplete;
};

/**
 * Reads a dump in either format (told by its first line), also one made before dumps had trailers. A line that
 * cannot be read (a bad escape, a missing field, a character Windows-1250 has no byte for) gives an error for that
 * line only; the others still read. Raises AppError when the text is no dump at all.
 */
[[nodiscard]] Dump readDump(const QByteArray& text);

/**
 * Dumps the pictures of `directory` (relative paths, in byte order), reading each file once. `onRecord` gets each
 * record, `onError` each file or folder that cannot be read (the walk goes on), `onProgress` the number of files
 * done and found after each file. Raises IoError when `directory` cannot be read.
 */
void dumpDirectory(const platform::FilePath& directory, bool recursive,
    const std::function<void(const DumpRecord&)>& onRecord,
    const std::function<void(const platform::AppError&)>& onError,
    const std::function<void(std::size_t done, std::size_t total)>& onProgress);

} // namespace interop
