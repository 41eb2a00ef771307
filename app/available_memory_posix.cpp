#include "app/memory_estimate.h"

#include <fstream>
#include <sys/resource.h>

namespace tuft::app {

// /proc/meminfo's available memory and free swap, within RLIMIT_AS.
std::uint64_t availableMemory()
{
    std::uint64_t available = 0, swapFree = 0;
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    std::uint64_t kilobytes = 0;
    while (meminfo >> key >> kilobytes) {
        if (key == "MemAvailable:")
            available = kilobytes * 1024;
        else if (key == "SwapFree:")
            swapFree = kilobytes * 1024;
        meminfo.ignore(64, '\n');
    }
    std::uint64_t total = available + swapFree;
    rlimit limit;
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < total)
        total = limit.rlim_cur;
    return total;
}

} // namespace tuft::app
