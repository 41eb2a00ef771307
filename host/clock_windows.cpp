#include "host/clock.h"

#include <cstdint>
#include <cstring>
#include <ctime>
#include <windows.h>

namespace {

bool g_pinned = false;
std::int64_t g_seconds = 0;

std::int64_t now()
{
    if (g_pinned)
        return g_seconds;
    FILETIME file;
    GetSystemTimeAsFileTime(&file);
    const std::uint64_t ticks = (std::uint64_t(file.dwHighDateTime) << 32) | file.dwLowDateTime;
    return static_cast<std::int64_t>(ticks / 10000000) - 11644473600LL; // from 1601 to 1970
}

std::int32_t __cdecl clock32(std::int32_t *out)
{
    const auto seconds = static_cast<std::int32_t>(now());
    if (out != nullptr)
        *out = seconds;
    return seconds;
}

std::int64_t __cdecl clock64(std::int64_t *out)
{
    const std::int64_t seconds = now();
    if (out != nullptr)
        *out = seconds;
    return seconds;
}

// What a C library's clock function of that name is replaced with: msvcrt's time() has
// the width of a pointer, _time32 and _time64 theirs.
void *replacementFor(const char *name)
{
    if (std::strcmp(name, "_time32") == 0)
        return reinterpret_cast<void *>(&clock32);
    if (std::strcmp(name, "_time64") == 0)
        return reinterpret_cast<void *>(&clock64);
    if (std::strcmp(name, "time") == 0)
        return sizeof(void *) == 4 ? reinterpret_cast<void *>(&clock32) : reinterpret_cast<void *>(&clock64);
    return nullptr;
}

void overwrite(void **slot, void *function)
{
    DWORD was = 0;
    if (VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &was)) {
        *slot = function;
        VirtualProtect(slot, sizeof *slot, was, &was);
    }
}

} // namespace

namespace tuft::host {

void pinClock(std::optional<std::int64_t> seconds)
{
    g_pinned = seconds.has_value();
    g_seconds = seconds.value_or(0);
}

void routeClock(void *library)
{
    auto *base = static_cast<unsigned char *>(library);
    const auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE)
        return;
    const auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0)
        return;
    // Each imported DLL: its names (the original thunks) beside the addresses bound to them.
    for (auto *dll = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(base + imports.VirtualAddress); dll->Name != 0;
         ++dll) {
        if (dll->OriginalFirstThunk == 0)
            continue;
        auto *name = reinterpret_cast<const IMAGE_THUNK_DATA *>(base + dll->OriginalFirstThunk);
        auto *bound = reinterpret_cast<IMAGE_THUNK_DATA *>(base + dll->FirstThunk);
        for (; name->u1.AddressOfData != 0; ++name, ++bound) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal))
                continue;
            const auto *byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME *>(base + name->u1.AddressOfData);
            if (void *replacement = replacementFor(reinterpret_cast<const char *>(byName->Name)))
                overwrite(reinterpret_cast<void **>(&bound->u1.Function), replacement);
        }
    }
}

} // namespace tuft::host
