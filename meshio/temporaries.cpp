// The temporary files being written, and removing them when a signal stops the program.
#include "meshio/file_system.h"

#include "host/paths.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace tuft::meshio::files {

namespace {

constexpr std::size_t kLongestName = 4096;

// A fixed table the signal handler can walk without taking locks or memory.
constexpr int kTemporarySlots = 16;
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

std::string temporaryStem(const std::string &targetPath)
{
    constexpr std::size_t kLongestFileName = 255; // NAME_MAX, and NTFS's limit
    const std::string suffix = ".tuftsprout-";
    const std::size_t folder = host::folderOf(targetPath).size();
    std::size_t cut = targetPath.size();
    if (cut - folder + suffix.size() + 6 > kLongestFileName) {
        cut = folder + kLongestFileName - suffix.size() - 6;
        while (cut > folder && (static_cast<unsigned char>(targetPath[cut]) & 0xC0) == 0x80)
            --cut; // within a UTF-8 character
    }
    return targetPath.substr(0, cut) + suffix;
}

void forgetTemporary(const std::string &name)
{
    for (TemporarySlot &slot : g_temporaries)
        if (slot.state.load() == kReady && name == slot.name)
            slot.state.store(kFree);
}

} // namespace tuft::meshio::files
