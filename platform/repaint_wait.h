#pragma once

#include <chrono>
#include <functional>

namespace platform {

/**
 * Waits on the window thread for work that other threads do, keeping the windows painted and letting nothing
 * else run, as a command that held the thread to its end would: `finished(timeout)` is asked again and again
 * (it waits at most `timeout` itself) until it says the work is done, and between two asks the windows repaint
 * what needs it.
 *
 * No handler runs meanwhile. Keys and clicks stay queued and arrive afterwards, in order. A timer due meanwhile
 * fires once afterwards (a repeating one does not catch up on the ticks it missed). A window's close, asked
 * meanwhile, is carried out afterwards. Activation, focus and hover changes meanwhile are not told to the
 * widgets. A posted call (a queued connection) found meanwhile stops the repainting: the wait then goes on
 * without painting and the call runs as soon as the work is done, before this function returns.
 */
void waitRepaintingOnly(const std::function<bool(std::chrono::milliseconds)>& finished);

/** How long the windows may go without a repaint during such a wait. */
inline constexpr std::chrono::milliseconds kRepaintPeriod {20};

} // namespace platform
