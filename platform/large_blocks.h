#pragma once

namespace platform {

/**
 * Makes every block of 1 MiB or more a mapping of its own, given back to the system when it is freed. By default
 * the C library raises that bound to the largest block freed so far; after that, the megabytes of a picture's file,
 * read on the read-ahead thread, stay in that thread's pool once freed, and the viewer holds tens of megabytes it
 * no longer uses. Called once, before any thread starts.
 */
void giveLargeBlocksBack() noexcept;

} // namespace platform
