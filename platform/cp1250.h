#pragma once

#include "bytes.h"

#include <QByteArray>
#include <QString>

#include <vector>

/** Windows-1250, the single-byte code page of descriptions, search results and settings. */
namespace platform::cp1250 {

/** The character a byte stands for; defined for all 256 bytes. */
[[nodiscard]] char16_t toUnicode(std::uint8_t byte);

/** The byte for a code point, or -1 when the code page has none (no best-fit substitutes). */
[[nodiscard]] int fromUnicode(char32_t codePoint);

/** Bytes to text; decode followed by encode gives back every byte unchanged. */
[[nodiscard]] QString decode(ByteView bytes);
[[nodiscard]] inline QString decode(const QByteArray& bytes)
{
    return decode(asBytes(bytes));
}

/** Text to bytes, after composing decomposed letters; a character the code page cannot hold becomes "?". */
[[nodiscard]] QByteArray encode(const QString& text);

/**
 * The same, giving back in `unencodable` each character (code point) the code page cannot hold, once, in the order
 * of their first appearance; empty when the bytes hold the text exactly.
 */
[[nodiscard]] QByteArray encode(const QString& text, std::vector<char32_t>& unencodable);

} // namespace platform::cp1250
