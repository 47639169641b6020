#pragma once

#include "platform/errors.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

/** Finding the picture files of a folder, and naming them, for the commands that work on many pictures. */
namespace interop {

/** Whether `name` ends in one of the viewer's picture extensions: .bmp, .jpg, .jpeg, .emf, .wmf, in any case. */
[[nodiscard]] bool isPictureName(const QByteArray& name);

/**
 * The picture files in `directory` (with `recursive`, in its subfolders too), as paths relative to it in byte
 * order. Only regular files count (a symbolic link to one too); linked folders are not entered, so a link loop
 * cannot trap the walk. Raises IoError when `directory` itself cannot be read; a subfolder that cannot be read
 * goes to `onError` and is skipped.
 */
[[nodiscard]] std::vector<QByteArray> listPictures(
    const QByteArray& directory, bool recursive, const std::function<void(const platform::AppError&)>& onError);

/** `relative` below `directory`, joined by one "/". */
[[nodiscard]] QByteArray joinPath(const QByteArray& directory, const QByteArray& relative);

} // namespace interop
