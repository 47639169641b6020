#include "picture_files.h"

#include "platform/directory_walk.h"
#include "platform/file_names.h"
#include "store/picture_formats.h"

#include <algorithm>

namespace interop {

std::vector<platform::FilePath> listPictures(
    const platform::FilePath& directory, bool recursive, const std::function<void(const platform::AppError&)>& onError)
{
    std::vector<platform::FilePath> found;
    platform::walkDirectory(
        directory, {.recursive = recursive, .hidden = true},
        [](QByteArrayView name) { return store::isPictureName(platform::FilePath(name.toByteArray())); },
        [&](const platform::FilePath& relative) { found.push_back(relative); }, onError);
    std::sort(found.begin(), found.end());
    return found;
}

void requireInside(const platform::FilePath& path, const platform::FilePath& directory)
{
    const platform::FilePath real = platform::canonicalPath(path);
    const QByteArray root = platform::canonicalPath(directory).bytes();
    const QByteArray prefix = root.endsWith('/') ? root : root + '/';
    if (real.isEmpty() || root.isEmpty() || !real.bytes().startsWith(prefix))
        throw platform::AppError(QStringLiteral("it lies outside %1 (through a symbolic link), so it is left alone")
                                     .arg(directory.display()));
}

} // namespace interop
