#pragma once

#include "description_codec.h"
#include "picture.h"
#include "platform/bytes.h"
#include "platform/file_io.h"

#include <QByteArray>

#include <memory>
#include <optional>
#include <string_view>

/**
 * The described picture file: a picture's own bytes, optionally followed by the marker "@||@" and the
 * description text. The description block (marker and text) always runs to the end of the file, and only
 * the first marker in the file counts, wherever it lies.
 */
namespace store {

inline constexpr std::string_view kMarker = "@||@";

/** Offset of the first marker in `bytes`, or -1. */
[[nodiscard]] qint64 findMarker(platform::ByteView bytes);

struct DescribedPicture {
    std::unique_ptr<Picture> picture;
    /** The bytes behind the first marker, exactly as stored; empty optional when the file has no marker. */
    std::optional<QByteArray> description;
    /** Bytes from the first marker to the end of the file; 0 without a marker. */
    qint64 blockLength = 0;
    /** The identity of the file these came from, when it did not change while it was read. */
    std::optional<platform::FileIdentity> identity;
};

/**
 * Reads a described picture file with one read: the picture through its layer and the description block.
 * Raises IoError when the file cannot be read and AppError when the picture is invalid. Every change to such a
 * file goes through a PictureTransaction (picture_transaction.h).
 */
[[nodiscard]] DescribedPicture readDescribedFile(const platform::FilePath& path);

/** The same from a whole file's bytes already read; `path` names the format. Raises AppError. */
[[nodiscard]] DescribedPicture describedPictureOf(const platform::FilePath& path, const QByteArray& bytes);

/** The description block length of a whole file's bytes: from the first marker to the end, 0 without one. */
[[nodiscard]] qint64 blockLengthOf(const QByteArray& fileBytes);

} // namespace store
