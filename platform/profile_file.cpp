#include "profile_file.h"

#include "cp1250.h"
#include "errors.h"
#include "file_io.h"

#include <cerrno>
#include <optional>
#include <string_view>
#include <type_traits>
#include <vector>

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

template <typename C> std::vector<Line> splitLines(View<C> text)
{
    std::vector<Line> lines;
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        std::size_t j = i;
        while (j < n && text[j] != C('\r') && text[j] != C('\n'))
            ++j;
        std::size_t next = j;
        if (next < n)
            next += (text[next] == C('\r') && next + 1 < n && text[next + 1] == C('\n')) ? 2 : 1;
        lines.push_back({i, j, next});
        i = next;
    }
    return lines;
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

/** Where a section, and a key in it, lie among the lines. */
struct Location {
    std::optional<std::size_t> header;
    std::optional<std::size_t> key; // the first line of the key in that section
    std::optional<std::size_t> lastKey; // the section's last key line
    std::vector<std::size_t> keyLines; // every key line of the section
};

template <typename C>
Location locate(View<C> text, const std::vector<Line>& lines, const QString& section, const QString* key)
{
    Location where;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const ParsedLine<C> parsed = parseLine(text.substr(lines[i].begin, lines[i].end - lines[i].begin));
        if (!where.header) {
            // Lines before the first matching header belong to no section we look at.
            if (parsed.kind == LineKind::Header && sameName(parsed.name, section))
                where.header = i;
            continue;
        }
        if (parsed.kind == LineKind::Header)
            break; // only the first section of that name is searched
        if (parsed.kind != LineKind::Key)
            continue;
        where.lastKey = i;
        where.keyLines.push_back(i);
        if (key && !where.key && sameName(parsed.name, *key))
            where.key = i;
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
    const std::vector<Line> lines = splitLines(text);
    const Location where = locate(text, lines, section, &key);
    if (!where.key)
        return std::nullopt;
    const Line& line = lines[*where.key];
    View<C> value = parseLine(text.substr(line.begin, line.end - line.begin)).value;
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
    const std::vector<Line> lines = splitLines(view);
    const Location where = locate(view, lines, section, &key);
    const Text<C> crlf = ascii<C>("\r\n");
    const Text<C> valueUnits = fromBytes<C>(value);

    if (where.key) {
        // The file's spelling of the key is kept; the line gets a CR LF even when it was the unended last line.
        const Line& line = lines[*where.key];
        const View<C> spelled = parseLine(view.substr(line.begin, line.end - line.begin)).name;
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
        const Line& after = lines[where.lastKey ? *where.lastKey : *where.header];
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
    const std::vector<Line> lines = splitLines(View<C>(text));
    const Location where = locate(View<C>(text), lines, section, &key);
    if (where.key)
        text.erase(lines[*where.key].begin, lines[*where.key].next - lines[*where.key].begin);
}

template <typename C> void removeSectionIn(Text<C>& text, const QByteArray& sectionName)
{
    const QString section = callerName(sectionName);
    const std::vector<Line> lines = splitLines(View<C>(text));
    const Location where = locate(View<C>(text), lines, section, nullptr);
    if (!where.header)
        return;
    // Back to front, so the earlier lines' positions stay valid.
    for (auto it = where.keyLines.rbegin(); it != where.keyLines.rend(); ++it)
        text.erase(lines[*it].begin, lines[*it].next - lines[*it].begin);
    text.erase(lines[*where.header].begin, lines[*where.header].next - lines[*where.header].begin);
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
        const File file(path, File::Mode::Read);
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
    out.reserve(static_cast<qsizetype>(2 + 2 * m_wideText.size() + m_narrow.size()));
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
    replaceFile(path, {asBytes(content)});
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
