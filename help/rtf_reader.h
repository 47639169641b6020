#pragma once

#include "rtf_model.h"

#include "platform/bytes.h"

#include <cstddef>

namespace help {

/** Groups nested deeper than this are skipped whole; the reader keeps one state per open group. */
inline constexpr std::size_t kMaxRtfGroupDepth = 512;
/** Reading stops after this many paragraphs: what was read so far is the document. */
inline constexpr std::size_t kMaxRtfParagraphs = 500000;

/**
 * Reads RTF as the rich edit control does, leniently: unknown control words are ignored, destinations it
 * does not show (\*, pictures, objects, style sheets, document information, field instructions…) are
 * skipped whole, and a truncated file gives what was read. Text comes from the current font's character set
 * (or the document's \ansicpg), \uN with its \ucN fallback skipped, and surrogate pairs; a lone surrogate
 * becomes U+FFFD. A final \par makes no empty paragraph. Never fails; never recurses.
 */
[[nodiscard]] RtfDocument readRtf(platform::ByteView data);

} // namespace help
