#pragma once

#include "platform/bytes.h"

#include <QByteArray>

#include <optional>

namespace store::wmf {

/**
 * The enhanced metafile a Windows metafile carries in its comment escapes (MFCOMMENT records with the "WMFC"
 * signature, the EMF split over one or more of them in order). Nothing when there is none, or when the pieces
 * do not add up to the size they announce: the metafile's own records are then the picture.
 */
[[nodiscard]] std::optional<QByteArray> embeddedEmf(platform::ByteView metafile);

} // namespace store::wmf
