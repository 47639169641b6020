#pragma once

#include <functional>
#include <memory>

namespace store {

/**
 * Runs `work` on the one thread kept for background work (see platform::markBackgroundThread), after whatever was
 * handed over before it. Waking that thread costs the window's thread nothing, where starting a thread can hold it
 * for milliseconds. Whatever is still waiting when the program ends runs then. Throws std::system_error when the
 * thread cannot be started; an exception from `work` is dropped.
 */
void runInBackground(std::function<void()> work);

/**
 * Lets go of what `owned` holds on that thread: giving a large picture's pixels and file bytes back to the system
 * (tens of megabytes) takes milliseconds that the window's thread should not spend.
 */
void releaseInBackground(std::shared_ptr<void> owned);

/** Waits until everything handed over so far has run. */
void waitForBackgroundWork();

} // namespace store
