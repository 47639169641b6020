#pragma once

#include "platform/file_path.h"

#include <QByteArrayView>

namespace viewer {

/**
 * `name` (a bare name or a path) with the extension of its file name, the part from the last dot on,
 * replaced by `extension` (".wav"); a file name without a dot gets the extension appended. Dots in
 * directory names never count.
 */
[[nodiscard]] platform::FilePath replaceExtension(const platform::FilePath& name, QByteArrayView extension);

/**
 * The regular file `path` when it exists, else a regular file in the same directory whose name differs
 * from it only in letter case (the file list ignores case too, so "PHOTO.JPG" finds "photo.wav"); empty when
 * there is none. Directories, FIFOs and other special files are never sounds. A bare name is looked up in
 * the working directory.
 */
[[nodiscard]] platform::FilePath findSoundFile(const platform::FilePath& path);

/** The sound of the picture `picturePath`: its ".mp3" when there is one, else its ".wav", else nothing. */
[[nodiscard]] platform::FilePath pictureSound(const platform::FilePath& picturePath);

/** Whole seconds of a sound of `milliseconds`, a fraction counting as a whole second (3001 ms: 4). */
[[nodiscard]] constexpr int soundSeconds(long long milliseconds)
{
    return int(milliseconds / 1000 + (milliseconds % 1000 > 0 ? 1 : 0));
}

} // namespace viewer
