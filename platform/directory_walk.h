#pragma once

#include "errors.h"
#include "file_path.h"

#include <QByteArrayView>

#include <functional>

namespace platform {

struct WalkOptions {
    /** Enter subfolders too (never through a symbolic link, so a link loop cannot trap the walk). */
    bool recursive = false;
    /** Take names starting with "." too; without it they are passed over, as the file list never shows them. */
    bool hidden = false;
};

/**
 * The one walk over a folder's files, by their names' exact bytes. `onFile` gets the path, relative to `directory`,
 * of every regular file (a symbolic link to one counts) whose name `wanted` accepts, in the order the folder gives
 * them; a name `wanted` refuses costs no call to the file system. The folder is read in one pass.
 *
 * A read error is never taken for the end of a folder: for `directory` itself (it cannot be opened, or reading it
 * fails half-way) it raises IoError, for a subfolder it goes to `onError` and the walk goes on.
 */
void walkDirectory(const FilePath& directory, const WalkOptions& options,
    const std::function<bool(QByteArrayView name)>& wanted, const std::function<void(const FilePath& relative)>& onFile,
    const std::function<void(const AppError&)>& onError = {});

} // namespace platform
