#include "host/loader.h"

#include "host/clock.h"
#include "host/shared_library.h"
#include "sdk/modeler_host_layout.h" // the tables proven at their offsets

#include <cstdio>
#include <cstring>

namespace tuft::host {

namespace {

constexpr int kMostServers = 1024; // a table longer than this is not terminated

std::string hex(unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

} // namespace

PluginLibrary::PluginLibrary(const std::string &path, const std::string &serverName) : path_(path)
{
    std::string problem;
    handle_ = openLibrary(path, problem);
    if (handle_ == nullptr)
        throw PluginError("cannot load plug-in " + path + ": " + problem);
    try {
        routeClock(handle_);
        descriptor_ = static_cast<const MhModuleDescriptor *>(findSymbol(handle_, "_mod_descrip"));
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
        closeLibrary(handle_);
        throw;
    }
}

PluginLibrary::~PluginLibrary()
{
    if (descriptor_->shutdown != nullptr)
        descriptor_->shutdown(token_);
    closeLibrary(handle_);
}

int PluginLibrary::activate(int version, MhGlobalFn global, void *local, void *serverData) const
{
    return server_->activate(version, global, local, serverData);
}

std::string defaultPluginPath() { return programFolder() + kPluginFileName; }

} // namespace tuft::host
