#include "profile_file.h"

#include "cp1250.h"
#include "errors.h"
#include "file_io.h"

#include <cerrno>
#include <optional>
#include <string_view>
#include <type_traits>

namespace platform {

namespace {

// The engine below works on the file's code units: bytes for single-byte files, UTF-16 units for files with
// the UTF-16LE byte order mark. Every character the rules look at ("[", "]", "=", ";", quotes, blanks and line
// breaks) is ASCII, so the same code serves both.

template <typename C> using View = std::basic_string_view<C>;

template <typename C> using Text = std::basic_string<C>;

/** One line: its content [begin, end) and the position after its line break (== end for the last line). */
struct Line {
    std::size_t begin;
    std::size_t end;
    std::size_t next;
};

/** The line that starts at `from` (which is below the text's size). Lines end at CR, LF or CR LF. */
template <typename C> Line lineAt(View<C> text, std::size_t from)
{
    const std::size_t n = text.size();
    std::size_t end = from;
    while (end < n && text[end] != C('\r') && text[end] != C('\n'))
        ++end;
    std::size_t next = end;
    if (next < n)
        next += (text[next] == C('\r') && next + 1 < n && text[next + 1] == C('\n')) ? 2 : 1;
    return {from, end, next};
}

template <typename C> View<C> contentOf(View<C> text, const Line& line)
{
    return text.substr(line.begin, line.end - line.begin);
}

template <typename C> bool isBlank(C c)
{
    return c == C(' ') || c == C('\t') || c == C('\v');
}

template <typename C> View<C> trimBlanks(View<C> text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

enum class LineKind { Other, Header, Comment, Key };

template <typename C> struct ParsedLine {
    LineKind kind = LineKind::Other;
    View<C> name; // section name or key
    View<C> value;
};

template <typename C> ParsedLine<C> parseLine(View<C> line)
{
    std::size_t i = 0;
    while (i < line.size() && isBlank(line[i]))
        ++i;
    if (i == line.size())
        return {};
    if (line[i] == C('[')) {
        // The name runs to the first "]" (or the end of the line); anything after it is ignored.
        const std::size_t close = line.find(C(']'), i + 1);
        const std::size_t end = close == View<C>::npos ? line.size() : close;
        return {LineKind::Header, trimBlanks(line.substr(i + 1, end - i - 1)), {}};
    }
    if (line[i] == C(';'))
        return {LineKind::Comment, {}, {}};
    const std::size_t eq = line.find(C('='), i);
    if (eq == View<C>::npos)
        return {};
    return {LineKind::Key, trimBlanks(line.substr(i, eq - i)), trimBlanks(line.substr(eq + 1))};
}

QString toText(View<char> units)
{
    return cp1250::decode(asBytes(std::string_view(units.data(), units.size())));
}

QString toText(View<char16_t> units)
{
    return QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size()));
}

template <typename C> bool sameName(View<C> inFile, const QString& wanted)
{
    // Names compare by simple case folding, character by character, so their lengths must agree.
    return inFile.size() == static_cast<std::size_t>(wanted.size())
        && toText(inFile).compare(wanted, Qt::CaseInsensitive) == 0;
}

/** A name as the caller passed it: Windows strips leading and trailing spaces (only spaces) from it. */
QString callerName(const QByteArray& name)
{
    qsizetype begin = 0;
    qsizetype end = name.size();
    while (begin < end && name[begin] == ' ')
        ++begin;
    while (end > begin && name[end - 1] == ' ')
        --end;
    return cp1250::decode(asBytes(std::string_view(name.constData() + begin, static_cast<std::size_t>(end - begin))));
}

/** Where a section, and a key in it, lie in the text. Lines are found one at a time: no index of all lines. */
struct Location {
    std::optional<Line> header;
    std::optional<Line> key; // the first line of the key in that section
    std::optional<Line> lastKey; // the section's last key line
};

template <typename C> Location locate(View<C> text, const QString& section, const QString* key)
{
    Location where;
    for (std::size_t pos = 0; pos < text.size();) {
        const Line line = lineAt(text, pos);
        pos = line.next;
        const ParsedLine<C> parsed = parseLine(contentOf(text, line));
        if (!where.header) {
            // Lines before the first matching header belong to no section we look at.
            if (parsed.kind == LineKind::Header && sameName(parsed.name, section))
                where.header = line;
            continue;
        }
        if (parsed.kind == LineKind::Header)
            break; // only the first section of that name is searched
        if (parsed.kind != LineKind::Key)
            continue;
        where.lastKey = line;
        if (key && !where.key && sameName(parsed.name, *key))
            where.key = line;
    }
    return where;
}

template <typename C> Text<C> fromBytes(const QByteArray& bytes)
{
    if constexpr (std::is_same_v<C, char>) {
        return Text<C>(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    } else {
        const QString text = cp1250::decode(bytes);
        return Text<C>(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
    }
}

template <typename C> QByteArray toBytes(View<C> units)
{
    if constexpr (std::is_same_v<C, char>)
        return QByteArray(units.data(), static_cast<qsizetype>(units.size()));
    else
        return cp1250::encode(toText(units));
}

template <typename C> Text<C> ascii(std::string_view text)
{
    return Text<C>(text.begin(), text.end());
}

QByteArray cut(QByteArray value, qsizetype maxLength)
{
    if (maxLength >= 0 && value.size() > maxLength)
        value.truncate(maxLength);
    return value;
}

template <typename C>
std::optional<QByteArray> readValue(View<C> text, const QString& section, const QString& key, qsizetype maxLength)
{
    const Location where = locate(text, section, &key);
    if (!where.key)
        return std::nullopt;
    View<C> value = parseLine(contentOf(text, *where.key)).value;
    if (value.size() >= 2 && (value.front() == C('"') || value.front() == C('\'')) && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    if (maxLength >= 0 && value.size() > static_cast<std::size_t>(maxLength))
        value = value.substr(0, static_cast<std::size_t>(maxLength));
    return toBytes(value);
}

template <typename C>
void setValueIn(Text<C>& text, const QByteArray& sectionName, const QByteArray& keyName, const QByteArray& value)
{
    const QString section = callerName(sectionName);
    const QString key = callerName(keyName);
    const View<C> view(text);
    const Location where = locate(view, section, &key);
    const Text<C> crlf = ascii<C>("\r\n");
    const Text<C> valueUnits = fromBytes<C>(value);

    if (where.key) {
        // The file's spelling of the key is kept; the line gets a CR LF even when it was the unended last line.
        const Line& line = *where.key;
        const View<C> spelled = parseLine(contentOf(view, line)).name;
        Text<C> replacement(spelled);
        replacement += C('=');
        replacement += valueUnits;
        replacement += crlf;
        text.replace(line.begin, line.next - line.begin, replacement);
        return;
    }

    Text<C> keyLine = fromBytes<C>(cp1250::encode(key));
    keyLine += C('=');
    keyLine += valueUnits;
    keyLine += crlf;

    if (where.header) {
        // New keys go right after the section's last key line, so comments and blank lines below it stay below.
        const Line& after = where.lastKey ? *where.lastKey : *where.header;
        if (after.next == after.end)
            keyLine.insert(0, crlf); // that line ended the file without a line break
        text.insert(after.next, keyLine);
        return;
    }

    Text<C> block;
    if (!text.empty() && text.back() != C('\r') && text.back() != C('\n'))
        block = crlf;
    block += C('[');
    block += fromBytes<C>(cp1250::encode(section));
    block += C(']');
    block += crlf;
    block += keyLine;
    text += block;
}

template <typename C> void removeKeyIn(Text<C>& text, const QByteArray& sectionName, const QByteArray& keyName)
{
    const QString section = callerName(sectionName);
    const QString key = callerName(keyName);
    const Location where = locate(View<C>(text), section, &key);
    if (where.key)
        text.erase(where.key->begin, where.key->next - where.key->begin);
}

template <typename C> void removeSectionIn(Text<C>& text, const QByteArray& sectionName)
{
    const QString section = callerName(sectionName);
    const View<C> view(text);
    if (!locate(view, section, nullptr).header)
        return;
    // Copy every line but the section's header and key lines; comments and blank lines in it stay.
    Text<C> kept;
    kept.reserve(text.size());
    enum { Before, Inside, After } state = Before;
    for (std::size_t pos = 0; pos < view.size();) {
        const Line line = lineAt(view, pos);
        pos = line.next;
        const ParsedLine<C> parsed = parseLine(contentOf(view, line));
        if (state == Before && parsed.kind == LineKind::Header && sameName(parsed.name, section)) {
            state = Inside;
            continue;
        }
        if (state == Inside) {
            if (parsed.kind == LineKind::Header)
                state = After;
            else if (parsed.kind == LineKind::Key)
                continue;
        }
        kept.append(view.substr(line.begin, line.next - line.begin));
    }
    text = std::move(kept);
}

void checkWritableText(const QByteArray& text)
{
    for (const char c : text) {
        if (c == '\r' || c == '\n' || c == '\0')
            throw AppError(QStringLiteral("A profile file value or name may not hold a line break or a NUL character"));
    }
}

QByteArray fallbackValue(const QByteArray& fallback, qsizetype maxLength)
{
    qsizetype end = fallback.size();
    while (end > 0 && fallback[end - 1] == ' ')
        --end;
    return cut(fallback.left(end), maxLength);
}

} // namespace

ProfileFile ProfileFile::load(const QString& path)
{
    QByteArray content;
    try {
        const File file(FilePath::fromText(path), File::Mode::Read);
        if (file.size() > kMaxFileSize)
            throw IoError(EFBIG, path);
        content = file.readAll();
    } catch (const IoError& error) {
        if (error.errorCode() != ENOENT)
            throw;
    }
    ProfileFile profile = fromBytes(content);
    profile.m_path = path;
    return profile;
}

ProfileFile ProfileFile::fromBytes(const QByteArray& bytes)
{
    ProfileFile profile;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF
        && static_cast<unsigned char>(bytes[1]) == 0xFE) {
        profile.m_wide = true;
        const qsizetype units = (bytes.size() - 2) / 2;
        profile.m_wideText.resize(static_cast<std::size_t>(units));
        for (qsizetype i = 0; i < units; ++i) {
            const auto lo = static_cast<unsigned char>(bytes[2 + 2 * i]);
            const auto hi = static_cast<unsigned char>(bytes[3 + 2 * i]);
            profile.m_wideText[static_cast<std::size_t>(i)] = static_cast<char16_t>(lo | (hi << 8));
        }
        // A stray odd byte at the end is kept as it was.
        if ((bytes.size() - 2) % 2 != 0)
            profile.m_narrow.assign(1, bytes.back());
    } else {
        profile.m_narrow.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    return profile;
}

QByteArray ProfileFile::read(
    const QByteArray& section, const QByteArray& key, const QByteArray& fallback, qsizetype maxLength) const
{
    const QString sectionName = callerName(section);
    const QString keyName = callerName(key);
    const std::optional<QByteArray> value = m_wide
        ? readValue(View<char16_t>(m_wideText), sectionName, keyName, maxLength)
        : readValue(View<char>(m_narrow), sectionName, keyName, maxLength);
    return value ? *value : fallbackValue(fallback, maxLength);
}

bool ProfileFile::contains(const QByteArray& section, const QByteArray& key) const
{
    const QString sectionName = callerName(section);
    const QString keyName = callerName(key);
    return m_wide ? readValue(View<char16_t>(m_wideText), sectionName, keyName, -1).has_value()
                  : readValue(View<char>(m_narrow), sectionName, keyName, -1).has_value();
}

void ProfileFile::setValue(const QByteArray& section, const QByteArray& key, const QByteArray& value)
{
    checkWritableText(section);
    checkWritableText(key);
    checkWritableText(value);
    if (m_wide)
        setValueIn(m_wideText, section, key, value);
    else
        setValueIn(m_narrow, section, key, value);
}

void ProfileFile::removeKey(const QByteArray& section, const QByteArray& key)
{
    if (m_wide)
        removeKeyIn(m_wideText, section, key);
    else
        removeKeyIn(m_narrow, section, key);
}

void ProfileFile::removeSection(const QByteArray& section)
{
    if (m_wide)
        removeSectionIn(m_wideText, section);
    else
        removeSectionIn(m_narrow, section);
}

QByteArray ProfileFile::bytes() const
{
    if (!m_wide)
        return QByteArray(m_narrow.data(), static_cast<qsizetype>(m_narrow.size()));
    QByteArray out;
    const std::size_t bytes = 2 + 2 * m_wideText.size() + m_narrow.size();
    out.reserve(static_cast<qsizetype>(bytes));
    out.append('\xFF');
    out.append('\xFE');
    for (const char16_t unit : m_wideText) {
        out.append(static_cast<char>(unit & 0xFF));
        out.append(static_cast<char>(unit >> 8));
    }
    out.append(m_narrow.data(), static_cast<qsizetype>(m_narrow.size()));
    return out;
}

void ProfileFile::save() const
{
    if (m_path.isEmpty())
        throw IoError(ENOENT, m_path);
    saveAs(m_path);
}

void ProfileFile::saveAs(const QString& path) const
{
    const QByteArray content = bytes();
    replaceFile(FilePath::fromText(path), {asBytes(content)});
}

QByteArray readProfileString(const QString& path, const QByteArray& section, const QByteArray& key,
    const QByteArray& fallback, qsizetype maxLength)
{
    return ProfileFile::load(path).read(section, key, fallback, maxLength);
}

void writeProfileString(const QString& path, const QByteArray& section, const QByteArray& key, const QByteArray& value)
{
    ProfileFile profile = ProfileFile::load(path);
    profile.setValue(section, key, value);
    profile.save();
}

} // namespace platform
