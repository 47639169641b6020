#include "large_blocks.h"

#include <malloc.h>

namespace platform {

void giveLargeBlocksBack() noexcept
{
    // Setting the bound turns its sliding off.
    (void)::mallopt(M_MMAP_THRESHOLD, 1 << 20);
}

} // namespace platform
