#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

/** The help file "Zelkavio.rtf" beside the program: finding it and reading it safely. No widgets here. */
namespace help {

/** A help file larger than this is refused unread. */
inline constexpr qint64 kMaxHelpFileSize = 64 * 1024 * 1024;

/** The failure text of a help file that cannot be loaded at all. */
[[nodiscard]] QString loadFailureText();

/** The help file's path: "Zelkavio.rtf" beside the program, else in an installed program's shared folder. */
[[nodiscard]] QString helpFilePath();

/** Whether a help file is there: a directory of that name or nothing at all is no help file. */
[[nodiscard]] bool helpFileExists(const QString& path);

/**
 * The help file's bytes. A missing file or a directory gives none. Anything that is not a regular file (a
 * FIFO, a socket, a device) and a file above kMaxHelpFileSize raise AppError "Failed to Load Stream" without
 * being read, so nothing ever blocks; a file that cannot be opened or read raises IoError.
 */
[[nodiscard]] std::optional<QByteArray> readHelpFile(const QString& path);

/** The text shown when there is no help file: four lines, spaces included. */
[[nodiscard]] QString builtInNotice();

/** The help view's paragraph indents in pixels: the first line, the following lines, the right side. */
struct HelpIndents {
    qreal firstLine;
    qreal left;
    qreal right;
};

/**
 * The indents for a view `clientWidth` pixels wide at `dpi`: the first line 25 points in, the following
 * lines 15 points further, and a right indent of (clientWidth − 25) points capped at 25 points — uncapped it
 * would be wider than the view itself and squeeze every line to a word.
 */
[[nodiscard]] HelpIndents helpIndents(int clientWidth, qreal dpi);

} // namespace help
