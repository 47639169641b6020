#pragma once

#include <QByteArray>
#include <QImage>
#include <QRgb>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace testing_support {

/**
 * A bitmap for a test fixture. The defaults give a 1 x 1, 24-bit, bottom-up bitmap with a 40-byte info header;
 * `pixels` must be filled in (packRows() makes stored rows, or give raw run-length bytes).
 */
struct BmpSpec {
    int width = 1;
    int height = 1;
    int bitCount = 24;
    std::uint32_t compression = 0; // store::dib::Compression
    std::uint32_t headerSize = 40; // 12 (OS/2 core), 40, 52, 56, 108 or 124
    bool topDown = false; // written as a negative height
    std::vector<QRgb> palette; // B, G, R (and a zero byte unless the header is a core header)
    std::uint32_t colorsUsed = 0;
    /** Red, green, blue, alpha. Stored inside headers of 52 bytes or more, else behind the 40-byte header. */
    std::array<std::uint32_t, 4> masks {};
    QByteArray pixels;
    /** biSizeImage; by default the length of `pixels` for run-length data and 0 otherwise. */
    std::optional<std::uint32_t> sizeImage;
    /** bfOffBits; by default right behind the colour table. */
    std::optional<std::uint32_t> pixelOffset;
};

/** The info header, masks, colour table and pixel data in one block, as metafile bitmap records hold them. */
[[nodiscard]] QByteArray buildDib(const BmpSpec& plan);

/** A whole BMP file: the 14-byte file header in front of buildDib(). */
[[nodiscard]] QByteArray buildBmp(const BmpSpec& plan);

/**
 * Stored pixel rows: each row's values (palette indices, or 16/24/32-bit pixel values written little-endian)
 * packed at `bitCount` bits each, most significant bits first below 8 bits, and padded to 4 bytes.
 */
[[nodiscard]] QByteArray packRows(int bitCount, const std::vector<std::vector<std::uint32_t>>& rows);

/** A 24-bit, bottom-up BMP file with the pixels of `image`. */
[[nodiscard]] QByteArray bmpFromImage(const QImage& image);

/** A 24-bit BMP file of one colour. */
[[nodiscard]] QByteArray solidBmp(int width, int height, QRgb colour);

} // namespace testing_support
