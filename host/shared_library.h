// Opening a shared library and finding a symbol in it: the one place where the
// platform's loader shows (dlopen on POSIX systems, LoadLibrary on Windows).
#pragma once

#include <string>

namespace tuft::host {

// The plug-in's file name on this platform: tuftsprout.so or tuftsprout.dll.
extern const char *const kPluginFileName;

// Opens the library that `path` names (never one found on a search path); null with
// `problem` saying why when it cannot.
void *openLibrary(const std::string &path, std::string &problem);
void *findSymbol(void *library, const char *name);
void closeLibrary(void *library);

// The folder of the running program, with its trailing separator; empty if unknown.
std::string programFolder();

} // namespace tuft::host
