// The clock the plug-in seeds from. The plug-in calls the C library's time(); this
// program gives it its own clock instead, which can be pinned to make a run
// reproducible. On POSIX systems the program defines time() and exports it, and a
// loaded library binds to it first. Windows binds a DLL's imports to the DLL that
// exports them, so there the plug-in's import table is pointed at this program's clock.
#pragma once

#include <cstdint>
#include <optional>

namespace tuft::host {

// Pins the clock to a number of seconds since 1970, or (nullopt) lets it follow the real one.
void pinClock(std::optional<std::int64_t> seconds);

// Sends a just-loaded library's calls of the C library's time() (time, _time32 and
// _time64 on Windows) to this program's clock. Nothing to do on POSIX systems.
void routeClock(void *library);

} // namespace tuft::host
