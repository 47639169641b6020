#pragma once

#include "platform/bytes.h"

#include <QSize>

/**
 * Which way up a photo is meant to be seen: the Exif Orientation tag of a JPEG. Cameras store the pixels as the
 * sensor saw them and note in this tag how to turn them; the file is never changed, the turn is made when the
 * picture is decoded. No widgets here.
 */
namespace store {

/**
 * The Exif Orientation of a JPEG file's bytes: 1 (upright as stored) to 8, read by Exiv2 from the first Exif APP1
 * segment in front of the first scan. 1 when the file has no Exif segment, no such tag, a value outside 1-8, or an
 * Exif block that Exiv2 cannot read: such a picture shows as stored.
 */
[[nodiscard]] int exifOrientation(platform::ByteView jpeg);

/**
 * The TIFF-structured Exif data of a JPEG (what follows "Exif\0\0" in its first Exif APP1 segment), found by walking
 * the marker segments from SOI up to the first scan; empty when there is none. Only the segments' lengths are read.
 */
[[nodiscard]] platform::ByteView jpegExifData(platform::ByteView jpeg);

/** Whether a picture of `orientation` is shown with its rows as columns (5 to 8: turned a quarter). */
[[nodiscard]] constexpr bool swapsAxes(int orientation)
{
    return orientation >= 5 && orientation <= 8;
}

/** The size a picture stored at `stored` pixels is shown at in `orientation`. */
[[nodiscard]] inline QSize shownSize(QSize stored, int orientation)
{
    return swapsAxes(orientation) ? stored.transposed() : stored;
}

} // namespace store
