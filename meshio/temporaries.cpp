// The temporary files being written, and removing them when a signal stops the program.
#include "meshio/file_system.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace tuft::meshio::files {

namespace {

constexpr std::size_t kLongestName = 4096;

// A fixed table the signal handler can walk without taking locks or memory.
constexpr int kTemporarySlots = 8;
enum SlotState { kFree, kClaimed, kReady };
struct TemporarySlot {
    std::atomic<int> state{kFree};
    char name[kLongestName];
};
TemporarySlot g_temporaries[kTemporarySlots];

void removeAndStop(int signal)
{
    for (TemporarySlot &slot : g_temporaries)
        if (slot.state.load() == kReady)
            unlink(slot.name);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace

void removeTemporariesOnSignals()
{
    for (int signal : {SIGINT, SIGTERM})
        std::signal(signal, removeAndStop);
#ifdef SIGHUP // POSIX only
    std::signal(SIGHUP, removeAndStop);
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

void rememberTemporary(const std::string &name)
{
    if (name.size() >= kLongestName)
        return;
    for (TemporarySlot &slot : g_temporaries) {
        int free = kFree;
        if (!slot.state.compare_exchange_strong(free, kClaimed))
            continue;
        std::memcpy(slot.name, name.c_str(), name.size() + 1);
        slot.state.store(kReady);
        return;
    }
}

void forgetTemporary(const std::string &name)
{
    for (TemporarySlot &slot : g_temporaries)
        if (slot.state.load() == kReady && name == slot.name)
            slot.state.store(kFree);
}

} // namespace tuft::meshio::files
