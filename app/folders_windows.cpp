#include "app/folders.h"

#include "meshio/file_system.h"

#include <cerrno>
#include <io.h>
#include <sys/stat.h>

namespace tuft::app {

bool isFolder(const std::string &path)
{
    struct _stati64 facts;
    return _stati64(path.c_str(), &facts) == 0 && (facts.st_mode & _S_IFMT) == _S_IFDIR;
}

std::string whyFolderRefusesFiles(const std::string &folder)
{
    constexpr int kWrite = 2; // _access's mode for "may write"
    return _access(folder.c_str(), kWrite) == 0 ? std::string() : meshio::files::errorText(errno);
}

} // namespace tuft::app
