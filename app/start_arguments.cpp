#include "start_arguments.h"

#include "platform/file_names.h"
#include "platform/version.h"

#include <sys/stat.h>

namespace app {

namespace {

/** A path given as command-line bytes, kept exactly whatever its encoding. */
QString pathFromArgument(const QByteArray& argument)
{
    return platform::fileNameFromBytes(argument);
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
    const QString path = platform::absolutePath(platform::FilePath::fromText(pathFromArgument(paths.front()))).toText();
    struct stat st { };
    if (::stat(platform::fileNameBytes(path).constData(), &st) != 0) {
        start.error = QStringLiteral("Nie ma takiego obrazu ani katalogu:\n%1\n"
                                     "Otwieram katalog zapamiętany w ustawieniach.")
                          .arg(platform::displayFileName(pathFromArgument(paths.front())));
        return start;
    }
    if (S_ISDIR(st.st_mode)) {
        start.folder = path;
    } else {
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        start.folder = slash == 0 ? QStringLiteral("/") : path.left(slash);
        start.picture = path.mid(slash + 1);
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
