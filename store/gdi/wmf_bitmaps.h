#pragma once

#include "platform/bytes.h"

#include <QImage>

#include <cstddef>
#include <span>

/** The bitmaps that metafile records carry, decoded with every size checked against the record's bytes. */
namespace store::wmf {

/**
 * A device-independent bitmap (info header, colour table, pixels) at the start of `bytes`. Gives a null image
 * when the bitmap is damaged, unsupported, or larger than its bytes can describe; never raises.
 * `bottomUp`, when given, tells whether the rows are stored bottom row first. When `indexedPalette` is not empty
 * the colour table holds 16-bit indices into it (a record's DIB_PAL_COLORS) rather than colours.
 */
[[nodiscard]] QImage decodeDib(
    platform::ByteView bytes, bool* bottomUp = nullptr, std::span<const QRgb> indexedPalette = {});

/** How a pattern's 1-bit bitmap gives its colours. */
enum class MonoBits {
    ColourTable, // the table's colours
    AfterTable, // the context's text and background colours; the table is there but not used
    NoTable, // the context's colours; the bits follow the header directly (DIB_PAL_INDICES)
};

/**
 * A pattern brush's device-independent bitmap at the start of `bytes`, as decodeDib() gives it; a 1-bit one comes
 * back as a Format_Mono image of its bits unless `mono` says its colour table applies.
 */
[[nodiscard]] QImage decodePatternDib(platform::ByteView bytes, MonoBits mono, std::span<const QRgb> indexedPalette);

/**
 * A device-dependent Bitmap16 (type, width, height, bytes per row, planes, bits per pixel) at the start of
 * `bytes`, its rows beginning at `bitsOffset`. Monochrome bitmaps come back as Format_Mono (0 black, 1 white);
 * 4-bit ones in the sixteen colours of a 16-colour display; 24- and 32-bit ones in colour; 8-bit ones, whose
 * colours depend on what the writer's display had in its palette, as a null image.
 */
[[nodiscard]] QImage decodeBitmap16(platform::ByteView bytes, std::size_t bitsOffset = 10);

} // namespace store::wmf
