#pragma once

#include "platform/bytes.h"
#include "wmf_records.h"

#include <QPainter>
#include <QSize>

namespace store::wmf {

/**
 * Plays a Windows metafile (its 18-byte header and records) onto `painter`, mapping the placeable bounding box
 * onto the rectangle (0, 0, target). Damaged records end playback; what was drawn before them stays.
 */
void play(platform::ByteView metafile, const PlaceableHeader& placeable, QPainter& painter, QSize target);

} // namespace store::wmf
