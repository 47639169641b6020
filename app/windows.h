#pragma once

/** Creates the six windows, hidden, in the order TFMain, TFFotka, TFPismo, TFPliki, TFSzukaAll, TFhelp. */
namespace app {

void createWindows();
/**
 * Frees every window that still exists, the main window last: the one way the windows go. Then the sound
 * output closes, so the program releases the audio device before it ends.
 */
void destroyWindows();

} // namespace app
