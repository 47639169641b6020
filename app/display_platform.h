#pragma once

#include <QByteArray>

#include <functional>

/** Which of Qt's window-system platforms the viewer starts on. */
namespace app {

/** What to do before Qt starts: the platform to ask for (none: Qt's own choice) and a note for standard error. */
struct PlatformChoice {
    QByteArray platform;
    QByteArray note;
};

/**
 * The viewer places its own windows (the positions in the settings) and keeps the file list above the others,
 * which a Wayland desktop allows X11 programs as far as it will and native Wayland programs not at all. So on a
 * Wayland session (WAYLAND_DISPLAY set) it asks for X11 through the desktop's compatibility server (Xwayland,
 * DISPLAY set); without one it runs natively and says once what will not hold. A platform the user chose
 * (QT_QPA_PLATFORM, or Qt's -platform option in `arguments`) is left alone, and so is any other session.
 * `environment` gives a variable's value (empty when unset).
 */
[[nodiscard]] PlatformChoice choosePlatform(
    const std::function<QByteArray(const char*)>& environment, int argc, char* argv[]);

} // namespace app
