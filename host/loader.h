// Opens a plug-in library through its module descriptor, the way a Modeler does.
#pragma once

#include "sdk/modeler_host.h"

#include <stdexcept>
#include <string>

namespace tuft::host {

// Why a file could not be used as a plug-in; the message names the file.
class PluginError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class PluginLibrary {
public:
    // Opens the library, checks its descriptor, finds the "CommandSequence" server of that
    // name and calls startup. Throws PluginError with a clear message otherwise.
    explicit PluginLibrary(const std::string &path, const std::string &serverName = "ZEL_Tuftsprout");
    // Calls shutdown with the startup token, then closes the library.
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary &) = delete;
    PluginLibrary &operator=(const PluginLibrary &) = delete;

    int activate(int version, MhGlobalFn global, void *local, void *serverData) const;
    const MhModuleDescriptor &descriptor() const { return *descriptor_; }
    const std::string &path() const { return path_; }

private:
    std::string path_;
    void *handle_ = nullptr;
    const MhModuleDescriptor *descriptor_ = nullptr;
    const MhServerRecord *server_ = nullptr;
    void *token_ = nullptr;
};

// The plug-in beside the running program: <program's folder>/tuftsprout.so (.dll on
// Windows).
std::string defaultPluginPath();

} // namespace tuft::host
