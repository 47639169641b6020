#pragma once

#include "platform/file_path.h"

#include <QByteArray>
#include <QString>

#include <optional>

/**
 * Descriptions shared with other photo programs through the standard captions: XMP dc:description (in a sidecar
 * NAME.EXT.xmp beside the picture, or inside a JPEG), Exif ImageDescription, IPTC Caption-Abstract and the JPEG
 * comment. All metadata is read and written by Exiv2 on a copy in memory, and a picture is changed through a
 * store::PictureTransaction, so a failure leaves it as it was. Metadata Exiv2 finds damaged is never rewritten, and
 * a rewrite that would lose or change any tag it was not meant to change is refused: the file is left as it was.
 * Sidecars are never read or written through a symbolic link.
 */
namespace interop {

enum class ExportOutcome {
    Exported,
    NoDescription, // no description block, or an empty one: nothing to share
};

/**
 * Writes the description of the picture at `path` into its sidecar `path` + ".xmp" as dc:description (language
 * "x-default"), keeping the sidecar's other properties. With `embed`, a JPEG gets it inside instead: XMP
 * dc:description, and Exif ImageDescription and IPTC Caption-Abstract where they can hold the text (otherwise they
 * are removed, so that no caption keeps an older text); the description block stays behind the marker byte for
 * byte. Line breaks are shared as line feeds. Raises AppError when the picture or its sidecar cannot be read or
 * written, when the text holds control characters XMP cannot carry, (`embed`) when it holds the marker "@||@",
 * which inside the picture's bytes would become the first marker, when the JPEG holds more than one XMP packet, and
 * when the rewritten metadata would not read back with every other tag as it was.
 */
ExportOutcome exportCaption(const platform::FilePath& path, bool embed);

/** A caption found in a picture's metadata, and where. */
struct Caption {
    QString text;
    /** "sidecar NAME", "XMP", "Exif", "IPTC" or "comment". */
    QString source;
};

/**
 * The first caption that is not empty, in this order: dc:description of the sidecar NAME.EXT.xmp, then of
 * NAME.xmp; inside a JPEG, XMP dc:description, Exif ImageDescription, IPTC Caption-Abstract, the comment. XMP is
 * UTF-8; IPTC is UTF-8 when its coded character set says so, and otherwise read as Exif and the comment are: UTF-8
 * when valid, else Windows-1250. `fileBytes` is the picture file's whole content. Raises AppError for a sidecar
 * that is not XMP, metadata Exiv2 finds damaged, or an IPTC character set other than UTF-8.
 */
[[nodiscard]] std::optional<Caption> findCaption(const platform::FilePath& path, const QByteArray& fileBytes);

struct ImportOptions {
    /** Replace a description the picture has. */
    bool force = false;
    /** Store characters Windows-1250 cannot hold as "?" instead of refusing the file. */
    bool lossy = false;
};

enum class ImportOutcome {
    Imported,
    AlreadyThere, // the description is that caption already
    Kept, // the picture has another description, kept without `force`
    NoCaption,
};

struct ImportResult {
    ImportOutcome outcome = ImportOutcome::NoCaption;
    QString source;
    /** How many different characters were stored as "?" (only with `lossy`). */
    int replaced = 0;
};

/**
 * Makes the first caption (see findCaption) the description of the picture at `path`, with CR LF line breaks in
 * Windows-1250, when the picture has no description or an empty one, or with `force`. Raises AppError as
 * findCaption does, for characters Windows-1250 cannot hold (unless `lossy`), and when the file cannot be written;
 * the file is then unchanged.
 */
ImportResult importCaption(const platform::FilePath& path, const ImportOptions& options);

} // namespace interop
