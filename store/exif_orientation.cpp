#include "exif_orientation.h"

#include "exiv2_setup.h"

#include <exiv2/exiv2.hpp>

#include <cstring>
#include <exception>

namespace store {

platform::ByteView jpegExifData(platform::ByteView jpeg)
{
    static constexpr char kSignature[] = "Exif\0"; // six bytes with the terminating NUL
    const std::size_t n = jpeg.size();
    const std::uint8_t* b = jpeg.data();
    if (n < 4 || b[0] != 0xFF || b[1] != 0xD8)
        return {};
    std::size_t pos = 2;
    // Header segments follow one another, each 0xFF, a code (after any 0xFF fill bytes) and a length that counts
    // itself. Anything else there is damage: the search ends without an Exif block.
    while (pos + 2 <= n && b[pos] == 0xFF) {
        while (pos + 2 < n && b[pos + 1] == 0xFF)
            ++pos;
        const std::uint8_t code = b[pos + 1];
        if (code == 0xDA || code == 0xD9)
            return {}; // the first scan, or the end of the picture: the header segments are all behind
        if (code == 0x01 || (code >= 0xD0 && code <= 0xD8)) {
            pos += 2; // a marker without a length
            continue;
        }
        if (pos + 4 > n)
            return {};
        const std::size_t length = (std::size_t(b[pos + 2]) << 8) | b[pos + 3];
        if (length < 2 || pos + 2 + length > n)
            return {};
        constexpr std::size_t kSignatureSize = sizeof kSignature;
        if (code == 0xE1 && length - 2 > kSignatureSize && std::memcmp(b + pos + 4, kSignature, kSignatureSize) == 0)
            return jpeg.subspan(pos + 4 + kSignatureSize, length - 2 - kSignatureSize);
        pos += 2 + length;
    }
    return {};
}

int exifOrientation(platform::ByteView jpeg)
{
    const platform::ByteView exif = jpegExifData(jpeg);
    if (exif.empty())
        return 1;
    // Safe from any thread once set up; a program sets it up first thing, this only covers one that did not.
    initialiseExiv2();
    try {
        Exiv2::ExifData data;
        // Exiv2 parses the block in place: the segment is at most 64 KiB, wherever it lies in a large file.
        Exiv2::ExifParser::decode(data, exif.data(), static_cast<std::uint32_t>(exif.size()));
        const auto tag = data.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
        if (tag == data.end() || tag->count() < 1)
            return 1;
        const long value = tag->toLong();
        return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
    } catch (const std::exception&) {
        // Exiv2::AnyError for a damaged block, and whatever the standard library raises on the way (an
        // allocation that a hostile count asks for): the picture is shown as stored.
        return 1;
    }
}

} // namespace store
