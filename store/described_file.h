#pragma once

#include "description_codec.h"
#include "picture.h"
#include "platform/bytes.h"
#include "platform/file_io.h"

#include <QByteArray>
#include <QString>

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
 * Raises IoError when the file cannot be read and AppError when the picture is invalid.
 */
[[nodiscard]] DescribedPicture readDescribedFile(const QString& path);

/** The same from a whole file's bytes already read; `path` names the format. Raises AppError. */
[[nodiscard]] DescribedPicture describedPictureOf(const QString& path, const QByteArray& bytes);

/**
 * Replaces the file's whole content with the picture as its layer writes it, the marker and `description`
 * byte for byte. The replacement is atomic: on any failure the old file stays whole. Raises IoError.
 */
void writeDescribedFile(const QString& path, const Picture& picture, const QByteArray& description);

/**
 * Cuts `length` bytes off the end of the file. A length of 0 leaves the file as it is; a length larger than
 * the file (IoError), or one that would cut into the picture's own data (AppError, in Polish, for a delete),
 * leaves the file unchanged.
 */
void stripDescriptionBlock(const QString& path, qint64 length);

/**
 * The same cut, for a caller that has just read the whole file as `current`: the checks run on those bytes, so
 * the file is not read again. A file whose size is no longer current's is refused, unchanged.
 */
void stripDescriptionBlock(const QString& path, qint64 length, const QByteArray& current);

/**
 * The cut of a save, made in memory: the bytes of the file `path` (read whole as `bytes`) without the last `length`
 * bytes, the block a save replaces. Raises the same errors as stripDescriptionBlock, the refusal worded for a save;
 * the file is not touched.
 */
[[nodiscard]] QByteArray withoutBlock(const QString& path, const QByteArray& bytes, qint64 length);

/**
 * Replaces the file's description in one atomic step, reading the file once: its bytes before the first marker,
 * the marker and `description`. The picture must load, and a first marker inside the picture's own data is
 * refused (as withoutBlock refuses it), leaving the file unchanged.
 */
void replaceDescription(const QString& path, const QByteArray& description);

/** The description block length of a whole file's bytes: from the first marker to the end, 0 without one. */
[[nodiscard]] qint64 blockLengthOf(const QByteArray& fileBytes);

/**
 * Puts a cut block back: when the file at `path` holds exactly the first bytes of `original` that a cut left,
 * the rest of `original` is appended in place (needing no more room than the cut freed); otherwise the file is
 * replaced by `original` whole. Raises IoError when neither is possible.
 */
void restoreFile(const QString& path, const QByteArray& original);

} // namespace store
