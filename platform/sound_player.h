#pragma once

#include "file_path.h"

typedef struct _Mix_Music Mix_Music;

namespace platform {

/**
 * The player of a picture's sound. open() closes the sound this player had open (so it stops) and opens
 * fileName() as a stream, decoded while it plays and never read whole into memory; play() starts it from the
 * beginning and returns at once; the sound stays open after it has ended until the next open or close().
 * There is one sound output, so one player plays at a time.
 *
 * Without any sound output the player still opens and checks its files, and plays nothing.
 */
class SoundPlayer {
public:
    SoundPlayer();
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;
    ~SoundPlayer();

    void setFileName(const FilePath& path) { m_fileName = path; }
    [[nodiscard]] const FilePath& fileName() const { return m_fileName; }

    /**
     * Closes, then opens fileName(). Raises IoError when it is not a regular file (a FIFO is never opened)
     * and AppError with the decoder's message when it holds no sound the decoders can read; the player is
     * then closed.
     */
    void open();
    /** Starts the open sound from its beginning; does nothing when none is open. Never fails. */
    void play();
    /** Stops and releases the open sound, if any. */
    void close();

    [[nodiscard]] bool isOpen() const { return m_open; }
    /** The path of the open sound (empty when closed). */
    [[nodiscard]] const FilePath& openPath() const { return m_openPath; }
    /** Whether this player's sound is being played now (false once it has ended). */
    [[nodiscard]] bool isPlaying() const;
    /** How many times play() has started a sound; lets a test see a sound start over. */
    [[nodiscard]] int playCount() const { return m_playCount; }

private:
    FilePath m_fileName;
    FilePath m_openPath;
    Mix_Music* m_music = nullptr;
    bool m_open = false;
    int m_playCount = 0;
};

/** Closes the sound of every player that has one open (the sound output's shutdown needs them closed). */
void closeAllSoundPlayers();

} // namespace platform
