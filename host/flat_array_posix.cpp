#include "host/flat_array.h"

#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <new>
#include <sys/mman.h>
#include <system_error>
#include <thread>

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23 // Linux 5.14
#endif

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

// One helper thread for the process that makes requested pages ready, oldest request
// first. It keeps few requests: when it falls behind, the arrays fault their pages in
// themselves, as they would without it.
class PagePreparer {
public:
    ~PagePreparer()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        if (helper_.joinable())
            helper_.join();
    }

    void request(void *start, std::size_t bytes)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (unsupported_ || stopping_ || pending_.size() >= kMostPending)
            return;
        if (!helper_.joinable()) {
            try {
                helper_ = std::thread([this] { prepareRequested(); });
            } catch (const std::system_error &) {
                unsupported_ = true;
                return;
            }
        }
        pending_.push_back({start, bytes});
        changed_.notify_all();
    }

private:
    struct Range {
        void *start;
        std::size_t bytes;
    };
    static constexpr std::size_t kMostPending = 16;

    void prepareRequested()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
            if (stopping_)
                return;
            const Range range = pending_.front();
            pending_.pop_front();
            lock.unlock();
            // Whole pages only; a range that is no longer mapped just fails.
            const auto first = reinterpret_cast<std::uintptr_t>(range.start) & ~std::uintptr_t(4095);
            const auto end = reinterpret_cast<std::uintptr_t>(range.start) + range.bytes;
            const bool refused = madvise(reinterpret_cast<void *>(first), end - first, MADV_POPULATE_WRITE) != 0 &&
                                 errno == EINVAL; // a kernel without it
            lock.lock();
            unsupported_ = unsupported_ || refused;
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Range> pending_;
    std::thread helper_;
    bool stopping_ = false;
    bool unsupported_ = false;
};

} // namespace

bool isMappedSize(std::size_t bytes) { return isMapped(bytes); }

void prepareAhead(void *start, std::size_t bytes)
{
    static PagePreparer preparer;
    preparer.request(start, bytes);
}

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
