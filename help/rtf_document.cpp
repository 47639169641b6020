#include "rtf_document.h"

#include "rtf_reader.h"

#include "platform/cp1250.h"

#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace help {

namespace {

qreal pixels(int twips, qreal dpi)
{
    return twips * dpi / 1440.0;
}

Qt::Alignment alignmentOf(RtfAlignment alignment)
{
    switch (alignment) {
    case RtfAlignment::Right:
        return Qt::AlignRight;
    case RtfAlignment::Centre:
        return Qt::AlignHCenter;
    case RtfAlignment::Justify:
        return Qt::AlignJustify;
    case RtfAlignment::Left:
        break;
    }
    return Qt::AlignLeft;
}

QTextBlockFormat blockFormat(const RtfParaFormat& p, qreal dpi)
{
    QTextBlockFormat f;
    f.setAlignment(alignmentOf(p.alignment));
    f.setLeftMargin(pixels(p.leftIndent, dpi));
    f.setRightMargin(pixels(p.rightIndent, dpi));
    f.setTextIndent(pixels(p.firstLineIndent, dpi));
    f.setTopMargin(pixels(p.spaceBefore, dpi));
    f.setBottomMargin(pixels(p.spaceAfter, dpi));
    if (p.lineSpacing != 0 && p.lineMultiple)
        f.setLineHeight(qAbs(p.lineSpacing) * 100.0 / 240.0, QTextBlockFormat::ProportionalHeight);
    else if (p.lineSpacing > 0)
        f.setLineHeight(pixels(p.lineSpacing, dpi), QTextBlockFormat::MinimumHeight);
    else if (p.lineSpacing < 0)
        f.setLineHeight(pixels(-p.lineSpacing, dpi), QTextBlockFormat::FixedHeight);
    // Qt measures tab stops from the start of the first line, so the stop at the left indent lies |fi| on.
    if (p.firstLineIndent < 0)
        f.setTabPositions({QTextOption::Tab(pixels(-p.firstLineIndent, dpi), QTextOption::LeftTab)});
    return f;
}

QTextCharFormat charFormat(const RtfCharFormat& c)
{
    QTextCharFormat f;
    if (!c.family.isEmpty())
        f.setFontFamilies({c.family});
    f.setFontPointSize(c.halfPoints / 2.0);
    f.setFontWeight(c.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(c.italic);
    f.setFontUnderline(c.underline);
    f.setFontStrikeOut(c.strikeOut);
    if (c.vertical == RtfVertical::Super)
        f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    else if (c.vertical == RtfVertical::Sub)
        f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    if (c.foreground)
        f.setForeground(QColor::fromRgb(*c.foreground));
    if (c.background)
        f.setBackground(QColor::fromRgb(*c.background));
    return f;
}

/** Characters QTextCursor would take as block or frame boundaries stay inside their paragraph. */
QString inlineText(const QString& text)
{
    QString safe = text;
    for (QChar& c : safe) {
        if (c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator)
            c = QChar::LineSeparator;
        else if (c.unicode() == 0xFDD0 || c.unicode() == 0xFDD1 || c.unicode() == 0)
            c = QChar::ReplacementCharacter;
    }
    return safe;
}

} // namespace

void buildDocument(const RtfDocument& rtf, QTextDocument& document, qreal dpi)
{
    document.setUndoRedoEnabled(false);
    document.clear();
    QTextOption option = document.defaultTextOption();
    option.setTabStopDistance(pixels(rtf.defaultTab, dpi));
    document.setDefaultTextOption(option);
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    // A document has few distinct formats: each is converted once.
    std::vector<std::pair<RtfCharFormat, QTextCharFormat>> charFormats;
    const auto converted = [&charFormats](const RtfCharFormat& format) -> const QTextCharFormat& {
        for (const auto& [rtfFormat, qtFormat] : charFormats) {
            if (rtfFormat == format)
                return qtFormat;
        }
        if (charFormats.size() >= 64)
            charFormats.clear();
        return charFormats.emplace_back(format, charFormat(format)).second;
    };
    std::optional<RtfParaFormat> lastParagraph;
    QTextBlockFormat lastBlock;
    bool first = true;
    for (const RtfParagraph& paragraph : rtf.paragraphs) {
        if (paragraph.format != lastParagraph) {
            lastParagraph = paragraph.format;
            lastBlock = blockFormat(paragraph.format, dpi);
        }
        if (first)
            cursor.setBlockFormat(lastBlock);
        else
            cursor.insertBlock(lastBlock);
        first = false;
        for (const RtfRun& run : paragraph.runs)
            cursor.insertText(inlineText(run.text), converted(run.format));
    }
    cursor.endEditBlock();
}

void setPlainText(platform::ByteView bytes, QTextDocument& document)
{
    QString text = platform::cp1250::decode(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    document.setUndoRedoEnabled(false);
    document.setPlainText(text);
}

bool isRtf(platform::ByteView bytes)
{
    const std::string_view data(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return data.starts_with("{\\rtf") || data.starts_with("{\\urtf");
}

void loadHelpText(platform::ByteView bytes, QTextDocument& document, qreal dpi)
{
    if (isRtf(bytes))
        buildDocument(readRtf(bytes), document, dpi);
    else
        setPlainText(bytes, document);
}

} // namespace help
