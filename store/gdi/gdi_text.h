#pragma once

#include "platform/bytes.h"

#include <QString>
#include <QStringList>

#include <cstdint>

/** Text helpers both metafile players share: 8-bit text by character set, and Windows font names. */
namespace store::gdi {

/**
 * Decodes 8-bit text by a font's character set: 238 (Eastern European) and 1 (default) as Windows-1250, 204 as
 * Windows-1251, 0 as Windows-1252, 2 (Symbol) as the Unicode characters the Symbol font shows (private-use
 * U+F0xx where there is none); other sets as Windows-1250.
 */
[[nodiscard]] QString decodeText(platform::ByteView bytes, std::uint8_t charSet);

/** Maps private-use Symbol-font characters (U+F020..U+F0FF) and 8-bit Symbol codes in 16-bit text to Unicode. */
[[nodiscard]] QString mapSymbolText(const QString& text);

/**
 * The installed family that stands in for a Windows font: Arial and Helvetica → Liberation Sans, Times New Roman
 * → Liberation Serif, Courier New → Liberation Mono, Symbol → Liberation Serif (its characters are mapped to
 * Unicode by mapSymbolText), anything else → DejaVu Sans.
 */
[[nodiscard]] QString mapFontFamily(const QString& windowsName);

/**
 * mapFontFamily() first, then the families that supply the characters it lacks: DejaVu Serif for the Symbol
 * font's signs and arrows.
 */
[[nodiscard]] QStringList mapFontFamilies(const QString& windowsName);

} // namespace store::gdi
