#include "host/loader.h"

#include <cstring>
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

namespace tuft::host {

namespace {

constexpr int kMostServers = 1024; // a table longer than this is not terminated

std::string hex(unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

// A name without a slash would send the dynamic loader through its search path; a
// plug-in is always the file the path names.
std::string asFilePath(const std::string &path) { return path.find('/') == std::string::npos ? "./" + path : path; }

} // namespace

PluginLibrary::PluginLibrary(const std::string &path, const std::string &serverName) : path_(path)
{
    handle_ = dlopen(asFilePath(path).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char *reason = dlerror();
        throw PluginError("cannot load plug-in " + path + ": " + (reason ? reason : "not a shared library"));
    }
    try {
        descriptor_ = static_cast<const MhModuleDescriptor *>(dlsym(handle_, "_mod_descrip"));
        if (descriptor_ == nullptr)
            throw PluginError(path + " is not a Modeler plug-in: it has no _mod_descrip");
        if (descriptor_->sync != MH_MODULE_SYNC)
            throw PluginError(path + " is not a Modeler plug-in: its sync word is " + hex(descriptor_->sync) +
                              ", not " + hex(MH_MODULE_SYNC));
        if (descriptor_->version != MH_MODULE_VERSION)
            throw PluginError(path + " speaks module version " + std::to_string(descriptor_->version) +
                              "; this host speaks " + std::to_string(MH_MODULE_VERSION));
        for (const MhServerRecord *record = descriptor_->servers;
             record != nullptr && record->className != nullptr && record < descriptor_->servers + kMostServers;
             ++record) {
            if (std::strcmp(record->className, "CommandSequence") == 0 && record->serverName != nullptr &&
                serverName == record->serverName && record->activate != nullptr) {
                server_ = record;
                break;
            }
        }
        if (server_ == nullptr)
            throw PluginError(path + " has no CommandSequence server named " + serverName);
        if (descriptor_->startup == nullptr || (token_ = descriptor_->startup()) == nullptr)
            throw PluginError(path + ": the plug-in's startup failed");
    } catch (...) {
        dlclose(handle_);
        throw;
    }
}

PluginLibrary::~PluginLibrary()
{
    if (descriptor_->shutdown != nullptr)
        descriptor_->shutdown(token_);
    dlclose(handle_);
}

int PluginLibrary::activate(int version, MhGlobalFn global, void *local, void *serverData) const
{
    return server_->activate(version, global, local, serverData);
}

std::string defaultPluginPath()
{
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return "tuftsprout.so";
    std::string path(self, static_cast<std::size_t>(length));
    return path.substr(0, path.find_last_of('/') + 1) + "tuftsprout.so";
}

} // namespace tuft::host
