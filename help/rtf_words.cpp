#include "rtf_words.h"

namespace help {

const std::unordered_map<std::string_view, WordInfo>& words()
{
    static const std::unordered_map<std::string_view, WordInfo> table = [] {
        std::unordered_map<std::string_view, WordInfo> t {{"par", {Word::Par}}, {"sect", {Word::Par}},
            {"page", {Word::Par}}, {"row", {Word::Par}}, {"tab", {Word::Tab}}, {"cell", {Word::Tab}},
            {"nestcell", {Word::Tab}}, {"line", {Word::Line}}, {"fonttbl", {Word::FontTable}},
            {"colortbl", {Word::ColourTable}}, {"pard", {Word::Pard}}, {"plain", {Word::Plain}}, {"b", {Word::Bold}},
            {"i", {Word::Italic}}, {"strike", {Word::Strike}}, {"striked", {Word::Strike}}, {"v", {Word::Hidden}},
            {"ulnone", {Word::UnderlineNone}}, {"f", {Word::Font}}, {"fs", {Word::FontSize}}, {"cf", {Word::Colour}},
            {"cb", {Word::Background}}, {"highlight", {Word::Background}}, {"super", {Word::Super}},
            {"sub", {Word::Sub}}, {"nosupersub", {Word::NoSuperSub}}, {"li", {Word::Left}}, {"lin", {Word::Left}},
            {"ri", {Word::Right}}, {"rin", {Word::Right}}, {"fi", {Word::First}}, {"sb", {Word::Before}},
            {"sa", {Word::After}}, {"sl", {Word::LineSpacing}}, {"slmult", {Word::LineMultiple}},
            {"ql", {Word::AlignLeft}}, {"qc", {Word::AlignCentre}}, {"qr", {Word::AlignRight}},
            {"qj", {Word::AlignJustify}}, {"qd", {Word::AlignJustify}}, {"ansi", {Word::Ansi}},
            {"ansicpg", {Word::AnsiCodePage}}, {"mac", {Word::Mac}}, {"pc", {Word::Pc}}, {"pca", {Word::Pca}},
            {"deff", {Word::DefaultFont}}, {"deftab", {Word::DefaultTab}}, {"uc", {Word::UnicodeSkip}},
            {"u", {Word::Unicode}}, {"bin", {Word::Binary}}, {"fcharset", {Word::Charset}}, {"cpg", {Word::CodePage}},
            {"red", {Word::Red}}, {"green", {Word::Green}}, {"blue", {Word::Blue}}, {"emdash", {Word::Special, 0x2014}},
            {"endash", {Word::Special, 0x2013}}, {"bullet", {Word::Special, 0x2022}},
            {"lquote", {Word::Special, 0x2018}}, {"rquote", {Word::Special, 0x2019}},
            {"ldblquote", {Word::Special, 0x201C}}, {"rdblquote", {Word::Special, 0x201D}},
            {"emspace", {Word::Special, 0x2003}}, {"enspace", {Word::Special, 0x2002}},
            {"qmspace", {Word::Special, 0x2005}}, {"zwj", {Word::Special, 0x200D}}, {"zwnj", {Word::Special, 0x200C}},
            {"ltrmark", {Word::Special, 0x200E}}, {"rtlmark", {Word::Special, 0x200F}}};
        for (const char* underline : {"ul", "uld", "uldash", "uldashd", "uldashdd", "uldb", "ulhwave", "ulldash",
                 "ulth", "ulthd", "ulthdash", "ulthdashd", "ulthdashdd", "ulthldash", "ululdbwave", "ulw", "ulwave"})
            t.emplace(underline, WordInfo {Word::Underline});
        // Destinations that hold no text to show, written without \* by older writers.
        for (const char* skipped :
            {"stylesheet", "info", "pict", "object", "nonshppict", "header", "headerl", "headerr", "headerf", "footer",
                "footerl", "footerr", "footerf", "footnote", "fldinst", "xe", "tc", "txe", "rxe", "listtable",
                "listoverridetable", "xmlnstbl", "mmathPr", "filetbl", "revtbl", "template", "pn", "themedata",
                "colorschememapping", "datastore", "latentstyles", "rsidtbl", "generator", "pgdsctbl", "userprops",
                "ftnsep", "ftnsepc", "aftnsep", "aftnsepc", "annotation", "atnid", "atnauthor", "fontemb", "fontfile"})
            t.emplace(skipped, WordInfo {Word::Skip});
        return t;
    }();
    return table;
}

} // namespace help
