#include "picture_files.h"

#include "platform/file_names.h"

#include <algorithm>
#include <cerrno>
#include <memory>

#include <dirent.h>
#include <sys/stat.h>

namespace interop {

bool isPictureName(const QByteArray& name)
{
    const qsizetype dot = name.lastIndexOf('.');
    if (dot < 0)
        return false;
    const QByteArray extension = name.mid(dot + 1).toLower();
    return extension == "bmp" || extension == "jpg" || extension == "jpeg" || extension == "emf" || extension == "wmf";
}

QByteArray joinPath(const QByteArray& directory, const QByteArray& relative)
{
    if (directory.isEmpty())
        return relative;
    return directory.endsWith('/') ? directory + relative : directory + '/' + relative;
}

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

/** Adds the pictures of `directory` + `prefix` to `found`; the walk goes by bytes, so any name reads as it is. */
void walk(const QByteArray& directory, const QByteArray& prefix, bool recursive, std::vector<QByteArray>& found,
    const std::function<void(const platform::AppError&)>& onError)
{
    const QByteArray here = joinPath(directory, prefix);
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(here.constData()));
    if (!dir) {
        const platform::IoError error(errno, platform::fileNameFromBytes(here));
        if (prefix.isEmpty())
            throw error;
        onError(error);
        return;
    }
    std::vector<QByteArray> folders;
    while (const dirent* entry = ::readdir(dir.get())) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        const bool picture = isPictureName(name);
        if (!picture && !recursive)
            continue;
        const QByteArray relative = prefix.isEmpty() ? name : prefix + '/' + name;
        struct stat st { };
        const QByteArray full = joinPath(directory, relative);
        if (picture && ::stat(full.constData(), &st) == 0 && S_ISREG(st.st_mode))
            found.push_back(relative);
        else if (recursive && ::lstat(full.constData(), &st) == 0 && S_ISDIR(st.st_mode))
            folders.push_back(relative);
    }
    for (const QByteArray& folder : folders)
        walk(directory, folder, recursive, found, onError);
}

} // namespace

std::vector<QByteArray> listPictures(
    const QByteArray& directory, bool recursive, const std::function<void(const platform::AppError&)>& onError)
{
    std::vector<QByteArray> found;
    walk(directory, {}, recursive, found, onError);
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace interop
