#include "audio_output.h"

#include "sound_player.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <atomic>
#include <thread>

namespace platform {
namespace {

constexpr std::uint32_t kFullVolume = 0xFFFFFFFFu;

// Read by the audio thread at every mix, written by the GUI thread: left in the low half, right in the high.
std::atomic<std::uint32_t> g_volume {kFullVolume};

enum class OutputState { NotStarted, Starting, Open, Silent };
// Written by the thread that starts the output, read by the GUI thread.
std::atomic<OutputState> g_state {OutputState::NotStarted};
int g_channels = 2;

/** The thread of a start in the background; joined before the GUI thread touches the sound system again. */
struct Starter {
    std::thread thread;
    Starter() = default;
    Starter(const Starter&) = delete;
    Starter& operator=(const Starter&) = delete;
    ~Starter() { finish(); }
    void finish()
    {
        if (thread.joinable())
            thread.join();
    }
} g_starter;

WaveVolume unpack(std::uint32_t packed)
{
    return {std::uint16_t(packed & 0xFFFFu), std::uint16_t(packed >> 16)};
}

std::int16_t scaled(std::int16_t sample, std::uint32_t volume)
{
    return std::int16_t(std::int32_t(sample) * std::int32_t(volume) / 65535);
}

void SDLCALL postMix(void* /*unused*/, Uint8* stream, int length)
{
    const WaveVolume volume = unpack(g_volume.load(std::memory_order_relaxed));
    if (volume.left == 0xFFFF && volume.right == 0xFFFF)
        return;
    // The device was opened for signed 16-bit samples in the machine's order, which SDL converts for us.
    applyWaveVolume(std::span(reinterpret_cast<std::int16_t*>(stream), std::size_t(length) / 2), g_channels, volume);
}

bool openMixer()
{
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return false;
    if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 2048) != 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    int frequency = 0;
    Uint16 format = 0;
    Mix_QuerySpec(&frequency, &format, &g_channels);
    Mix_SetPostMix(postMix, nullptr);
    return true;
}

OutputState startOutput()
{
    // SDL would otherwise take SIGINT and SIGTERM, and Ctrl+C in a terminal would no longer end the program.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // The desktop's sound mixer lists the stream under this name.
    SDL_SetHint(SDL_HINT_APP_NAME, "Zelkavio");
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Zelkavio");
    bool open = openMixer();
    if (!open) {
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
        open = openMixer();
    }
    if (open)
        Mix_Init(MIX_INIT_MP3);
    return open ? OutputState::Open : OutputState::Silent;
}

} // namespace

bool ensureAudioOutput()
{
    g_starter.finish();
    if (g_state == OutputState::NotStarted)
        g_state = startOutput();
    return g_state == OutputState::Open;
}

void startAudioOutputInBackground()
{
    if (g_state != OutputState::NotStarted)
        return;
    g_state = OutputState::Starting;
    g_starter.finish();
    g_starter.thread = std::thread([] { g_state = startOutput(); });
}

void shutdownAudioOutput()
{
    g_starter.finish();
    // A stream freed after its output has closed would be halted on a device that no longer exists.
    closeAllSoundPlayers();
    if (g_state == OutputState::Open) {
        Mix_HaltMusic();
        Mix_SetPostMix(nullptr, nullptr);
        Mix_CloseAudio();
        Mix_Quit();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    // A device that was missing may be there at the next start: the "dummy" fallback is forgotten.
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    g_state = OutputState::NotStarted;
}

bool audioOutputOpen()
{
    return g_state == OutputState::Open;
}

QString audioDriverName()
{
    const char* name = audioOutputOpen() ? SDL_GetCurrentAudioDriver() : nullptr;
    return name ? QString::fromUtf8(name) : QString();
}

void setWaveVolume(std::uint16_t left, std::uint16_t right)
{
    g_volume.store(std::uint32_t(left) | (std::uint32_t(right) << 16), std::memory_order_relaxed);
}

WaveVolume waveVolume()
{
    return unpack(g_volume.load(std::memory_order_relaxed));
}

void applyWaveVolume(std::span<std::int16_t> samples, int channels, WaveVolume volume)
{
    if (channels <= 0)
        return;
    const std::uint32_t mean = (std::uint32_t(volume.left) + volume.right) / 2;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const std::size_t channel = channels == 1 ? 2 : i % std::size_t(channels);
        const std::uint32_t factor = channel == 0 ? volume.left : channel == 1 ? volume.right : mean;
        samples[i] = scaled(samples[i], factor);
    }
}

} // namespace platform
