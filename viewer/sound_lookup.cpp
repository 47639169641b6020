#include "sound_lookup.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace viewer {

QString replaceExtension(const QString& name, const QString& extension)
{
    const qsizetype nameStart = name.lastIndexOf(QLatin1Char('/')) + 1;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < nameStart)
        return name + extension;
    return name.left(dot) + extension;
}

QString findSoundFile(const QString& path)
{
    const QFileInfo exact(path);
    if (exact.isFile())
        return path;
    const QString wanted = exact.fileName();
    // One pass over the directory, unsorted; a FIFO or socket of that name is no sound.
    QDirIterator it(exact.path(), QDir::Files | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        it.next();
        const QFileInfo found = it.fileInfo();
        if (found.fileName().compare(wanted, Qt::CaseInsensitive) == 0 && found.isFile()) {
            const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
            return slash < 0 ? found.fileName() : path.left(slash + 1) + found.fileName();
        }
    }
    return QString();
}

QString pictureSound(const QString& picturePath)
{
    QString sound = findSoundFile(replaceExtension(picturePath, QStringLiteral(".mp3")));
    if (sound.isEmpty())
        sound = findSoundFile(replaceExtension(picturePath, QStringLiteral(".wav")));
    return sound;
}

} // namespace viewer
