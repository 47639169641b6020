#pragma once

#include "command_line.h"

#include <QByteArray>
#include <QStringList>

#include <ostream>
#include <vector>

/**
 * The commands of zelkavio-opis, the command-line companion for described picture files. No widgets here; the
 * tool's main only builds the application object and calls runOpis().
 */
namespace cli {

/**
 * Runs one command line (the arguments after the program's name). Output goes to `out` (bytes, unchanged for
 * `show --raw`), messages to `err` as "zelkavio-opis: <message>". Gives the exit code.
 */
[[nodiscard]] int runOpis(const QStringList& args, std::ostream& out, std::ostream& err);

/** True when the command line draws a picture, which needs a GUI application object (fonts for metafile text). */
[[nodiscard]] bool needsGuiApplication(const QStringList& args);

/**
 * UTF-8 text as a stored description: every line break (CR LF, lone CR, lone LF) becomes CR LF and the text
 * is encoded in Windows-1250, where a character the code page lacks becomes "?". Raises AppError for bytes
 * that are not UTF-8. `unencodable`, when given, receives each character written as "?", once.
 */
[[nodiscard]] QByteArray descriptionFromUtf8(const QByteArray& utf8, std::vector<char32_t>* unencodable = nullptr);

} // namespace cli
