// What the preset checks ask of the file system about folders; one file per platform
// (folders_posix.cpp, folders_windows.cpp).
#pragma once

#include <string>

namespace tuft::app {

bool isFolder(const std::string &path);
// Why the user may not make files in the folder, in the system's words; empty when
// they may.
std::string whyFolderRefusesFiles(const std::string &folder);

} // namespace tuft::app
