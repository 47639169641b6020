#include "background_thread.h"

#include <sched.h>

namespace platform {

void markBackgroundThread() noexcept
{
    // SCHED_BATCH keeps the thread's share and nice value; it only gives up preempting on wake-up. Any user may
    // choose it, and on Linux it applies to the calling thread alone.
    const sched_param none {};
    (void)::sched_setscheduler(0, SCHED_BATCH, &none);
}

} // namespace platform
