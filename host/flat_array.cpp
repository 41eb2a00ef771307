#include "flat_array.h"

#include <cstdint>
#include <cstdlib>
#include <new>
#include <sys/mman.h>

namespace tuft::host::detail {

namespace {

// Smaller storage comes from malloc; larger storage is a mapping of its own, in whole
// 2 MiB blocks on 2 MiB boundaries, where the kernel can back it with huge pages. The
// first touch of fresh memory is what growth costs (very much so in a virtual machine),
// and huge pages take one fault where small ones take 512.
constexpr std::size_t kMappedFrom = std::size_t(1) << 20;
constexpr std::size_t kBlock = std::size_t(2) << 20;

std::size_t blockRounded(std::size_t bytes) { return (bytes + kBlock - 1) / kBlock * kBlock; }

bool isMapped(std::size_t bytes) { return bytes >= kMappedFrom; }

// A fresh mapping of `bytes` (a whole number of blocks) on a block boundary.
void *mapAligned(std::size_t bytes)
{
    const std::size_t padded = bytes + kBlock;
    void *raw = mmap(nullptr, padded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kBlock - 1) / kBlock * kBlock;
    if (aligned > start)
        munmap(raw, aligned - start);
    const std::uintptr_t tail = aligned + bytes;
    if (start + padded > tail)
        munmap(reinterpret_cast<void *>(tail), start + padded - tail);
    void *region = reinterpret_cast<void *>(aligned);
    madvise(region, bytes, MADV_HUGEPAGE);
    return region;
}

} // namespace

void *growStorage(void *old, std::size_t oldBytes, std::size_t used, std::size_t bytes)
{
    if (!isMapped(bytes)) {
        void *grown = std::realloc(old, bytes);
        if (grown == nullptr)
            throw std::bad_alloc();
        return grown;
    }
    const std::size_t size = blockRounded(bytes);
    if (old != nullptr && isMapped(oldBytes) && blockRounded(oldBytes) == size)
        return old;
    void *grown = mapAligned(size);
    if (old == nullptr)
        return grown;
    if (isMapped(oldBytes)) {
        // Move the old pages to the front of the new block instead of copying them.
        const std::size_t oldSize = blockRounded(oldBytes);
        if (mremap(old, oldSize, oldSize, MREMAP_MAYMOVE | MREMAP_FIXED, grown) == MAP_FAILED) {
            std::memcpy(grown, old, used);
            munmap(old, oldSize);
        }
    } else {
        std::memcpy(grown, old, used);
        std::free(old);
    }
    return grown;
}

void releaseStorage(void *storage, std::size_t bytes)
{
    if (storage == nullptr)
        return;
    if (isMapped(bytes))
        munmap(storage, blockRounded(bytes));
    else
        std::free(storage);
}

} // namespace tuft::host::detail
