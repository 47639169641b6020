#pragma once

#include "platform/bytes.h"

#include <QPainter>
#include <QRectF>

namespace store::emf {

/**
 * Plays an enhanced metafile (header record first) onto `painter`, mapping its frame onto `target` (in the
 * painter's device pixels). Damaged records stop playback; what was drawn before them stays. Raises AppError only
 * when the header itself is unusable. Used for EMF pictures and for EMF data carried inside a WMF.
 */
void play(platform::ByteView emf, QPainter& painter, const QRectF& target);

} // namespace store::emf
