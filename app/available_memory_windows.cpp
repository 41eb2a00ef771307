#include "app/memory_estimate.h"

#include <algorithm>
#include <windows.h>

namespace tuft::app {

// What the page file can still commit, within the process's address space.
std::uint64_t availableMemory()
{
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status))
        return 0;
    return std::min<std::uint64_t>(status.ullAvailPageFile, status.ullAvailVirtual);
}

} // namespace tuft::app
