#include "image_compare.h"

#include <QGuiApplication>

#include <algorithm>
#include <cstdlib>

namespace testing_support {

namespace {

/** Calls `mark(x, y)` for each pixel of `rendered` without a close match near it in `reference` (same sizes). */
template <typename Mark>
qint64 forEachDiffering(const QImage& rendered, const QImage& reference, int tolerance, Mark mark)
{
    const QImage a = rendered.convertToFormat(QImage::Format_RGB32);
    const QImage b = reference.convertToFormat(QImage::Format_RGB32);
    const int w = a.width();
    const int h = a.height();
    qint64 differing = 0;
    for (int y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const QRgb c = line[x];
            int best = 256;
            for (int ny = std::max(0, y - 1); ny <= std::min(h - 1, y + 1) && best > tolerance; ++ny) {
                const auto* ref = reinterpret_cast<const QRgb*>(b.constScanLine(ny));
                for (int nx = std::max(0, x - 1); nx <= std::min(w - 1, x + 1); ++nx) {
                    const QRgb r = ref[nx];
                    const int d = std::max(
                        {std::abs(qRed(c) - qRed(r)), std::abs(qGreen(c) - qGreen(r)), std::abs(qBlue(c) - qBlue(r))});
                    best = std::min(best, d);
                }
            }
            if (best > tolerance) {
                ++differing;
                mark(x, y);
            }
        }
    }
    return differing;
}

} // namespace

double differingShare(const QImage& rendered, const QImage& reference, int tolerance)
{
    if (rendered.size() != reference.size() || rendered.isNull())
        return 1.0;
    const qint64 differing = forEachDiffering(rendered, reference, tolerance, [](int, int) {});
    return double(differing) / (double(rendered.width()) * rendered.height());
}

QImage differenceMap(const QImage& rendered, const QImage& reference, int tolerance)
{
    if (rendered.size() != reference.size())
        return {};
    QImage map = reference.convertToFormat(QImage::Format_Grayscale8).convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < map.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(map.scanLine(y));
        for (int x = 0; x < map.width(); ++x)
            line[x] = qRgb(128 + qGray(line[x]) / 2, 128 + qGray(line[x]) / 2, 128 + qGray(line[x]) / 2);
    }
    forEachDiffering(rendered, reference, tolerance, [&](int x, int y) { map.setPixel(x, y, qRgb(255, 0, 0)); });
    return map;
}

void ensureGuiApplication()
{
    if (QGuiApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "zelkavio-tests";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv); // lives as long as the process
}

} // namespace testing_support
