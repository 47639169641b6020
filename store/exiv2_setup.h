#pragma once

/**
 * Photo metadata goes through Exiv2, from buffers already in memory. Its XMP parser keeps process-wide state that
 * must be set up once, before any thread uses the library: call this at the start of main(), before a worker
 * thread may read a picture's metadata. Further calls do nothing.
 */
namespace store {

void initialiseExiv2();

} // namespace store
