// A growable array of plain values for the host's meshes. Large arrays live in their
// own mappings and grow in place with mremap, so appending never copies the array and
// touches each byte once: fresh memory is what costs, not the copying. As a large array
// fills, the pages just ahead of its end are made ready on another core, so that the
// cost of fresh memory is paid beside the work instead of in its way. (On Windows the
// storage is the C library's heap: flat_array_windows.cpp.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <type_traits>
#include <utility>

namespace tuft::host {

namespace detail {
// Raw storage of `bytes` bytes that keeps `used` bytes of `old` (null for new storage).
void *growStorage(void *old, std::size_t oldBytes, std::size_t used, std::size_t bytes);
void releaseStorage(void *storage, std::size_t bytes);
// Whether storage of that size is a mapping of its own.
bool isMappedSize(std::size_t bytes);
// Asks for the pages of [start, start + bytes) of mapped storage to be made ready by a
// helper thread. Only page tables change, never contents, so a range that has moved or
// gone by the time the helper gets to it does no harm.
void prepareAhead(void *start, std::size_t bytes);

constexpr std::size_t kPrepareStep = std::size_t(4) << 20;   // a request every 4 MiB of growth
constexpr std::size_t kPrepareAhead = std::size_t(16) << 20; // for the next 16 MiB
constexpr std::size_t kNever = ~std::size_t(0);
} // namespace detail

template <typename T> class FlatArray {
    static_assert(std::is_trivially_copyable_v<T>, "FlatArray holds plain values");

public:
    FlatArray() = default;
    FlatArray(std::initializer_list<T> values) { append(values.begin(), values.size()); }
    FlatArray(const FlatArray &other) { append(other.data_, other.size_); }
    FlatArray(FlatArray &&other) noexcept { swap(other); }
    FlatArray &operator=(const FlatArray &other)
    {
        if (this != &other) {
            size_ = 0;
            append(other.data_, other.size_);
        }
        return *this;
    }
    FlatArray &operator=(FlatArray &&other) noexcept
    {
        swap(other);
        return *this;
    }
    ~FlatArray() { detail::releaseStorage(data_, capacity_ * sizeof(T)); }

    void swap(FlatArray &other) noexcept
    {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
        std::swap(prepared_, other.prepared_);
        std::swap(prepareAt_, other.prepareAt_);
    }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T *data() { return data_; }
    const T *data() const { return data_; }
    T *begin() { return data_; }
    T *end() { return data_ + size_; }
    const T *begin() const { return data_; }
    const T *end() const { return data_ + size_; }
    T &operator[](std::size_t i) { return data_[i]; }
    const T &operator[](std::size_t i) const { return data_[i]; }
    T &back() { return data_[size_ - 1]; }
    const T &back() const { return data_[size_ - 1]; }

    // Empties the array and keeps its storage.
    void clear() { size_ = 0; }

    void reserve(std::size_t count)
    {
        if (count <= capacity_)
            return;
        data_ =
            static_cast<T *>(detail::growStorage(data_, capacity_ * sizeof(T), size_ * sizeof(T), count * sizeof(T)));
        capacity_ = count;
        prepared_ = size_ * sizeof(T); // the new part of the mapping is fresh
        prepareAt_ = detail::isMappedSize(capacity_ * sizeof(T)) ? prepared_ : detail::kNever;
    }

    void push_back(const T &value)
    {
        if (size_ == capacity_)
            grow(size_ + 1);
        data_[size_++] = value;
        prepareWhenDue();
    }

    void append(const T *values, std::size_t count)
    {
        if (count == 0)
            return;
        if (size_ + count > capacity_)
            grow(size_ + count);
        std::memcpy(static_cast<void *>(data_ + size_), values, count * sizeof(T));
        size_ += count;
        prepareWhenDue();
    }

    void resize(std::size_t count, const T &value = T())
    {
        if (count > capacity_)
            grow(count);
        for (std::size_t i = size_; i < count; ++i)
            data_[i] = value;
        size_ = count;
        prepareWhenDue();
    }

    // Removes `count` values from `first` on; those after move down.
    void erase(std::size_t first, std::size_t count)
    {
        std::memmove(static_cast<void *>(data_ + first), data_ + first + count, (size_ - first - count) * sizeof(T));
        size_ -= count;
    }

    void assign(std::size_t count, const T &value)
    {
        size_ = 0;
        resize(count, value);
    }

private:
    void grow(std::size_t needed) { reserve(needed > 2 * capacity_ ? needed : 2 * capacity_ + 16); }

    void prepareWhenDue()
    {
        if (size_ * sizeof(T) >= prepareAt_)
            prepareNext();
    }

    // Asks for the next stretch past the end, up to the capacity, to be made ready.
    void prepareNext()
    {
        const std::size_t used = size_ * sizeof(T);
        const std::size_t room = capacity_ * sizeof(T) - used;
        const std::size_t end = used + (room < detail::kPrepareAhead ? room : detail::kPrepareAhead);
        // From half way on: the stretch just past the end is this thread's to touch soon,
        // and two threads faulting the same pages wait for each other.
        const std::size_t lead = used + (room < detail::kPrepareAhead / 2 ? room : detail::kPrepareAhead / 2);
        const std::size_t start = prepared_ > lead ? prepared_ : lead;
        if (end > start)
            detail::prepareAhead(reinterpret_cast<unsigned char *>(data_) + start, end - start);
        prepared_ = end;
        prepareAt_ = end < used + room ? used + detail::kPrepareStep : detail::kNever;
    }

    T *data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    std::size_t prepared_ = 0;               // bytes up to which pages were asked for
    std::size_t prepareAt_ = detail::kNever; // used bytes at which to ask for more
};

template <typename T> bool operator==(const FlatArray<T> &a, const FlatArray<T> &b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

} // namespace tuft::host
