#include "program_dir.h"

#include "errors.h"
#include "file_names.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace platform {

namespace {
std::optional<QString>& overridden()
{
    static std::optional<QString> directory;
    return directory;
}

bool exists(const QString& path)
{
    struct stat st { };
    return ::stat(fileNameBytes(path).constData(), &st) == 0;
}
} // namespace

QString programDirectory()
{
    if (const std::optional<QString>& directory = overridden())
        return *directory;
    // The kernel's link to the running program keeps its folder's exact bytes, which Qt's own answer decodes lossily.
    const QString program = canonicalPath(FilePath("/proc/self/exe")).toText();
    if (program.isEmpty())
        return QCoreApplication::applicationDirPath();
    return program.left(std::max<qsizetype>(program.lastIndexOf(u'/'), 1));
}

QString programFile(const QString& name)
{
    return programDirectory() + QLatin1Char('/') + name;
}

void setProgramDirectory(const std::optional<QString>& directory)
{
    overridden() = directory;
}

QString sharedDataDirectory(const QString& programDir)
{
    return programDir + QStringLiteral("/../share/zelkavio");
}

bool isInstalled(const QString& programDir)
{
    return QFileInfo(sharedDataDirectory(programDir)).isDir();
}

QString dataFile(const QString& name)
{
    const QString beside = programFile(name);
    if (exists(beside) || !isInstalled(programDirectory()))
        return beside;
    const QString shared = QDir::cleanPath(sharedDataDirectory(programDirectory()) + QLatin1Char('/') + name);
    return exists(shared) ? shared : beside;
}

SettingsPlace settingsPlaceFor(
    const QString& programDir, const QString& name, const QString& xdgConfigHome, const QString& home)
{
    const QString beside = programDir + QLatin1Char('/') + name;
    if (exists(beside) || !isInstalled(programDir))
        return {beside, false};
    // Only an absolute XDG_CONFIG_HOME counts; anything else falls back to the default.
    const QString config = QDir::isAbsolutePath(xdgConfigHome) ? xdgConfigHome : home + QStringLiteral("/.config");
    return {QDir::cleanPath(config + QStringLiteral("/zelkavio/") + name), true};
}

SettingsPlace settingsPlace(const QString& name)
{
    // Read only by an installed program, and only when there is no file beside it.
    const QString programDir = programDirectory();
    if (!isInstalled(programDir))
        return {programFile(name), false};
    return settingsPlaceFor(programDir, name, fileNameFromBytes(qgetenv("XDG_CONFIG_HOME")), QDir::homePath());
}

void makeFolderFor(const QString& filePath)
{
    const QString folder = QFileInfo(filePath).absolutePath();
    if (QFileInfo(folder).isDir())
        return;
    const QString parent = QFileInfo(folder).absolutePath();
    if (!QDir().mkpath(parent))
        throw IoError(errno != 0 ? errno : EACCES, parent);
    if (::mkdir(fileNameBytes(folder).constData(), 0700) != 0 && errno != EEXIST)
        throw IoError(errno, folder);
}

} // namespace platform
