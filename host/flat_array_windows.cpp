// FlatArray's storage on Windows: the C library's heap. Without mremap, growth copies;
// there is no helper to make pages ready ahead.
#include "host/flat_array.h"

#include <cstdlib>
#include <new>

namespace tuft::host::detail {

bool isMappedSize(std::size_t) { return false; }

void prepareAhead(void *, std::size_t) {}

void *growStorage(void *old, std::size_t, std::size_t, std::size_t bytes)
{
    void *grown = std::realloc(old, bytes);
    if (grown == nullptr)
        throw std::bad_alloc();
    return grown;
}

void releaseStorage(void *storage, std::size_t) { std::free(storage); }

} // namespace tuft::host::detail
