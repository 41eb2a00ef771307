// The module descriptor, the only export, and activation.
#include "plugin/entry/activation.h"
#include "sdk/modeler_host_layout.h" // the descriptor and tables proven at their offsets

#include <cstdint>

namespace tuft {

namespace {

enum ActivationResult { kRan = 0, kWrongVersion = 1, kServiceMissing = 2 };

void *startup() { return reinterpret_cast<void *>(static_cast<std::uintptr_t>(4)); }

void shutdown(void *) {}

template <typename T> T lookup(MhGlobalFn global, const char *name) { return reinterpret_cast<T>(global(name, 0)); }

// Requests the first service group (after "Product Info"), in the host's documented
// order. True when every one of them is present.
bool acquireFirstGroup(MhGlobalFn global, Host &host)
{
    host.monitor = lookup<const MhDynamicMonitor *>(global, "LWM: Dynamic Monitor");
    host.layerQuery = lookup<const MhStateQuery *>(global, "LWM: State Query 3");
    // Required although nothing here calls through them.
    void *surfaces = global("Surface Functions 3", 0);
    void *fonts = global("LWM: Font List", 0);
    void *display = global("Host Display Info", 0);
    void *oldRequest = global("File Request", 0);
    host.messages = lookup<const MhInfoMessages *>(global, "Info Messages 2");
    host.directoryInfo = lookup<MhDirectoryInfoFn>(global, "Directory Info");
    return host.monitor && host.layerQuery && surfaces && fonts && display && oldRequest && host.messages &&
           host.directoryInfo;
}

bool acquireSecondGroup(MhGlobalFn global, Host &host)
{
    host.panels = lookup<const MhPanelServices *>(global, "LWPanelServices");
    host.selectionQuery = lookup<const MhStateQuery *>(global, "LWM: State Query 3");
    host.fileRequest = lookup<MhFileRequestFn>(global, "File Request 2");
    host.sceneObjects = lookup<const MhSceneObjects *>(global, "Scene Objects 5");
    return host.panels && host.selectionQuery && host.fileRequest && host.sceneObjects;
}

int activate(int version, MhGlobalFn global, void *local, void * /*serverData*/)
{
    if (version != static_cast<int>(MH_MODULE_VERSION))
        return kWrongVersion;
    if (global == nullptr)
        return kServiceMissing;
    Host host = {};
    const bool productInfo = global("Product Info", 0) != nullptr;
    const bool firstGroup = productInfo && acquireFirstGroup(global, host);
    if (firstGroup) {
        host.commands = static_cast<const MhCommandSequence *>(local);
        host.commandSelectionMode = 0;
    }
    const bool secondGroup = acquireSecondGroup(global, host);
    // A missing command-sequence interface is as fatal as a missing service.
    if (!firstGroup || !secondGroup || local == nullptr)
        return kServiceMissing;
    runGeneration(host);
    return kRan;
}

const MhServerRecord kServers[] = {
    {"CommandSequence", "ZEL_Tuftsprout", activate, nullptr},
    {nullptr, nullptr, nullptr, nullptr},
};

} // namespace

void showInfo(const Host &host, const char *firstLine, const char *secondLine)
{
    if (host.messages != nullptr && host.messages->info != nullptr)
        host.messages->info(firstLine, secondLine);
}

void showWarning(const Host &host, const char *firstLine, const char *secondLine)
{
    if (host.messages != nullptr && host.messages->warning != nullptr)
        host.messages->warning(firstLine, secondLine);
}

int hostSelectionMode(const Host &host) { return host.selectionQuery->selectionMode(0); }

bool beginEdit(Host &host)
{
    host.edit = host.commands->meshEditBegin(host.commands->data, 0, 0, 1);
    return host.edit != nullptr;
}

void endEdit(Host &host)
{
    if (host.edit == nullptr)
        return;
    host.edit->done(host.edit->state, 0, 0);
    host.edit = nullptr;
}

} // namespace tuft

#if defined(_WIN32)
#define TUFT_EXPORT __declspec(dllexport)
#else
#define TUFT_EXPORT __attribute__((visibility("default")))
#endif

extern "C" TUFT_EXPORT const MhModuleDescriptor _mod_descrip;
extern "C" TUFT_EXPORT const MhModuleDescriptor _mod_descrip = {
    MH_MODULE_SYNC, MH_MODULE_VERSION, MH_MODULE_MACHINE, tuft::startup, tuft::shutdown, tuft::kServers,
};
