#pragma once

#include <QImage>

namespace testing_support {

/**
 * The share (0..1) of `rendered`'s pixels whose best match among the reference pixels within one pixel of the
 * same place still differs by more than `tolerance` on some colour channel. Images of different sizes differ
 * everywhere (1.0).
 */
[[nodiscard]] double differingShare(const QImage& rendered, const QImage& reference, int tolerance = 64);

/** `reference` greyed, with the pixels that differingShare() counts painted red: for looking at what differs. */
[[nodiscard]] QImage differenceMap(const QImage& rendered, const QImage& reference, int tolerance = 64);

/** Makes sure a QGuiApplication exists (fonts and text drawing need one); created once, kept for the process. */
void ensureGuiApplication();

} // namespace testing_support
