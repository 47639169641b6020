#pragma once

#include <QSize>

#include <optional>

/**
 * The scale a picture is shown at: natural size, fitted to the screen, or zoomed by steps, on screens of any device
 * pixel ratio. Scales count picture pixels per device pixel; window and screen sizes are in the desktop's units, of
 * which a screen of ratio r has r device pixels across each. No widgets here.
 */
namespace viewer {

/** The zoom steps, smallest first: 1/8, 1/6, 1/4, 1/3, 1/2, 2/3, 1, 3/2, 2, 3, 4, 6, 8. */
[[nodiscard]] double zoomStep(int index);
inline constexpr int kZoomStepCount = 13;

/**
 * The step after `scale` towards larger (`in`) or smaller pictures: the first step strictly beyond it, or the last
 * step when `scale` is at or beyond it already.
 */
[[nodiscard]] double nextZoomStep(double scale, bool in);

/** The largest client area a picture window takes on a screen of `screen` units: the screen less 20 across, 30 down. */
[[nodiscard]] QSize largestClientArea(QSize screen);

/** How a picture is shown. */
struct PictureLayout {
    /** Picture pixels per device pixel. */
    double scale = 1;
    /** The shown picture's size in device pixels. */
    QSize pixels;
    /** Its size in the desktop's units: `pixels` over the ratio, rounded up. */
    QSize units;
};

/**
 * The layout of a picture of `picture` pixels on a screen of `screen` units with `ratio` device pixels per unit.
 * `zoom` (picture pixels per device pixel) wins when given; else `fit` scales a picture larger than the largest
 * client area down, never up, to the largest size within it, keeping its proportions; else the picture keeps its
 * natural size, one picture pixel on one device pixel.
 */
[[nodiscard]] PictureLayout layoutPicture(
    QSize picture, QSize screen, double ratio, bool fit, std::optional<double> zoom);

/**
 * How much a JPEG decoder may shrink a picture of `picture` pixels shown at `shown` pixels while it decodes: the
 * largest of 1, 2, 4 and 8 whose reduced size (rounded up, as the decoder rounds) still covers `shown`.
 */
[[nodiscard]] int decodeReduction(QSize picture, QSize shown);

/**
 * The scroll offset that keeps the picture point under `anchor` (a position in the window's client area) in place
 * when the scale goes from `from` to `to`, held within [0, `maxOffset`].
 */
[[nodiscard]] int anchoredOffset(int offset, int anchor, double from, double to, int maxOffset);

} // namespace viewer
