// The clock the plug-in seeds from. The plug-in calls the C library's time(); this
// program defines its own time(), exported from the executable, which a loaded library
// binds to first. Pinning it makes a run reproducible.
#pragma once

#include <cstdint>
#include <optional>

namespace tuft::host {

// Pins time() to a number of seconds since 1970, or (nullopt) lets it follow the real clock.
void pinClock(std::optional<std::int64_t> seconds);

} // namespace tuft::host
