#pragma once

#include "platform/bytes.h"

#include <cstdint>
#include <string_view>

namespace help {

/** One piece of RTF. Views point into the tokenizer's data, which must outlive them. */
struct RtfToken {
    enum class Kind { GroupStart, GroupEnd, Word, Symbol, Hex, Text, End };
    Kind kind = Kind::End;
    std::string_view name; // Word: its letters (at most 32)
    bool hasParameter = false;
    int parameter = 0; // Word: clamped to 32 bits
    char symbol = 0; // Symbol: the character after the backslash
    std::uint8_t byte = 0; // Hex: the byte of \'hh
    std::string_view text; // Text: bytes without CR, LF and NUL
};

/**
 * Cuts RTF into tokens without ever reading past its data. A control word's single trailing space is
 * swallowed; raw CR, LF and NUL bytes are dropped; a backslash before CR or LF is the word "par"; an invalid
 * \'xx gives the apostrophe as text. A truncated file simply ends.
 */
class RtfTokenizer {
public:
    explicit RtfTokenizer(platform::ByteView data)
        : m_data(data)
    {
    }

    [[nodiscard]] RtfToken next();
    /** Skips `count` raw bytes (a \bin's data), or to the end when fewer are left. */
    void skipBytes(std::int64_t count);
    /** Skips to just after the closing brace of the group that is open now (or to the end), nesting included. */
    void skipRestOfGroup();
    [[nodiscard]] bool atEnd() const { return m_pos >= m_data.size(); }

private:
    [[nodiscard]] RtfToken controlWord();
    [[nodiscard]] RtfToken afterBackslash();

    platform::ByteView m_data;
    std::size_t m_pos = 0;
};

} // namespace help
