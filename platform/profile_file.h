#pragma once

#include <QByteArray>
#include <QString>

#include <string>

namespace platform {

/**
 * A profile (INI) file read and edited byte by byte with the rules of the Windows profile functions:
 * "[section]" lines open sections, "key=value" lines hold values, names compare without regard to case
 * (folded through Windows-1250), the first matching section and the first matching key win, lines starting
 * with ";" are comments, and one outer pair of matching quotes is removed from a read value.
 *
 * Edits keep every other byte of the file, the file's spelling of names and its line breaks; lines written
 * end in CR LF. A file starting with the UTF-16LE byte order mark is read and written as UTF-16LE (its values
 * still come and go as Windows-1250 bytes); any other file is single-byte Windows-1250 text.
 *
 * Load once, read or edit in memory, then save() once: save() replaces the file atomically, so a failed save
 * leaves the old file whole.
 */
class ProfileFile {
public:
    /** Read values are cut to this many characters, the settings' read buffer less its terminating NUL. */
    static constexpr qsizetype kDefaultMaxValueLength = 2047;
    /** Files larger than this are refused as too big to be a profile file (IoError EFBIG). */
    static constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;

    /** An empty file that save() will create at `path`. */
    ProfileFile() = default;

    /**
     * Loads the file at `path`. A missing file loads as empty (save() creates it); a file that exists but
     * cannot be read, or is larger than kMaxFileSize, raises IoError.
     */
    [[nodiscard]] static ProfileFile load(const QString& path);
    /** A profile file over the given bytes; save() then needs a path (saveAs). */
    [[nodiscard]] static ProfileFile fromBytes(const QByteArray& bytes);

    /**
     * The value of `key` in `section` as Windows-1250 bytes: the text after the first "=", trimmed of spaces,
     * tabs and vertical tabs, with one outer pair of matching quotes removed. A present but empty value gives
     * an empty array. A missing file, section or key gives `fallback` without its trailing spaces. The result
     * is cut to `maxLength` characters. Leading and trailing spaces of `section` and `key` are ignored.
     */
    [[nodiscard]] QByteArray read(const QByteArray& section, const QByteArray& key, const QByteArray& fallback,
        qsizetype maxLength = kDefaultMaxValueLength) const;
    /** Whether the key is present (with any value, the empty one included). */
    [[nodiscard]] bool contains(const QByteArray& section, const QByteArray& key) const;

    /**
     * Sets `key` in `section` to `value` (Windows-1250 bytes, written verbatim). An existing key's line is
     * rewritten with the file's spelling of the key; a new key goes right after the last key line of the
     * section (right after its header when it has none); a new section goes at the end of the file.
     * A value or name holding CR, LF or NUL raises AppError and changes nothing: written verbatim, it would
     * break the file into other keys.
     */
    void setValue(const QByteArray& section, const QByteArray& key, const QByteArray& value);
    /** Removes the first line of `key` in `section`; the section stays, even when it becomes empty. */
    void removeKey(const QByteArray& section, const QByteArray& key);
    /** Removes the first section of that name: its header and its key lines; comments and blank lines stay. */
    void removeSection(const QByteArray& section);

    /** Writes the content to the path it was loaded from (see saveAs). */
    void save() const;
    /**
     * Replaces the file at `path` with the content, atomically. A read-only file, an unwritable or missing
     * directory or a full disk raises IoError and leaves the old file (or its absence) as it was.
     */
    void saveAs(const QString& path) const;

    /** The whole file as it would be saved (a UTF-16 file with its byte order mark). */
    [[nodiscard]] QByteArray bytes() const;
    [[nodiscard]] const QString& path() const { return m_path; }
    /** Whether the file is UTF-16LE text (it started with FF FE). */
    [[nodiscard]] bool isWide() const { return m_wide; }

private:
    QString m_path;
    bool m_wide = false;
    std::string m_narrow; // single-byte content
    std::u16string m_wideText; // UTF-16 content after the byte order mark
};

/** One read as the Windows function does it: loads `path` (missing → `fallback`) and reads one value. */
[[nodiscard]] QByteArray readProfileString(const QString& path, const QByteArray& section, const QByteArray& key,
    const QByteArray& fallback, qsizetype maxLength = ProfileFile::kDefaultMaxValueLength);

/** One write as the Windows function does it: load, set one value, save atomically. */
void writeProfileString(const QString& path, const QByteArray& section, const QByteArray& key, const QByteArray& value);

} // namespace platform
