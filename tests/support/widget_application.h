#pragma once

namespace testing_support {

/**
 * Makes sure a QApplication named "Zelkavio" exists, as the program has one; created once and kept for the
 * process. Without a platform chosen in the environment the windows are drawn offscreen.
 */
void ensureWidgetApplication();

} // namespace testing_support
