#include "rtf_tokenizer.h"

#include <algorithm>
#include <limits>

namespace help {

namespace {

constexpr std::size_t kMaxWordLength = 32;

bool isLetter(std::uint8_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(std::uint8_t c)
{
    return c >= '0' && c <= '9';
}

int hexValue(std::uint8_t c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool endsText(std::uint8_t c)
{
    return c == '\\' || c == '{' || c == '}' || c == '\r' || c == '\n' || c == 0;
}

std::string_view view(platform::ByteView data, std::size_t from, std::size_t to)
{
    return {reinterpret_cast<const char*>(data.data()) + from, to - from};
}

} // namespace

RtfToken RtfTokenizer::next()
{
    const std::size_t size = m_data.size();
    // Raw line breaks and NUL bytes mean nothing in RTF.
    while (m_pos < size && (m_data[m_pos] == '\r' || m_data[m_pos] == '\n' || m_data[m_pos] == 0))
        ++m_pos;
    if (m_pos >= size)
        return {};
    const std::uint8_t c = m_data[m_pos];
    if (c == '{' || c == '}') {
        ++m_pos;
        RtfToken token;
        token.kind = c == '{' ? RtfToken::Kind::GroupStart : RtfToken::Kind::GroupEnd;
        return token;
    }
    if (c == '\\') {
        ++m_pos;
        return afterBackslash();
    }
    const std::size_t start = m_pos;
    while (m_pos < size && !endsText(m_data[m_pos]))
        ++m_pos;
    RtfToken token;
    token.kind = RtfToken::Kind::Text;
    token.text = view(m_data, start, m_pos);
    return token;
}

RtfToken RtfTokenizer::afterBackslash()
{
    const std::size_t size = m_data.size();
    if (m_pos >= size)
        return {};
    const std::uint8_t c = m_data[m_pos];
    if (isLetter(c))
        return controlWord();
    RtfToken token;
    if (c == '\r' || c == '\n') {
        ++m_pos;
        token.kind = RtfToken::Kind::Word;
        token.name = "par";
        return token;
    }
    if (c == '\'') {
        const int high = m_pos + 1 < size ? hexValue(m_data[m_pos + 1]) : -1;
        const int low = m_pos + 2 < size ? hexValue(m_data[m_pos + 2]) : -1;
        if (high >= 0 && low >= 0) {
            m_pos += 3;
            token.kind = RtfToken::Kind::Hex;
            token.byte = static_cast<std::uint8_t>(high * 16 + low);
            return token;
        }
        // Not a byte: the apostrophe stands for itself and what follows is read as usual.
        token.kind = RtfToken::Kind::Text;
        token.text = view(m_data, m_pos, m_pos + 1);
        ++m_pos;
        return token;
    }
    ++m_pos;
    token.kind = RtfToken::Kind::Symbol;
    token.symbol = static_cast<char>(c);
    return token;
}

RtfToken RtfTokenizer::controlWord()
{
    const std::size_t size = m_data.size();
    const std::size_t start = m_pos;
    while (m_pos < size && isLetter(m_data[m_pos]))
        ++m_pos;
    RtfToken token;
    token.kind = RtfToken::Kind::Word;
    token.name = view(m_data, start, std::min(m_pos, start + kMaxWordLength));
    bool negative = false;
    if (m_pos + 1 < size && m_data[m_pos] == '-' && isDigit(m_data[m_pos + 1])) {
        negative = true;
        ++m_pos;
    }
    std::int64_t value = 0;
    while (m_pos < size && isDigit(m_data[m_pos])) {
        token.hasParameter = true;
        // Every digit is read; the value stops growing once it is beyond 32 bits.
        if (value <= std::numeric_limits<std::int32_t>::max())
            value = value * 10 + (m_data[m_pos] - '0');
        ++m_pos;
    }
    if (negative)
        value = -value;
    token.parameter = static_cast<int>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
    if (m_pos < size && m_data[m_pos] == ' ')
        ++m_pos;
    return token;
}

void RtfTokenizer::skipBytes(std::int64_t count)
{
    if (count <= 0)
        return;
    const std::size_t left = m_data.size() - std::min(m_pos, m_data.size());
    m_pos += static_cast<std::size_t>(std::min<std::int64_t>(count, static_cast<std::int64_t>(left)));
}

void RtfTokenizer::skipRestOfGroup()
{
    // A counter, not recursion: any nesting depth costs nothing.
    std::int64_t depth = 1;
    while (depth > 0) {
        const RtfToken token = next();
        switch (token.kind) {
        case RtfToken::Kind::End:
            return;
        case RtfToken::Kind::GroupStart:
            ++depth;
            break;
        case RtfToken::Kind::GroupEnd:
            --depth;
            break;
        case RtfToken::Kind::Word:
            if (token.name == "bin")
                skipBytes(token.parameter);
            break;
        default:
            break;
        }
    }
}

} // namespace help
