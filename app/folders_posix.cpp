#include "app/folders.h"

#include "meshio/file_system.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace tuft::app {

bool isFolder(const std::string &path)
{
    struct stat facts;
    return stat(path.c_str(), &facts) == 0 && S_ISDIR(facts.st_mode);
}

std::string whyFolderRefusesFiles(const std::string &folder)
{
    return access(folder.c_str(), W_OK) == 0 ? std::string() : meshio::files::errorText(errno);
}

} // namespace tuft::app
