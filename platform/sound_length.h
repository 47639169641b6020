#pragma once

#include "file_path.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace platform {

/** A sound library's text for an error, or "Unknown error code" when it gives none (null or empty). */
[[nodiscard]] QString soundErrorText(const char* libraryText);

/**
 * The length of the sound file at `path` in whole milliseconds, truncated: for ".mp3" (any case) a full scan
 * of the MPEG frames with libmpg123, exact also for variable bit rates without a Xing header and for files
 * cut short; for anything else libsndfile's frame count from the header. Nothing is played and no sound
 * device is needed. Lengths are remembered by path, size and modification time, so a file is measured once
 * until it changes. Raises AppError with the library's message when the file holds no sound it can read,
 * and IoError when it is not a regular file (a FIFO is never opened, so it cannot block the program).
 */
[[nodiscard]] std::int64_t soundLengthMs(const FilePath& path);

/** Forgets every remembered length, once a measuring in the background has ended. */
void clearSoundLengthCache();

/**
 * Measures a sound on the measuring thread, beside the windows, so that a later soundLengthMs() of the same
 * unchanged file finds its length remembered instead of scanning it then. `findSound` runs there too and gives
 * the sound's path (empty for none), since finding a name in any letter case may read a whole directory. One
 * sound is measured at a time, in the order asked. Failures are dropped: the later measuring meets them again
 * and reports them.
 */
void measureSoundLengthInBackground(std::function<FilePath()> findSound);

/** Waits until the measuring thread has measured everything asked of it. */
void finishBackgroundMeasuring();

/**
 * The measuring player: open measures its file (closing what it had open first), length gives the open
 * file's length in milliseconds, close forgets it. It never plays.
 */
class SoundLengthProbe {
public:
    void setFileName(const FilePath& path) { m_fileName = path; }
    [[nodiscard]] const FilePath& fileName() const { return m_fileName; }

    /** Closes, then measures fileName(); on failure raises as soundLengthMs() and stays closed. */
    void open();
    [[nodiscard]] bool isOpen() const { return m_length.has_value(); }
    /** The open file's length in milliseconds; 0 when nothing is open. */
    [[nodiscard]] std::int64_t lengthMs() const { return m_length.value_or(0); }
    void close() { m_length.reset(); }

private:
    FilePath m_fileName;
    std::optional<std::int64_t> m_length;
};

} // namespace platform
