// Text output formatted on every core, written in order: the bytes are the same
// whatever the number of threads.
#pragma once

#include "meshio/atomic_file.h"
#include "meshio/number_text.h"
#include "meshio/writing.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <type_traits>
#include <vector>

namespace tuft::meshio {

// A byte buffer that keeps its storage from use to use: fresh memory is costly.
class TextBuffer {
public:
    void clear() { size_ = 0; }
    // Where at least `bytes` more bytes may be written, up to limit(); advance() says
    // how far they were.
    char *room(std::size_t bytes)
    {
        if (capacity_ - size_ < bytes)
            grow(bytes);
        return data_.get() + size_;
    }
    char *limit() const { return data_.get() + capacity_; }
    void advance(char *end) { size_ = static_cast<std::size_t>(end - data_.get()); }
    std::string_view view() const { return {data_.get(), size_}; }

private:
    void grow(std::size_t bytes)
    {
        capacity_ = std::max(2 * capacity_, size_ + bytes);
        std::unique_ptr<char[]> larger(new char[capacity_]);
        if (size_ > 0)
            std::memcpy(larger.get(), data_.get(), size_);
        data_ = std::move(larger);
    }

    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0, capacity_ = 0;
};

// Appends text to a buffer; numbers are written as std::to_chars writes them. Its place
// in the buffer is its own until it goes: threads writing neighbouring buffers never
// share a cache line.
class TextAppender {
public:
    explicit TextAppender(TextBuffer &out) : out_(out), at_(out.room(0)), limit_(out.limit()) {}
    ~TextAppender() { out_.advance(at_); }
    TextAppender(const TextAppender &) = delete;
    TextAppender &operator=(const TextAppender &) = delete;

    void character(char c) { *room(1)++ = c; }
    void text(std::string_view s)
    {
        std::memcpy(room(s.size()), s.data(), s.size());
        at_ += s.size();
    }
    // Up to kNumberTextMax bytes from `text`, which has that many to read: one copy of
    // a fixed size, a few vector moves where text() calls memcpy. Text of up to eight
    // bytes is read as the one word writeNumber stored it as: a wider read would wait
    // for that store to land.
    void numberText(const char *text, std::size_t length)
    {
        char *&at = room(kNumberTextMax);
        if (length <= 8)
            std::memcpy(at, text, 8);
        else
            std::memcpy(at, text, kNumberTextMax);
        at += length;
    }
    // Shortest text that reads back as the same value.
    template <typename Float> void number(Float value, NumberMemo<Float> &memo)
    {
        at_ = memo.write(room(kNumberTextMax), value);
    }
    // Text that make(at) writes at `at`, at most `most` bytes, returning its end.
    template <typename Make> void made(std::size_t most, const Make &make) { at_ = make(room(most)); }
    template <typename Number> void number(Number value)
    {
        if constexpr (std::is_floating_point_v<Number>)
            at_ = writeNumber(room(kNumberTextMax), value);
        else
            at_ = writeNumber(room(kNumberTextMax), static_cast<std::uint64_t>(value));
    }

private:
    char *&room(std::size_t bytes)
    {
        if (static_cast<std::size_t>(limit_ - at_) < bytes) {
            out_.advance(at_);
            at_ = out_.room(bytes);
            limit_ = out_.limit();
        }
        return at_;
    }

    TextBuffer &out_;
    char *at_, *limit_;
};

// TUFT_THREADS when set (1 to 64: each thread keeps two chunks of text), else every core.
inline std::size_t coreCount()
{
    if (const char *threads = std::getenv("TUFT_THREADS"))
        return static_cast<std::size_t>(std::clamp(std::atoi(threads), 1, 64));
    return std::max(1u, std::thread::hardware_concurrency());
}

// Formats items [0, count) with format(first, end, appender) in chunks of `perChunk`
// on `threads` helper threads, and hands each chunk's text and item count to
// write(text, items) in order on the calling thread. A helper takes the next chunk as soon as it is done with one, so
// uneven chunks keep every core busy. What format or write throws stops the work and is
// thrown again here.
template <typename Format, typename Write> void formatInChunks(std::size_t count, std::size_t perChunk,
                                                               const Format &format, const Write &write,
                                                               std::size_t threads = coreCount())
{
    const std::size_t chunks = (count + perChunk - 1) / perChunk;
    const auto itemsOf = [&](std::size_t chunk) { return std::min(count, (chunk + 1) * perChunk) - chunk * perChunk; };
    threads = std::clamp<std::size_t>(threads, 1, std::max<std::size_t>(chunks, 1));
    // Each chunk in flight has a slot; a slot's text keeps its storage from chunk to chunk.
    const std::size_t slots = 2 * threads;
    std::vector<TextBuffer> texts(slots);
    std::vector<char> ready(slots, 0);
    std::size_t nextChunk = 0, written = 0;
    std::exception_ptr failure;
    std::mutex mutex;
    std::condition_variable changed;

    const auto formatChunks = [&] {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            // A chunk may start once the one `slots` before it has been written.
            changed.wait(lock, [&] { return failure || nextChunk == chunks || nextChunk < written + slots; });
            if (failure || nextChunk == chunks)
                return;
            const std::size_t chunk = nextChunk++;
            TextBuffer &text = texts[chunk % slots];
            lock.unlock();
            std::exception_ptr thrown;
            try {
                text.clear();
                TextAppender out(text);
                const std::size_t first = chunk * perChunk;
                format(first, std::min(count, first + perChunk), out);
            } catch (...) {
                thrown = std::current_exception();
            }
            lock.lock();
            if (thrown && !failure)
                failure = thrown;
            ready[chunk % slots] = 1;
            changed.notify_all();
        }
    };
    const auto writeChunks = [&] {
        for (std::size_t chunk = 0; chunk < chunks; ++chunk) {
            const std::size_t slot = chunk % slots;
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [&] { return failure || ready[slot] != 0; });
                if (failure)
                    return;
            }
            write(texts[slot].view(), itemsOf(chunk));
            std::lock_guard<std::mutex> lock(mutex);
            ready[slot] = 0;
            written = chunk + 1;
            changed.notify_all();
        }
    };

    std::vector<std::thread> helpers;
    try {
        for (std::size_t t = 0; t < threads && chunks > 1; ++t)
            helpers.emplace_back(formatChunks);
    } catch (const std::system_error &) {
        // No more threads to be had: those running will do.
    }
    if (helpers.empty()) {
        for (std::size_t chunk = 0; chunk < chunks; ++chunk) {
            TextBuffer &text = texts[0];
            text.clear();
            {
                TextAppender out(text);
                format(chunk * perChunk, std::min(count, (chunk + 1) * perChunk), out);
            }
            write(text.view(), itemsOf(chunk));
        }
        return;
    }
    try {
        writeChunks();
    } catch (...) {
        std::lock_guard<std::mutex> lock(mutex);
        failure = std::current_exception();
        changed.notify_all();
    }
    for (std::thread &helper : helpers)
        helper.join();
    if (failure)
        std::rethrow_exception(failure);
}

// Lines a chunk of text holds: enough to keep a thread busy, few enough to keep in memory.
constexpr std::size_t kLinesPerChunk = std::size_t(1) << 16;

// Formats `count` lines in chunks on every core into the file, in order, counting them.
template <typename Format>
void writeInChunks(AtomicFile &file, ProgressCount &progress, std::size_t count, const Format &format)
{
    formatInChunks(count, kLinesPerChunk, format, [&](std::string_view text, std::size_t lines) {
        file.write(text.data(), text.size());
        progress.add(lines);
    });
}

} // namespace tuft::meshio
