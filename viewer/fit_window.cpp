#include "fit_window.h"

namespace viewer {

std::optional<WindowFit> fitWindowToPicture(QSize picture, QSize screen)
{
    const int w = picture.width();
    const int h = picture.height();
    const int sw = screen.width();
    const int sh = screen.height();
    if (w > sw && h > sh)
        return WindowFit {QSize(sw - 20, sh - 30), false};
    if (w > sw && h < sh)
        return WindowFit {QSize(sw - 20, h), false};
    if (w < sw && h > sh)
        return WindowFit {QSize(w, sh - 30), false};
    if (w < sw && h < sh)
        return WindowFit {QSize(w, h), true};
    return std::nullopt;
}

} // namespace viewer
