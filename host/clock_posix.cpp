#include "host/clock.h"

#include <ctime>

namespace {

bool g_pinned = false;
std::int64_t g_seconds = 0;

} // namespace

namespace tuft::host {

void pinClock(std::optional<std::int64_t> seconds)
{
    g_pinned = seconds.has_value();
    g_seconds = seconds.value_or(0);
}

void routeClock(void *) {}

} // namespace tuft::host

// Replaces the C library's time() for the whole process, loaded plug-ins included.
extern "C" __attribute__((visibility("default"))) std::time_t time(std::time_t *out) noexcept
{
    std::time_t now;
    if (g_pinned) {
        now = static_cast<std::time_t>(g_seconds);
    } else {
        timespec real;
        clock_gettime(CLOCK_REALTIME, &real);
        now = real.tv_sec;
    }
    if (out != nullptr)
        *out = now;
    return now;
}
