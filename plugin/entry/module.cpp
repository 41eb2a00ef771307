// The module descriptor, the only export, and activation.
#include "entry/services.h"
#include "grow/run.h"

#include <cstdint>

namespace tuft {

HostServices g_host;

void showInfo(const char *firstLine, const char *secondLine)
{
    if (g_host.messages != nullptr && g_host.messages->info != nullptr)
        g_host.messages->info(firstLine, secondLine);
}

void showWarning(const char *firstLine, const char *secondLine)
{
    if (g_host.messages != nullptr && g_host.messages->warning != nullptr)
        g_host.messages->warning(firstLine, secondLine);
}

int hostSelectionMode()
{
    return g_host.selectionQuery->selectionMode(0);
}

namespace {

enum ActivationResult { kRan = 0, kWrongVersion = 1, kServiceMissing = 2 };

void *startup()
{
    return reinterpret_cast<void *>(static_cast<std::uintptr_t>(4));
}

void shutdown(void *) {}

template <typename T> T lookup(MhGlobalFn global, const char *name)
{
    return reinterpret_cast<T>(global(name, 0));
}

// Requests the first service group (after "Product Info"), in the host's documented
// order. True when every one of them is present.
bool acquireFirstGroup(MhGlobalFn global)
{
    g_host.monitor = lookup<const MhDynamicMonitor *>(global, "LWM: Dynamic Monitor");
    g_host.layerQuery = lookup<const MhStateQuery *>(global, "LWM: State Query 3");
    // Required although nothing here calls through them.
    void *surfaces = global("Surface Functions 3", 0);
    void *fonts = global("LWM: Font List", 0);
    void *display = global("Host Display Info", 0);
    void *oldRequest = global("File Request", 0);
    g_host.messages = lookup<const MhInfoMessages *>(global, "Info Messages 2");
    g_host.directoryInfo = lookup<MhDirectoryInfoFn>(global, "Directory Info");
    return g_host.monitor && g_host.layerQuery && surfaces && fonts && display && oldRequest &&
           g_host.messages && g_host.directoryInfo;
}

bool acquireSecondGroup(MhGlobalFn global)
{
    g_host.panels = lookup<const MhPanelServices *>(global, "LWPanelServices");
    g_host.selectionQuery = lookup<const MhStateQuery *>(global, "LWM: State Query 3");
    g_host.fileRequest = lookup<MhFileRequestFn>(global, "File Request 2");
    g_host.sceneObjects = lookup<const MhSceneObjects *>(global, "Scene Objects 5");
    return g_host.panels && g_host.selectionQuery && g_host.fileRequest && g_host.sceneObjects;
}

int activate(int version, MhGlobalFn global, void *local, void * /*serverData*/)
{
    if (version != static_cast<int>(MH_MODULE_VERSION))
        return kWrongVersion;
    if (global == nullptr)
        return kServiceMissing;
    const bool productInfo = global("Product Info", 0) != nullptr;
    const bool firstGroup = productInfo && acquireFirstGroup(global);
    if (firstGroup) {
        g_host.commands = static_cast<const MhCommandSequence *>(local);
        g_host.commandSelectionMode = 0;
    }
    const bool secondGroup = acquireSecondGroup(global);
    // A missing command-sequence interface is as fatal as a missing service.
    if (!firstGroup || !secondGroup || local == nullptr)
        return kServiceMissing;
    runGeneration();
    return kRan;
}

const MhServerRecord kServers[] = {
    {"CommandSequence", "ZEL_Tuftsprout", activate, nullptr},
    {nullptr, nullptr, nullptr, nullptr},
};

} // namespace
} // namespace tuft

#if defined(_WIN32)
#define TUFT_EXPORT __declspec(dllexport)
#else
#define TUFT_EXPORT __attribute__((visibility("default")))
#endif

extern "C" TUFT_EXPORT const MhModuleDescriptor _mod_descrip;
extern "C" TUFT_EXPORT const MhModuleDescriptor _mod_descrip = {
    MH_MODULE_SYNC, MH_MODULE_VERSION, MH_MODULE_MACHINE,
    tuft::startup,  tuft::shutdown,    tuft::kServers,
};
