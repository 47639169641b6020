#pragma once

#include <QRgb>
#include <QString>

#include <optional>
#include <vector>

/**
 * The neutral result of reading RTF: paragraphs of runs, each with the formatting that the help view shows.
 * Measures are twips (1/1440 inch), within ±22 inches; nothing here knows about Qt's text classes.
 */
namespace help {

enum class RtfAlignment { Left, Right, Centre, Justify };
enum class RtfVertical { Baseline, Super, Sub };

struct RtfCharFormat {
    QString family; // empty: the view's own font
    int halfPoints = 24;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    RtfVertical vertical = RtfVertical::Baseline;
    std::optional<QRgb> foreground; // none: the view's text colour
    std::optional<QRgb> background;

    friend bool operator==(const RtfCharFormat&, const RtfCharFormat&) = default;
};

struct RtfParaFormat {
    int leftIndent = 0;
    int rightIndent = 0;
    int firstLineIndent = 0; // relative to the left indent; negative for a hanging indent
    int spaceBefore = 0;
    int spaceAfter = 0;
    int lineSpacing = 0; // 0: single; with `lineMultiple` in 240ths of a line, else twips (negative: exactly)
    bool lineMultiple = false;
    RtfAlignment alignment = RtfAlignment::Left;

    friend bool operator==(const RtfParaFormat&, const RtfParaFormat&) = default;
};

struct RtfRun {
    QString text; // never holds a paragraph break; U+2028 is a line break inside the paragraph
    RtfCharFormat format;
};

struct RtfParagraph {
    RtfParaFormat format;
    std::vector<RtfRun> runs;
};

struct RtfDocument {
    std::vector<RtfParagraph> paragraphs;
    int defaultTab = 720; // twips
};

} // namespace help
