#pragma once

#include "platform/file_path.h"

#include <QByteArrayView>
#include <QString>

#include <optional>

/**
 * The picture formats the program shows and describes, and the file name extensions that select them: the one list
 * that the file list's mask, the picture layers, the search and the command-line tool all go by.
 */
namespace store {

enum class PictureFormat { Bmp, Jpeg, Emf, Wmf };

/** "bmp", "jpeg", "emf" or "wmf": the format's name in dumps and in the command-line tool's output. */
[[nodiscard]] const char* formatName(PictureFormat format);

/** The format of that name (see formatName()); empty for any other text. */
[[nodiscard]] std::optional<PictureFormat> formatNamed(QByteArrayView name);

/**
 * The format that a file name selects by its extension, in any case: "bmp", "jpg" and "jpeg", "emf", "wmf" (a
 * metafile's content later decides between enhanced and placeable). Empty for any other name.
 */
[[nodiscard]] std::optional<PictureFormat> formatOfFileName(const platform::FilePath& name);

/** The same, raising AppError for a name without a picture extension. */
[[nodiscard]] PictureFormat formatForFileName(const platform::FilePath& name);

/** Whether the name has a picture extension. */
[[nodiscard]] inline bool isPictureName(const platform::FilePath& name)
{
    return formatOfFileName(name).has_value();
}

/** The file list's mask: one pattern a picture extension, "*.bmp;*.jpg;*.jpeg;*.emf;*.wmf". */
[[nodiscard]] QString pictureMask();

} // namespace store
