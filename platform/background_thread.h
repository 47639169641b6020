#pragma once

namespace platform {

/**
 * Marks the calling thread as background work (reading and decoding ahead, giving memory back, measuring sounds):
 * it keeps its fair share of the processors, so nothing that waits for it waits longer, but waking up it never
 * takes a processor from the window's thread, whose paints would otherwise stall for milliseconds on a two-core
 * machine. Does nothing where the system refuses.
 */
void markBackgroundThread() noexcept;

} // namespace platform
