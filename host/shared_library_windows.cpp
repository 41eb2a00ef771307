#include "host/shared_library.h"

#include <windows.h>

namespace tuft::host {

const char *const kPluginFileName = "tuftsprout.dll";

namespace {

// The system's text for an error code, without its line break.
std::string systemMessage(DWORD error)
{
    char *text = nullptr;
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<char *>(&text), 0, nullptr);
    std::string message = length > 0 && text != nullptr ? std::string(text, length) : std::string();
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    if (message.empty())
        message = "system error " + std::to_string(error);
    return message;
}

} // namespace

void *openLibrary(const std::string &path, std::string &problem)
{
    // With a path, the library's own folder is searched for what it depends on, and the
    // file is the one named, never one found on the search path.
    const bool hasFolder = path.find_first_of("/\\:") != std::string::npos;
    const std::string file = hasFolder ? path : ".\\" + path;
    HMODULE library = LoadLibraryExA(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (library == nullptr) {
        problem = systemMessage(GetLastError());
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
