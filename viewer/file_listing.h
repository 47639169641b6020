#pragma once

#include "platform/file_path.h"

#include <QLocale>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <string>
#include <string_view>
#include <vector>

/** The file list's directory reading and path splitting, free of widgets. */
namespace viewer {

/** Whether `text` holds "*" or "?". */
[[nodiscard]] bool hasWildcards(QStringView text);

/**
 * Case-insensitive file-name wildcard matching: "*" matches any run of characters, "?" exactly one, every
 * other character itself without regard to case. A pattern without wildcards thus matches that one name.
 */
[[nodiscard]] bool matchesWildcard(QStringView name, QStringView pattern);

/**
 * The bare names of the files in `directory` that match one of the ";"-separated patterns of `mask`, each
 * listed once, sorted without regard to case in the collation of `locale` (the user's by default).
 * Directories and hidden files (names starting with ".") are never listed; read-only files are. Symbolic
 * links count as what they point to. One pass over the directory. Raises IoError when the directory
 * cannot be read.
 */
[[nodiscard]] QStringList listPictureFiles(
    const platform::FilePath& directory, const QString& mask, const QLocale& locale = QLocale());

/** The names of a listing as the file system spells them (their bytes), in the order the directory gives them. */
class PictureNames {
public:
    [[nodiscard]] std::size_t size() const { return m_offsets.size(); }
    [[nodiscard]] bool empty() const { return m_offsets.empty(); }
    /** One name; its bytes are followed by a zero. */
    [[nodiscard]] std::string_view operator[](std::size_t index) const;
    void append(std::string_view name);

private:
    /** Each name with its terminating zero, one after the other. */
    std::string m_block;
    std::vector<std::size_t> m_offsets;
};

/**
 * The names listPictureFiles() lists, under the same rules, but unsorted: for a caller that needs the list's
 * order only among a few of them, which collationOrder() (name_order.h) then gives cheaply. Decoded with
 * platform::fileNameFromBytes(), and ordered by collationOrder() in `locale`, they are the list.
 */
[[nodiscard]] PictureNames readPictureNames(const platform::FilePath& directory, const QString& mask);

/** Where a text given to the file list points: a directory and a last component. */
struct ListPathTarget {
    /** An absolute directory path, cleaned (no "." or ".." components, no trailing "/" except the root). */
    QString directory;
    /** Empty, a wildcard pattern, or the name of an existing file in `directory`. */
    QString name;
    /** Whether `name` is a pattern: it holds "*" or "?" and no file has exactly that name. */
    bool isMask = false;
};

/**
 * Splits `text` for the file list into a directory and a last component. A bare name, or a relative path,
 * is taken relative to `workingDirectory`. A last component with "*" or "?" is a pattern, unless a file of
 * exactly that name exists (such names are legal here). A last component that holds no wildcard and names no
 * existing file (compared without regard to case) is a subdirectory: it joins the directory and the name becomes
 * empty. Raises IoError (ENOENT, or ENOTDIR) when the resulting directory does not exist.
 */
[[nodiscard]] ListPathTarget splitListPath(const QString& text, const QString& workingDirectory);

} // namespace viewer
