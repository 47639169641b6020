#include "rtf_reader.h"

#include "rtf_codepage.h"
#include "rtf_tokenizer.h"
#include "rtf_words.h"

#include <QByteArray>

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace help {

namespace {

enum class Destination { Text, FontTable, ColourTable };

struct CharState {
    int font = -1;
    int halfPoints = 24;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    bool hidden = false;
    RtfVertical vertical = RtfVertical::Baseline;
    int foreground = 0; // colour table index; 0 is "auto"
    int background = 0;
};

struct GroupState {
    CharState character;
    RtfParaFormat paragraph;
    int unicodeSkip = 1;
    Destination destination = Destination::Text;
};

struct FontEntry {
    QString name;
    int codePage = 0; // 0: the document's
};

struct ColourEntry {
    int red = 0;
    int green = 0;
    int blue = 0;
    bool set = false;
};

constexpr std::size_t kMaxColours = 65536;
constexpr int kMaxTwips = 22 * 1440;

class Reader {
public:
    explicit Reader(platform::ByteView data)
        : m_tokens(data)
    {
    }

    RtfDocument read();

private:
    void token(const RtfToken& token);
    bool skipsFallback(RtfToken& token);
    void groupEnd();
    void skipGroup();
    void word(const RtfToken& token);
    void characterWord(Word word, const RtfToken& token);
    void paragraphWord(Word word, int value);
    void documentWord(Word word, int value);
    void tableWord(Word word, int value);
    void symbol(char symbol);
    void bytes(std::string_view text);
    void tableText(std::string_view text);
    void flushBytes();
    void unicode(char16_t unit);
    void appendText(const QString& text);
    void dropLoneSurrogate();
    void endParagraph();
    [[nodiscard]] int codePage() const;
    [[nodiscard]] RtfCharFormat charFormat() const;
    [[nodiscard]] std::optional<QRgb> colour(int index) const;

    RtfTokenizer m_tokens;
    CodePageDecoder m_decoder;
    RtfDocument m_document;
    RtfParagraph m_paragraph;
    GroupState m_state;
    std::vector<GroupState> m_stack;
    std::unordered_map<int, FontEntry> m_fonts;
    std::vector<ColourEntry> m_colours;
    ColourEntry m_colour;
    int m_fontNumber = 0;
    QByteArray m_fontName;
    int m_documentCodePage = 1250;
    int m_defaultFont = -1;
    QByteArray m_pending; // bytes of text not yet decoded, all in m_pendingCodePage
    int m_pendingCodePage = 0;
    char16_t m_highSurrogate = 0;
    int m_fallbackLeft = 0;
    bool m_done = false;
};

RtfDocument Reader::read()
{
    while (!m_done) {
        RtfToken t = m_tokens.next();
        if (t.kind == RtfToken::Kind::End)
            break;
        if (!skipsFallback(t))
            token(t);
    }
    // Text after the last \par is a paragraph of its own; a final \par leaves none behind.
    // The last paragraph keeps the formatting it had when its text came, even after its group closed.
    flushBytes();
    dropLoneSurrogate();
    if (!m_paragraph.runs.empty())
        m_document.paragraphs.push_back(std::move(m_paragraph));
    return std::move(m_document);
}

/** After \uN: skips the fallback "characters" of the current \uc count. Gives back whether `t` was used up. */
bool Reader::skipsFallback(RtfToken& t)
{
    if (m_fallbackLeft <= 0)
        return false;
    switch (t.kind) {
    case RtfToken::Kind::GroupStart:
    case RtfToken::Kind::GroupEnd:
        m_fallbackLeft = 0;
        return false;
    case RtfToken::Kind::Text: {
        const std::size_t skipped = std::min<std::size_t>(t.text.size(), static_cast<std::size_t>(m_fallbackLeft));
        m_fallbackLeft -= static_cast<int>(skipped);
        t.text.remove_prefix(skipped);
        return t.text.empty();
    }
    default:
        --m_fallbackLeft;
        return true;
    }
}

void Reader::token(const RtfToken& t)
{
    if (t.kind != RtfToken::Kind::Text && t.kind != RtfToken::Kind::Hex)
        flushBytes();
    switch (t.kind) {
    case RtfToken::Kind::GroupStart:
        if (m_stack.size() >= kMaxRtfGroupDepth) {
            m_tokens.skipRestOfGroup();
            return;
        }
        m_stack.push_back(m_state);
        return;
    case RtfToken::Kind::GroupEnd:
        groupEnd();
        return;
    case RtfToken::Kind::Word:
        word(t);
        return;
    case RtfToken::Kind::Symbol:
        symbol(t.symbol);
        return;
    case RtfToken::Kind::Hex:
        bytes(std::string_view(reinterpret_cast<const char*>(&t.byte), 1));
        return;
    case RtfToken::Kind::Text:
        bytes(t.text);
        return;
    case RtfToken::Kind::End:
        return;
    }
}

void Reader::groupEnd()
{
    if (m_state.destination == Destination::FontTable && !m_fontName.isEmpty())
        tableText(";"); // an entry without its ";" still counts
    if (m_stack.empty()) {
        m_done = true;
        return;
    }
    m_state = m_stack.back();
    m_stack.pop_back();
    // The closing brace of the outermost group ends the document.
    if (m_stack.empty())
        m_done = true;
}

void Reader::skipGroup()
{
    m_tokens.skipRestOfGroup();
    if (m_stack.empty()) {
        m_done = true;
        return;
    }
    m_state = m_stack.back();
    m_stack.pop_back();
    if (m_stack.empty())
        m_done = true;
}

void Reader::word(const RtfToken& t)
{
    const auto found = words().find(t.name);
    if (found == words().end())
        return;
    const Word w = found->second.word;
    const int value = t.parameter;
    if (m_state.destination != Destination::Text) {
        tableWord(w, value);
        return;
    }
    switch (w) {
    case Word::Par:
        endParagraph();
        return;
    case Word::Tab:
        appendText(QStringLiteral("\t"));
        return;
    case Word::Line:
        appendText(QString(QChar::LineSeparator));
        return;
    case Word::Special:
        appendText(QString(QChar(found->second.character)));
        return;
    case Word::Skip:
        skipGroup();
        return;
    case Word::FontTable:
        m_state.destination = Destination::FontTable;
        return;
    case Word::ColourTable:
        m_state.destination = Destination::ColourTable;
        m_colour = {};
        return;
    case Word::Unicode:
        unicode(static_cast<char16_t>(static_cast<std::uint32_t>(value) & 0xFFFF));
        m_fallbackLeft = m_state.unicodeSkip;
        return;
    case Word::Binary:
        m_tokens.skipBytes(value);
        return;
    default:
        break;
    }
    characterWord(w, t);
    paragraphWord(w, value);
    documentWord(w, value);
}

void Reader::characterWord(Word w, const RtfToken& t)
{
    CharState& c = m_state.character;
    const bool on = !t.hasParameter || t.parameter != 0;
    switch (w) {
    case Word::Plain:
        c = CharState {};
        c.font = m_defaultFont;
        break;
    case Word::Bold:
        c.bold = on;
        break;
    case Word::Italic:
        c.italic = on;
        break;
    case Word::Strike:
        c.strikeOut = on;
        break;
    case Word::Hidden:
        c.hidden = on;
        break;
    case Word::Underline:
        c.underline = on;
        break;
    case Word::UnderlineNone:
        c.underline = false;
        break;
    case Word::Font:
        c.font = t.parameter;
        break;
    case Word::FontSize:
        c.halfPoints = t.hasParameter && t.parameter > 0 ? std::min(t.parameter, 3276) : 24;
        break;
    case Word::Colour:
        c.foreground = t.parameter;
        break;
    case Word::Background:
        c.background = t.parameter;
        break;
    case Word::Super:
        c.vertical = RtfVertical::Super;
        break;
    case Word::Sub:
        c.vertical = RtfVertical::Sub;
        break;
    case Word::NoSuperSub:
        c.vertical = RtfVertical::Baseline;
        break;
    default:
        break;
    }
}

void Reader::paragraphWord(Word w, int parameter)
{
    // No page is wider than 22 inches; beyond that a measure is damage, and negating it must stay in range.
    const int value = std::clamp(parameter, -kMaxTwips, kMaxTwips);
    RtfParaFormat& p = m_state.paragraph;
    switch (w) {
    case Word::Pard:
        p = RtfParaFormat {};
        break;
    case Word::Left:
        p.leftIndent = value;
        break;
    case Word::Right:
        p.rightIndent = value;
        break;
    case Word::First:
        p.firstLineIndent = value;
        break;
    case Word::Before:
        p.spaceBefore = value;
        break;
    case Word::After:
        p.spaceAfter = value;
        break;
    case Word::LineSpacing:
        p.lineSpacing = value;
        break;
    case Word::LineMultiple:
        p.lineMultiple = value != 0;
        break;
    case Word::AlignLeft:
        p.alignment = RtfAlignment::Left;
        break;
    case Word::AlignCentre:
        p.alignment = RtfAlignment::Centre;
        break;
    case Word::AlignRight:
        p.alignment = RtfAlignment::Right;
        break;
    case Word::AlignJustify:
        p.alignment = RtfAlignment::Justify;
        break;
    default:
        break;
    }
}

void Reader::documentWord(Word w, int value)
{
    switch (w) {
    case Word::Ansi:
        m_documentCodePage = 1252;
        break;
    case Word::AnsiCodePage:
        if (value > 0)
            m_documentCodePage = value;
        break;
    case Word::Mac:
        m_documentCodePage = 10000;
        break;
    case Word::Pc:
        m_documentCodePage = 437;
        break;
    case Word::Pca:
        m_documentCodePage = 850;
        break;
    case Word::DefaultFont:
        m_defaultFont = value;
        m_state.character.font = value;
        break;
    case Word::DefaultTab:
        if (value > 0)
            m_document.defaultTab = std::min(value, kMaxTwips);
        break;
    case Word::UnicodeSkip:
        m_state.unicodeSkip = std::clamp(value, 0, 16);
        break;
    default:
        break;
    }
}

/** Words inside the font and colour tables. */
void Reader::tableWord(Word w, int value)
{
    switch (w) {
    case Word::Skip:
        skipGroup();
        return;
    case Word::Font:
        m_fontNumber = value;
        m_fontName.clear();
        m_fonts[value] = FontEntry {};
        return;
    case Word::Charset:
        m_fonts[m_fontNumber].codePage = codePageOfCharset(value);
        return;
    case Word::CodePage:
        m_fonts[m_fontNumber].codePage = value;
        return;
    case Word::Red:
        m_colour.red = std::clamp(value, 0, 255);
        m_colour.set = true;
        return;
    case Word::Green:
        m_colour.green = std::clamp(value, 0, 255);
        m_colour.set = true;
        return;
    case Word::Blue:
        m_colour.blue = std::clamp(value, 0, 255);
        m_colour.set = true;
        return;
    default:
        return;
    }
}

void Reader::symbol(char s)
{
    if (m_state.destination != Destination::Text) {
        if (s == '*')
            skipGroup();
        return;
    }
    switch (s) {
    case '\\':
    case '{':
    case '}':
        bytes(std::string_view(&s, 1));
        return;
    case '~':
        appendText(QString(QChar(0x00A0)));
        return;
    case '-':
        appendText(QString(QChar(0x00AD)));
        return;
    case '_':
        appendText(QString(QChar(0x2011)));
        return;
    case '*':
        // A destination this reader does not know: the group holds nothing to show.
        skipGroup();
        return;
    default:
        return;
    }
}

void Reader::bytes(std::string_view text)
{
    if (m_state.destination != Destination::Text) {
        tableText(text);
        return;
    }
    if (m_state.character.hidden)
        return;
    const int page = codePage();
    if (!m_pending.isEmpty() && page != m_pendingCodePage)
        flushBytes();
    dropLoneSurrogate();
    m_pendingCodePage = page;
    m_pending.append(text.data(), static_cast<qsizetype>(text.size()));
}

void Reader::tableText(std::string_view text)
{
    for (const char c : text) {
        if (m_state.destination == Destination::ColourTable) {
            if (c == ';' && m_colours.size() < kMaxColours) {
                m_colours.push_back(m_colour);
                m_colour = {};
            }
        } else if (c == ';') {
            FontEntry& entry = m_fonts[m_fontNumber];
            entry.name = m_decoder.decode(m_fontName, 1250).trimmed();
            m_fontName.clear();
        } else if (m_fontName.size() < 256) {
            m_fontName.append(c);
        }
    }
}

void Reader::flushBytes()
{
    if (m_pending.isEmpty())
        return;
    const QString text = m_decoder.decode(m_pending, m_pendingCodePage);
    m_pending.clear();
    appendText(text);
}

void Reader::unicode(char16_t unit)
{
    flushBytes();
    if (QChar::isLowSurrogate(unit) && m_highSurrogate) {
        const QChar pair[2] = {QChar(m_highSurrogate), QChar(unit)};
        m_highSurrogate = 0;
        appendText(QString(pair, 2));
        return;
    }
    dropLoneSurrogate();
    if (QChar::isHighSurrogate(unit)) {
        m_highSurrogate = unit;
        return;
    }
    appendText(QString(QChar::isLowSurrogate(unit) ? QChar(QChar::ReplacementCharacter) : QChar(unit)));
}

void Reader::dropLoneSurrogate()
{
    if (!m_highSurrogate)
        return;
    m_highSurrogate = 0;
    appendText(QString(QChar(QChar::ReplacementCharacter)));
}

void Reader::appendText(const QString& text)
{
    if (text.isEmpty() || m_state.character.hidden || m_state.destination != Destination::Text)
        return;
    dropLoneSurrogate();
    m_paragraph.format = m_state.paragraph;
    RtfCharFormat format = charFormat();
    if (!m_paragraph.runs.empty() && m_paragraph.runs.back().format == format)
        m_paragraph.runs.back().text += text;
    else
        m_paragraph.runs.push_back(RtfRun {text, std::move(format)});
}

void Reader::endParagraph()
{
    dropLoneSurrogate();
    m_paragraph.format = m_state.paragraph;
    m_document.paragraphs.push_back(std::move(m_paragraph));
    m_paragraph = RtfParagraph {};
    if (m_document.paragraphs.size() >= kMaxRtfParagraphs)
        m_done = true;
}

int Reader::codePage() const
{
    const auto font = m_fonts.find(m_state.character.font);
    if (font == m_fonts.end() || font->second.codePage == 0)
        return m_documentCodePage;
    return font->second.codePage;
}

std::optional<QRgb> Reader::colour(int index) const
{
    if (index <= 0 || static_cast<std::size_t>(index) >= m_colours.size() || !m_colours[index].set)
        return std::nullopt;
    const ColourEntry& c = m_colours[index];
    return qRgb(c.red, c.green, c.blue);
}

RtfCharFormat Reader::charFormat() const
{
    const CharState& c = m_state.character;
    RtfCharFormat f;
    const auto font = m_fonts.find(c.font);
    // A Symbol font's characters are mapped to Unicode; the view's own font draws them.
    if (font != m_fonts.end() && font->second.codePage != kSymbolCodePage)
        f.family = font->second.name;
    f.halfPoints = c.halfPoints;
    f.bold = c.bold;
    f.italic = c.italic;
    f.underline = c.underline;
    f.strikeOut = c.strikeOut;
    f.vertical = c.vertical;
    f.foreground = colour(c.foreground);
    f.background = colour(c.background);
    return f;
}

} // namespace

RtfDocument readRtf(platform::ByteView data)
{
    return Reader(data).read();
}

} // namespace help
