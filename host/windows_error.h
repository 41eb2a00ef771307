// The system's text for a Windows error code (GetLastError), without its line break.
// Windows builds only.
#pragma once

#include <string>

namespace tuft::host {

std::string windowsErrorText(unsigned long error);

} // namespace tuft::host
