#pragma once

#include <QString>

#include <cstdint>
#include <span>

namespace platform {

/**
 * The program's one sound output. It starts at the first sound (or, in the background, when one is near), never
 * at start-up, so a picture viewer that never meets a sound never touches the sound system. When no real device
 * opens, SDL's "dummy" driver is tried explicitly (SDL never picks it on its own); when even that fails the
 * output stays silent and nothing is reported: a machine without sound still shows pictures. Gives back whether
 * an output is open.
 */
bool ensureAudioOutput();

/**
 * Starts the sound output on a thread of its own, when it has not started yet, so that a sound about to play
 * finds it open instead of holding up the windows while a device opens (or, on a machine without one, while
 * SDL gives up on the real drivers before the "dummy" one). ensureAudioOutput() waits for such a start to end.
 */
void startAudioOutputInBackground();

/**
 * Closes the sound output and the sound system behind it, for the end of the program: every player's open
 * sound is closed first (so none is left pointing at a closed output), then the mixer, its decoders and SDL's
 * audio go. Safe when the output never started and when called twice; the next sound starts it again.
 * The volume stays as it was set.
 */
void shutdownAudioOutput();

/** Whether an output is open (not while it is still starting), and the SDL driver behind it ("" while none). */
[[nodiscard]] bool audioOutputOpen();
[[nodiscard]] QString audioDriverName();

/**
 * Sets this program's own output volume, each channel from 0 (silent) to 65535 (full); the system's master
 * volume is never touched. The value is remembered and holds for a device that opens later too. The output
 * starts at full volume on both channels.
 */
void setWaveVolume(std::uint16_t left, std::uint16_t right);

struct WaveVolume {
    std::uint16_t left;
    std::uint16_t right;
    bool operator==(const WaveVolume&) const = default;
};
/** The volume last set (full on both channels until the first setWaveVolume). */
[[nodiscard]] WaveVolume waveVolume();

/**
 * Scales interleaved signed 16-bit samples by the volume: channel 0 by `left`, channel 1 by `right`, a mono
 * stream and further channels by their mean. Full volume leaves the samples exactly as they are.
 */
void applyWaveVolume(std::span<std::int16_t> samples, int channels, WaveVolume volume);

} // namespace platform
