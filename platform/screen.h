#pragma once

#include <QSize>

#include <optional>

namespace platform {

/** The primary screen's size in pixels (the whole screen, not only its available area). */
[[nodiscard]] QSize primaryScreenSize();

/** The primary screen's device pixels per unit of the desktop (2 on a screen scaled to 200 %). */
[[nodiscard]] double primaryScreenRatio();

/** Makes primaryScreenSize() give `size` (tests); an empty optional asks the real screen again. */
void fakePrimaryScreenSize(std::optional<QSize> size);

} // namespace platform
