#pragma once

#include "platform/bytes.h"

#include <QByteArray>
#include <QString>

#include <vector>

/**
 * The one codec between a description as stored behind the marker and the text of the description field.
 * Stored descriptions are Windows-1250 bytes with CR LF line breaks; the field's text has one "\n" per line
 * break. No widgets here: the viewer, the command-line tool and the tests all go through these functions.
 */
namespace store {

/**
 * The stored bytes as the field shows them, normalised: every lone CR and lone LF becomes CR LF (so LF CR is
 * two breaks), and the text ends at the first NUL.
 */
[[nodiscard]] QByteArray normaliseDescription(platform::ByteView stored);

/** The field's text for stored description bytes: normalised, Windows-1250 decoded, CR LF as one "\n". */
[[nodiscard]] QString descriptionToFieldText(platform::ByteView stored);

/**
 * The bytes stored for a field's text (plain or raw QTextDocument text): each CR LF, lone CR, lone LF,
 * paragraph or line separator becomes CR LF; a character Windows-1250 cannot hold becomes "?" and is listed
 * once in `unencodable` when given. No-break spaces and everything else stay as typed.
 */
[[nodiscard]] QByteArray fieldTextToDescription(const QString& text, std::vector<char32_t>* unencodable = nullptr);

/**
 * The same for a text to be saved, which must be stored exactly: a text holding characters Windows-1250 cannot
 * hold raises AppError with unencodableMessage().
 */
[[nodiscard]] QByteArray storedDescription(const QString& text);

/** The Polish refusal of a save naming `characters` (the first ten, then "…"), which Windows-1250 cannot hold. */
[[nodiscard]] QString unencodableMessage(const std::vector<char32_t>& characters);

/** The number of bytes fieldTextToDescription(text) stores. */
[[nodiscard]] qsizetype descriptionByteLength(const QString& text);

} // namespace store
