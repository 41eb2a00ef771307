#include "host/paths.h"

namespace tuft::host {

namespace {

#ifdef _WIN32
constexpr const char *kSeparators = "/\\:";
#else
constexpr const char *kSeparators = "/";
#endif

} // namespace

bool isSeparator(char c)
{
    for (const char *s = kSeparators; *s != '\0'; ++s)
        if (c == *s)
            return true;
    return false;
}

std::size_t lastSeparator(const std::string &path) { return path.find_last_of(kSeparators); }

std::string folderOf(const std::string &path)
{
    const std::size_t at = lastSeparator(path);
    return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

std::string fileNameOf(const std::string &path)
{
    const std::size_t at = lastSeparator(path);
    return at == std::string::npos ? path : path.substr(at + 1);
}

bool staysInFolder(const std::string &name)
{
    if (name.empty() || isSeparator(name[0]) || name.find('\0') != std::string::npos)
        return false;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && !isSeparator(name[i]))
            continue;
        if (i < name.size() && name[i] == ':') // a drive: C:name is not in this folder
            return false;
        if (name.compare(start, i - start, "..") == 0 && i - start == 2)
            return false;
        start = i + 1;
    }
    return true;
}

} // namespace tuft::host
