#include "sound_player.h"

#include "audio_output.h"
#include "errors.h"
#include "file_names.h"
#include "sound_length.h"

#include <SDL_mixer.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace platform {
namespace {
// The one stream the output plays (SDL_mixer has a single music stream).
Mix_Music* g_started = nullptr;
// Every player alive, so that the output's shutdown can close their sounds; all of them live in the GUI thread.
std::vector<SoundPlayer*> g_players;
} // namespace

SoundPlayer::SoundPlayer()
{
    g_players.push_back(this);
}

SoundPlayer::~SoundPlayer()
{
    close();
    g_players.erase(std::find(g_players.begin(), g_players.end(), this));
}

void SoundPlayer::open()
{
    close();
    // Opening a FIFO for reading would wait for a writer, and the whole program with it.
    (void)requireRegularFile(m_fileName);
    if (ensureAudioOutput()) {
        m_music = Mix_LoadMUS(m_fileName.c_str());
        if (!m_music)
            throw AppError(soundErrorText(Mix_GetError()));
    } else {
        // Nothing can be heard, but a damaged file is still reported as it would be with a device.
        (void)soundLengthMs(m_fileName);
    }
    m_open = true;
    m_openPath = m_fileName;
}

void SoundPlayer::play()
{
    if (!m_open)
        return;
    ++m_playCount;
    if (m_music && Mix_PlayMusic(m_music, 0) == 0)
        g_started = m_music;
}

void SoundPlayer::close()
{
    if (m_music) {
        // Freeing a playing stream halts it first.
        if (g_started == m_music)
            g_started = nullptr;
        Mix_FreeMusic(m_music);
        m_music = nullptr;
    }
    m_open = false;
    m_openPath = {};
}

bool SoundPlayer::isPlaying() const
{
    return m_music && g_started == m_music && Mix_PlayingMusic() != 0;
}

void closeAllSoundPlayers()
{
    for (SoundPlayer* player : g_players)
        player->close();
}

} // namespace platform
