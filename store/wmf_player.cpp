#include "wmf_player.h"

namespace store::wmf {

void play(platform::ByteView, const PlaceableHeader&, QPainter&, QSize)
{
    // The record player is being written; until then the picture shows its white background.
}

} // namespace store::wmf
