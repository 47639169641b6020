#include "picture_scale.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace viewer {

namespace {

constexpr std::array<std::pair<int, int>, kZoomStepCount> kSteps {
    {{1, 8}, {1, 6}, {1, 4}, {1, 3}, {1, 2}, {2, 3}, {1, 1}, {3, 2}, {2, 1}, {3, 1}, {4, 1}, {6, 1}, {8, 1}}};

// A fitted scale that equals a step up to rounding counts as that step.
constexpr double kSameScale = 1e-9;

int roundedUp(double value)
{
    // A product that should be whole may come out a hair above it.
    return int(std::ceil(value - 1e-6));
}

} // namespace

double zoomStep(int index)
{
    const auto [num, den] = kSteps.at(std::size_t(std::clamp(index, 0, kZoomStepCount - 1)));
    return double(num) / den;
}

double nextZoomStep(double scale, bool in)
{
    if (in) {
        for (int i = 0; i < kZoomStepCount; ++i) {
            if (zoomStep(i) > scale * (1 + kSameScale))
                return zoomStep(i);
        }
        return zoomStep(kZoomStepCount - 1);
    }
    for (int i = kZoomStepCount - 1; i >= 0; --i) {
        if (zoomStep(i) < scale * (1 - kSameScale))
            return zoomStep(i);
    }
    return zoomStep(0);
}

QSize largestClientArea(QSize screen)
{
    return {std::max(1, screen.width() - 20), std::max(1, screen.height() - 30)};
}

PictureLayout layoutPicture(QSize picture, QSize screen, double ratio, bool fit, std::optional<double> zoom)
{
    ratio = ratio > 0 ? ratio : 1;
    const qint64 w = std::max(1, picture.width());
    const qint64 h = std::max(1, picture.height());
    PictureLayout layout;
    if (zoom) {
        layout.scale = *zoom;
        layout.pixels
            = QSize(std::max(1, int(std::lround(double(w) * *zoom))), std::max(1, int(std::lround(double(h) * *zoom))));
    } else if (const QSize area = largestClientArea(screen);
               fit && (double(w) > area.width() * ratio || double(h) > area.height() * ratio)) {
        // The area in device pixels; the side that binds takes all of it, the other its share, rounded.
        const qint64 aw = std::max<qint64>(1, qint64(std::floor(area.width() * ratio + 1e-6)));
        const qint64 ah = std::max<qint64>(1, qint64(std::floor(area.height() * ratio + 1e-6)));
        if (w * ah >= h * aw)
            layout.pixels = QSize(int(aw), int(std::max<qint64>(1, (h * aw * 2 + w) / (2 * w))));
        else
            layout.pixels = QSize(int(std::max<qint64>(1, (w * ah * 2 + h) / (2 * h))), int(ah));
        layout.scale = double(layout.pixels.width()) / double(w);
    } else {
        layout.pixels = QSize(int(w), int(h));
    }
    layout.units = QSize(roundedUp(layout.pixels.width() / ratio), roundedUp(layout.pixels.height() / ratio));
    return layout;
}

int decodeReduction(QSize picture, QSize shown)
{
    for (int reduction : {8, 4, 2}) {
        if ((picture.width() + reduction - 1) / reduction >= shown.width()
            && (picture.height() + reduction - 1) / reduction >= shown.height())
            return reduction;
    }
    return 1;
}

int anchoredOffset(int offset, int anchor, double from, double to, int maxOffset)
{
    if (from <= 0)
        return std::clamp(offset, 0, std::max(0, maxOffset));
    const double point = (offset + anchor) / from;
    return std::clamp(int(std::lround(point * to - anchor)), 0, std::max(0, maxOffset));
}

} // namespace viewer
