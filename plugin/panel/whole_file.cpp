#include "plugin/panel/whole_file.h"

#include <cstdio>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <climits>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tuft {

namespace {

bool writeAll(std::FILE *file, const char *bytes, std::size_t size)
{
    const bool written = std::fwrite(bytes, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

} // namespace

#if defined(_WIN32)

bool writeFileWhole(const char *name, const char *bytes, std::size_t size)
{
    const DWORD attributes = GetFileAttributesA(name);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0)
        return false;
    const std::string temporary = std::string(name) + ".tmp~";
    std::FILE *file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr)
        return false;
    if (!writeAll(file, bytes, size) ||
        !MoveFileExA(temporary.c_str(), name, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

#else

namespace {

constexpr int kMostLinks = 40;

// The file a name finally stands for, through symbolic links; empty when a link cannot
// be read or they lead round in a circle.
std::string followLinks(std::string path)
{
    struct stat facts;
    for (int hops = 0; lstat(path.c_str(), &facts) == 0 && S_ISLNK(facts.st_mode); ++hops) {
        char linked[PATH_MAX];
        const ssize_t length = readlink(path.c_str(), linked, sizeof linked - 1);
        if (hops == kMostLinks || length <= 0)
            return {};
        const std::string next(linked, static_cast<std::size_t>(length));
        const std::size_t slash = path.find_last_of('/');
        path = next[0] == '/' || slash == std::string::npos ? next : path.substr(0, slash + 1) + next;
    }
    return path;
}

} // namespace

bool writeFileWhole(const char *name, const char *bytes, std::size_t size)
{
    const std::string target = followLinks(name);
    if (target.empty())
        return false;
    struct stat facts;
    const bool exists = stat(target.c_str(), &facts) == 0;
    if (exists && (!S_ISREG(facts.st_mode) || access(target.c_str(), W_OK) != 0))
        return false;
    std::string temporary = target + ".XXXXXX";
    const int fd = mkstemp(&temporary[0]);
    if (fd < 0)
        return false;
    mode_t mode = facts.st_mode & 07777;
    if (!exists) {
        mode = umask(0);
        umask(mode);
        mode = 0666 & ~mode;
    }
    std::FILE *file = fchmod(fd, mode) == 0 ? fdopen(fd, "wb") : nullptr;
    if (file == nullptr)
        close(fd);
    if (file == nullptr || !writeAll(file, bytes, size) || std::rename(temporary.c_str(), target.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

#endif

} // namespace tuft
