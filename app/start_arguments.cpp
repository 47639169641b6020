#include "start_arguments.h"

#include "platform/version.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace app {

namespace {

/**
 * A path given as command-line bytes. Qt's decoding keeps every valid UTF-8 name; a name that is not valid
 * UTF-8 does not survive it, and is then reported as missing rather than opened under another name.
 */
QString pathFromArgument(const QByteArray& argument)
{
    return QFile::decodeName(argument);
}

bool isOption(const QByteArray& argument, const char* name)
{
    return argument == name;
}

} // namespace

StartArguments parseStartArguments(const QList<QByteArray>& arguments)
{
    StartArguments start;
    QList<QByteArray> paths;
    bool optionsEnded = false;
    for (const QByteArray& argument : arguments) {
        if (!optionsEnded && isOption(argument, "--"))
            optionsEnded = true;
        else if (!optionsEnded && (isOption(argument, "--help") || isOption(argument, "-h")))
            start.help = true;
        else if (!optionsEnded && isOption(argument, "--version"))
            start.version = true;
        else
            paths << argument;
    }
    if (start.help || start.version || paths.isEmpty())
        return start;
    if (paths.size() > 1) {
        start.error = QStringLiteral("Program otwiera jeden obraz albo jeden katalog naraz, a podano %1 ścieżek.\n"
                                     "Otwieram katalog zapamiętany w ustawieniach.")
                          .arg(paths.size());
        return start;
    }
    const QString path = QDir::cleanPath(QDir::current().absoluteFilePath(pathFromArgument(paths.front())));
    struct stat st { };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        start.error = QStringLiteral("Nie ma takiego obrazu ani katalogu:\n%1\n"
                                     "Otwieram katalog zapamiętany w ustawieniach.")
                          .arg(pathFromArgument(paths.front()));
        return start;
    }
    if (S_ISDIR(st.st_mode)) {
        start.folder = path;
    } else {
        const QFileInfo file(path);
        start.folder = file.absolutePath();
        start.picture = file.fileName();
    }
    return start;
}

QByteArray usageText()
{
    return QByteArrayLiteral("Usage: zelkavio [PICTURE | FOLDER]\n"
                             "\n"
                             "Zelkavio shows the pictures of one folder (BMP, JPEG, EMF, WMF) with the descriptions\n"
                             "stored inside the picture files.\n"
                             "\n"
                             "  PICTURE    list the picture's folder and show the picture\n"
                             "  FOLDER     list the folder, nothing selected\n"
                             "  --help     this text\n"
                             "  --version  the program's version\n"
                             "\n"
                             "Without an argument the folder remembered in the settings is listed.\n");
}

QByteArray versionText()
{
    return QByteArrayLiteral("zelkavio " ZELKAVIO_VERSION "\n");
}

} // namespace app
