#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

/** The viewer's command line: an optional picture or folder to start with, --help and --version. */
namespace app {

/** What the command line asks of this start. */
struct StartArguments {
    /** Print usageText() or versionText() and end without a window. */
    bool help = false;
    bool version = false;
    /** The folder to list in place of the remembered one, as an absolute path; empty for the usual start. */
    QString folder;
    /** The picture of `folder` to select and show, a bare name; empty to select nothing. */
    QString picture;
    /** A Polish message for a command line that cannot be followed; the start then goes on as usual. */
    QString error;
};

/**
 * Reads the arguments after the program's name, Qt's own options already taken out. "--" ends the options.
 * A path that exists names a folder to list, or a file whose folder is listed with that file selected;
 * a missing path or a second one gives `error`. Relative paths resolve against the working directory.
 */
[[nodiscard]] StartArguments parseStartArguments(const QList<QByteArray>& arguments);

/** The text of `zelkavio --help`. */
[[nodiscard]] QByteArray usageText();

/** The text of `zelkavio --version`. */
[[nodiscard]] QByteArray versionText();

} // namespace app
