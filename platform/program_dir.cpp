#include "program_dir.h"

#include <QCoreApplication>

namespace platform {

namespace {
std::optional<QString>& overridden()
{
    static std::optional<QString> directory;
    return directory;
}
} // namespace

QString programDirectory()
{
    if (const std::optional<QString>& directory = overridden())
        return *directory;
    return QCoreApplication::applicationDirPath();
}

QString programFile(const QString& name)
{
    return programDirectory() + QLatin1Char('/') + name;
}

void setProgramDirectory(const std::optional<QString>& directory)
{
    overridden() = directory;
}

} // namespace platform
