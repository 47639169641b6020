#pragma once

#include "platform/errors.h"
#include "platform/file_path.h"

#include <functional>
#include <vector>

/** Finding the picture files of a folder, for the commands that work on many pictures. */
namespace interop {

/**
 * The picture files in `directory` (with `recursive`, in its subfolders too), as paths relative to it in byte
 * order, dot-files among them. Only regular files count (a symbolic link to one too); linked folders are not entered,
 * so a link loop cannot trap the walk. Raises IoError when `directory` itself cannot be read; a subfolder that cannot
 * be read goes to `onError` and is skipped.
 */
[[nodiscard]] std::vector<platform::FilePath> listPictures(
    const platform::FilePath& directory, bool recursive, const std::function<void(const platform::AppError&)>& onError);

/**
 * Raises AppError unless the real path of `path` (every symbolic link resolved) lies inside the real path of
 * `directory`: a command given a folder never writes through a link out of it.
 */
void requireInside(const platform::FilePath& path, const platform::FilePath& directory);

} // namespace interop
