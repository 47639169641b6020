#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <compare>

namespace platform {

/**
 * A name in the file system (a file, a folder, or a path of them) as its exact bytes, whatever their encoding.
 *
 * It is a type of its own so that a name read from disk can never reach Qt's file classes (QFile, QFileInfo, QDir),
 * which take QString and would turn bytes that are not UTF-8 into other bytes: there is no conversion to QString, so
 * such a call does not compile. Every file operation of the program takes a FilePath and hands its bytes to the
 * system. Text for people comes from display(); toText() gives the lossless escaped form (see file_names.h) for the
 * places that keep names among other text, such as the file list, and fromText() takes it back.
 */
class FilePath {
public:
    FilePath() = default;
    explicit FilePath(QByteArray bytes)
        : m_bytes(std::move(bytes))
    {
    }
    explicit FilePath(const char* bytes)
        : m_bytes(bytes)
    {
    }

    /** The name held as lossless text (platform::fileNameFromBytes), or plain text typed by a user. */
    [[nodiscard]] static FilePath fromText(QStringView text);

    [[nodiscard]] const QByteArray& bytes() const { return m_bytes; }
    /** The bytes with a terminating zero, for the system's calls. */
    [[nodiscard]] const char* c_str() const { return m_bytes.constData(); }
    [[nodiscard]] bool isEmpty() const { return m_bytes.isEmpty(); }
    [[nodiscard]] bool isAbsolute() const { return m_bytes.startsWith('/'); }

    /** The name as the user sees it (platform::displayFileName). */
    [[nodiscard]] QString display() const;
    /** The lossless escaped text of the name; never for Qt's file classes. */
    [[nodiscard]] QString toText() const;

    /** The last component: what follows the last "/". */
    [[nodiscard]] FilePath fileName() const;
    /** Everything before the last "/": "/" for a name in the root, "." for a bare name. */
    [[nodiscard]] FilePath folder() const;
    /** The extension after the last "." of the last component, in ASCII lower case; empty when there is none. */
    [[nodiscard]] QByteArray extension() const;
    /** `name` below this folder, joined by one "/"; `name` itself when it is absolute or this is empty. */
    [[nodiscard]] FilePath operator/(const FilePath& name) const;
    [[nodiscard]] FilePath operator/(const char* name) const { return *this / FilePath(name); }
    /** This name with `suffix` appended to its last component. */
    [[nodiscard]] FilePath withSuffix(QByteArrayView suffix) const;

    friend bool operator==(const FilePath& a, const FilePath& b) { return a.m_bytes == b.m_bytes; }
    friend std::strong_ordering operator<=>(const FilePath& a, const FilePath& b)
    {
        const int c = a.m_bytes.compare(b.m_bytes);
        return c < 0 ? std::strong_ordering::less
                     : (c > 0 ? std::strong_ordering::greater : std::strong_ordering::equal);
    }

private:
    QByteArray m_bytes;
};

} // namespace platform
