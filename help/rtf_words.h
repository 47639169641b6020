#pragma once

#include <string_view>
#include <unordered_map>

namespace help {

/** What the reader does with each control word it knows; every other word is ignored. */
enum class Word {
    Par,
    Tab,
    Line,
    Special,
    Skip,
    FontTable,
    ColourTable,
    Pard,
    Plain,
    Bold,
    Italic,
    Strike,
    Hidden,
    Underline,
    UnderlineNone,
    Font,
    FontSize,
    Colour,
    Background,
    Super,
    Sub,
    NoSuperSub,
    Left,
    Right,
    First,
    Before,
    After,
    LineSpacing,
    LineMultiple,
    AlignLeft,
    AlignCentre,
    AlignRight,
    AlignJustify,
    Ansi,
    AnsiCodePage,
    Mac,
    Pc,
    Pca,
    DefaultFont,
    DefaultTab,
    UnicodeSkip,
    Unicode,
    Binary,
    FontNumber,
    Charset,
    CodePage,
    Red,
    Green,
    Blue
};

struct WordInfo {
    Word word;
    char16_t character = 0; // Special: the character the word stands for
};

/** Every control word the RTF reader acts on, with what it does. */
[[nodiscard]] const std::unordered_map<std::string_view, WordInfo>& words();

} // namespace help
