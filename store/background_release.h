#pragma once

#include <memory>

namespace store {

/**
 * Lets go of what `owned` holds on a thread kept for that: giving a large picture's pixels and file bytes back to the
 * system (tens of megabytes) takes milliseconds that the window's thread should not spend. Things go in the order they
 * came; whatever is still waiting when the program ends goes then.
 */
void releaseInBackground(std::shared_ptr<void> owned);

/** Waits until everything handed to releaseInBackground() so far has gone. */
void waitForBackgroundReleases();

} // namespace store
