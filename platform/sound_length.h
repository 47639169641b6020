#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace platform {

/**
 * The length of the sound file at `path` in whole milliseconds, truncated: for ".mp3" (any case) a full scan
 * of the MPEG frames with libmpg123, exact also for variable bit rates without a Xing header and for files
 * cut short; for anything else libsndfile's frame count from the header. Nothing is played and no sound
 * device is needed. Lengths are remembered by path, size and modification time, so a file is measured once
 * until it changes. Raises AppError with the library's message when the file holds no sound it can read,
 * and IoError when it is not a regular file (a FIFO is never opened, so it cannot block the program).
 */
[[nodiscard]] std::int64_t soundLengthMs(const QString& path);

/** Forgets every remembered length. */
void clearSoundLengthCache();

/**
 * The measuring player: open measures its file (closing what it had open first), length gives the open
 * file's length in milliseconds, close forgets it. It never plays.
 */
class SoundLengthProbe {
public:
    void setFileName(const QString& path) { m_fileName = path; }
    [[nodiscard]] const QString& fileName() const { return m_fileName; }

    /** Closes, then measures fileName(); on failure raises as soundLengthMs() and stays closed. */
    void open();
    [[nodiscard]] bool isOpen() const { return m_length.has_value(); }
    /** The open file's length in milliseconds; 0 when nothing is open. */
    [[nodiscard]] std::int64_t lengthMs() const { return m_length.value_or(0); }
    void close() { m_length.reset(); }

private:
    QString m_fileName;
    std::optional<std::int64_t> m_length;
};

} // namespace platform
