// Paths as text: where the folder ends and the file name begins. On Windows a folder
// ends at '\' or a drive's ':' as well as at '/'; elsewhere only at '/', and a backslash
// is a character of a name.
#pragma once

#include <string>

namespace tuft::host {

bool isSeparator(char c);
// The position of the last separator, or std::string::npos.
std::size_t lastSeparator(const std::string &path);
// The folder with its separator ("" for a bare name), and the name after it.
std::string folderOf(const std::string &path);
std::string fileNameOf(const std::string &path);
// Whether a relative name stays in its folder or below it: not absolute (no leading
// separator, no drive), no ".." among its parts, no NUL.
bool staysInFolder(const std::string &name);

} // namespace tuft::host
