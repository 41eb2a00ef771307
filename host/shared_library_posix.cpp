#include "host/shared_library.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

namespace tuft::host {

const char *const kPluginFileName = "tuftsprout.so";

void *openLibrary(const std::string &path, std::string &problem)
{
    // A name without a slash would send the dynamic loader through its search path.
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    void *library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char *reason = dlerror();
        problem = reason != nullptr ? reason : "not a shared library";
    }
    return library;
}

void *findSymbol(void *library, const char *name) { return dlsym(library, name); }

void closeLibrary(void *library) { dlclose(library); }

std::string programFolder()
{
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return {};
    const std::string path(self, static_cast<std::size_t>(length));
    return path.substr(0, path.find_last_of('/') + 1);
}

} // namespace tuft::host
