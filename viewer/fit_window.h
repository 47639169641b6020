#pragma once

#include <QSize>

#include <optional>

/** How the picture window sizes itself to a picture. No widgets here. */
namespace viewer {

struct WindowFit {
    /** The window's new client size. */
    QSize client;
    /** Auto-size on (the window follows each picture) or, when false, scrolling on with a fixed size. */
    bool autoSize = false;
};

/**
 * The picture window's fit for a picture of `picture` pixels on a screen of `screen` pixels: larger than the
 * screen in a direction gives the screen less 20 (width) or 30 (height) pixels and scroll bars; smaller in
 * both gives exactly the picture's size and auto-size. A picture exactly as wide or as high as the screen
 * (and not larger in the other direction) gives no fit: the window keeps its size and switches.
 */
[[nodiscard]] std::optional<WindowFit> fitWindowToPicture(QSize picture, QSize screen);

} // namespace viewer
