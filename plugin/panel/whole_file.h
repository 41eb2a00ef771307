// Writing a file whole: the preset file's one contact with the platform.
#pragma once

#include <cstddef>

namespace tuft {

// Writes the bytes beside the file `name` names and puts them in its place in one step,
// so a failed save never leaves a half-written file or destroys the old one. A symbolic
// link keeps pointing at the file it named, and a replaced file keeps its permissions;
// a file the user may not write, or anything but a regular file, is refused. False when
// nothing was written.
bool writeFileWhole(const char *name, const char *bytes, std::size_t size);

} // namespace tuft
