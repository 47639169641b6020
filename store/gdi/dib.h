#pragma once

#include "platform/bytes.h"

#include <QImage>
#include <QRgb>

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

/**
 * Device-independent bitmaps: the info header, colour table and pixel data that BMP files and the bitmap
 * records of metafiles share. Every offset and size is checked against the bytes given; nothing is read
 * outside them.
 */
namespace store::dib {

using platform::ByteView;

enum Compression : std::uint32_t {
    Rgb = 0,
    Rle8 = 1,
    Rle4 = 2,
    BitFields = 3,
    Jpeg = 4,
    Png = 5,
    AlphaBitFields = 6,
};

struct Header {
    std::uint32_t headerSize = 0; // 12 (OS/2 core), 40, 52, 56, 108 or 124
    int width = 0;
    int height = 0; // always positive; see topDown
    bool topDown = false;
    int bitCount = 0; // 1, 4, 8, 16, 24 or 32
    std::uint32_t compression = Rgb;
    std::uint32_t sizeImage = 0;
    std::uint32_t redMask = 0, greenMask = 0, blueMask = 0, alphaMask = 0;
    std::vector<QRgb> palette; // colour table entries, opaque (at most 256)
    /** Where the colour table starts: behind the info header and any bit-field masks stored behind it. */
    std::size_t tableOffset = 0;
    /** Bytes taken by the info header, the bit-field masks stored behind a 40-byte header, and the colour table. */
    std::size_t infoLength = 0;
    /** Entries the colour table should have (biClrUsed, or 2^bitCount up to 8 bits), whether present or not. */
    std::uint64_t tableEntries = 0;
};

/**
 * Parses the info header starting at info[0] and the colour table behind it. A 12-byte OS/2 core header is
 * taken as the 40-byte form (its colour table has 3-byte entries). The colour table has biClrUsed entries, or
 * 2^bitCount up to 8 bits, cut short where `info` ends; `palette` keeps the first 256 of them, `infoLength`
 * counts them all. Uncompressed 16- and 32-bit pixels get their implied masks (5-5-5, 8-8-8 with alpha on top).
 * Raises AppError for truncated, unsupported or absurd headers, and for images whose decoded size exceeds
 * store::kMaxDecodedBytes; nothing is allocated for them.
 */
[[nodiscard]] Header parseHeader(ByteView info);

/**
 * For the metafile records' other form of colour table, 16-bit indices into the logical palette selected where the
 * bitmap is drawn: the entries become that palette's colours (black for an index beyond it), and infoLength counts
 * two bytes per entry.
 */
void usePaletteIndices(Header& header, ByteView info, std::span<const QRgb> logicalPalette);

/**
 * Length of the pixel data: the header's image size, or width, height and bit count with rows padded to
 * 4 bytes when that is 0; never more than `available`.
 */
[[nodiscard]] std::size_t pixelDataLength(const Header& header, std::size_t available);

/**
 * The length of run-length pixel data in `bits`: up to and including its end-of-bitmap escape, or all of `bits`
 * when the stream has none. Tells where the pixels end when the header does not say (an image size of 0, or
 * one larger than the data).
 */
[[nodiscard]] std::size_t runLengthDataLength(const Header& header, ByteView bits);

/** Bytes in one stored row of uncompressed pixels, padded to 4 bytes. */
[[nodiscard]] std::size_t rowStride(const Header& header);

/**
 * The pixel data an uncompressed bitmap needs: rowStride() times the height; saturates instead of overflowing.
 */
[[nodiscard]] std::size_t fullPixelDataLength(const Header& header);

struct DecodeOptions {
    /** Keep the fourth byte of 32-bit pixels (and an alpha mask) as alpha; otherwise pixels are opaque. */
    bool keepAlpha = false;
};

/**
 * Decodes pixel data into an image of the header's size (Format_RGB32, or Format_ARGB32 with keepAlpha).
 * Rows missing at the end, and run-length streams that stop early or run past the image, leave the rest
 * black instead of failing. Raises AppError for unsupported compressions.
 */
[[nodiscard]] QImage decodePixels(const Header& header, ByteView bits, DecodeOptions options = {});

/**
 * Decodes the image rows [from, to) of uncompressed pixel data (top row 0, however the rows are stored) into the
 * Format_RGB32 rows `imageRow` gives, exactly as decodePixels() decodes them. Raises AppError as decodePixels()
 * does, and for run-length pixels, which can only be decoded as a whole.
 */
void decodeImageRows(const Header& header, ByteView bits, int from, int to, const std::function<QRgb*(int)>& imageRow);

/**
 * A 1-bit bitmap as Format_Mono whose pixel indices are the stored bits (colour 0 black, colour 1 white), whatever
 * its colour table says: a pattern that is drawn in the colours of the context where it is used. Raises AppError
 * as decodePixels() does, and for any other bit count.
 */
[[nodiscard]] QImage decodeMonochrome(Header header, ByteView bits);

} // namespace store::dib
