// Standard output and error as the program writes them; one file per platform
// (standard_streams_posix.cpp, standard_streams_windows.cpp).
#pragma once

namespace tuft::app {

// Lines end with "\n" on every platform, so that logs and piped output are the same
// (Windows would write "\r\n" in text mode).
void endLinesWithNewlineOnly();

} // namespace tuft::app
