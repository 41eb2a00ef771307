#include "host/shared_library.h"

#include "host/windows_error.h"

#include <windows.h>

namespace tuft::host {

const char *const kPluginFileName = "tuftsprout.dll";

void *openLibrary(const std::string &path, std::string &problem)
{
    // With a path, the library's own folder is searched for what it depends on, and the
    // file is the one named, never one found on the search path.
    const bool hasFolder = path.find_first_of("/\\:") != std::string::npos;
    const std::string file = hasFolder ? path : ".\\" + path;
    HMODULE library = LoadLibraryExA(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (library == nullptr) {
        problem = windowsErrorText(GetLastError());
        return nullptr;
    }
    return reinterpret_cast<void *>(library);
}

void *findSymbol(void *library, const char *name)
{
    return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void closeLibrary(void *library) { FreeLibrary(static_cast<HMODULE>(library)); }

std::string programFolder()
{
    char self[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    if (length == 0 || length >= sizeof self)
        return {};
    const std::string path(self, length);
    return path.substr(0, path.find_last_of("\\/") + 1);
}

} // namespace tuft::host
