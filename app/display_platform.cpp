#include "display_platform.h"

#include <cstring>

namespace app {

PlatformChoice choosePlatform(const std::function<QByteArray(const char*)>& environment, int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return {};
    }
    if (!environment("QT_QPA_PLATFORM").isEmpty() || environment("WAYLAND_DISPLAY").isEmpty())
        return {};
    if (!environment("DISPLAY").isEmpty())
        return {"xcb", {}};
    return {"wayland",
        "zelkavio: this Wayland desktop offers no X11 compatibility (Xwayland), so Zelkavio runs as a native "
        "Wayland program: the window positions kept in the settings are not used and the file list does not stay "
        "above the other windows.\n"};
}

} // namespace app
