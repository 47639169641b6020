#pragma once

#include <QByteArray>
#include <QString>

/** The description field's text and the stored description bytes, both ways. No widgets here. */
namespace viewer {

/**
 * The text to put into the edit for normalised description bytes (CR LF line breaks, no NUL): Windows-1250
 * decoded, each CR LF one line break of the edit.
 */
[[nodiscard]] QString fieldTextFromDescription(const QByteArray& normalised);

/**
 * The description bytes for the edit's raw text (QTextDocument::toRawText()): each paragraph or line
 * separator becomes CR LF, and a character that Windows-1250 cannot hold becomes "?". No-break spaces and
 * everything else stay as typed.
 */
[[nodiscard]] QByteArray descriptionFromFieldText(const QString& rawText);

} // namespace viewer
