#pragma once

#include <QString>

namespace viewer {

/**
 * `name` (a bare name or a path) with the extension of its file name, the part from the last dot on,
 * replaced by `extension` (".wav"); a file name without a dot gets the extension appended. Dots in
 * directory names never count.
 */
[[nodiscard]] QString replaceExtension(const QString& name, const QString& extension);

/**
 * The regular file `path` when it exists, else a regular file in the same directory whose name differs
 * from it only in letter case (the file list ignores case too, so "PHOTO.JPG" finds "photo.wav"); "" when
 * there is none. Directories, FIFOs and other special files are never sounds. A bare name is looked up in
 * the working directory.
 */
[[nodiscard]] QString findSoundFile(const QString& path);

/** The sound of the picture `picturePath`: its ".mp3" when there is one, else its ".wav", else "". */
[[nodiscard]] QString pictureSound(const QString& picturePath);

/** Whole seconds of a sound of `milliseconds`, a fraction counting as a whole second (3001 ms: 4). */
[[nodiscard]] constexpr int soundSeconds(long long milliseconds)
{
    return int(milliseconds / 1000 + (milliseconds % 1000 > 0 ? 1 : 0));
}

} // namespace viewer
