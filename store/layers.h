#pragma once

#include "picture.h"

#include <QByteArray>

#include <memory>

/**
 * The picture layers, one per format. Each takes a whole file's bytes, checks and parses its own header, and
 * holds what it needs to draw and to write the picture; loadPicture() chooses among them. Each raises
 * platform::AppError with a clear message for an invalid picture.
 */
namespace store {

[[nodiscard]] std::unique_ptr<Picture> loadBmp(const QByteArray& fileBytes);
[[nodiscard]] std::unique_ptr<Picture> loadJpeg(const QByteArray& fileBytes);
/** An ".emf" or ".wmf" file: the content decides between an enhanced and a placeable Windows metafile. */
[[nodiscard]] std::unique_ptr<Picture> loadMetafile(const QByteArray& fileBytes);

} // namespace store
