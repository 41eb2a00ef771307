// Text output formatted on every core, written in order: the bytes are the same
// whatever the number of threads.
#pragma once

#include "atomic_file.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace tuft::meshio {

// Appends text to a string; numbers through std::to_chars, which ignores the locale.
class TextAppender {
public:
    explicit TextAppender(std::string &out) : out_(out) {}
    void character(char c) { out_.push_back(c); }
    void text(const char *s, std::size_t n) { out_.append(s, n); }
    void text(const std::string &s) { out_.append(s); }
    void literal(const char *s) { out_.append(s); }
    // Shortest text that reads back as the same value.
    template <typename Number> void number(Number value)
    {
        char digits[32];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        out_.append(digits, static_cast<std::size_t>(end - digits));
    }

private:
    std::string &out_;
};

inline std::size_t coreCount()
{
    if (const char *threads = std::getenv("TUFT_THREADS"))
        return std::max(1, std::atoi(threads));
    return std::max(1u, std::thread::hardware_concurrency());
}

// Formats items [0, count) with format(first, end, appender) in chunks of `perChunk`,
// spread over `threads` threads, and writes the chunks to `write` in order.
template <typename Format, typename Write>
void formatInChunks(std::size_t count, std::size_t perChunk, const Format &format, const Write &write,
                    std::size_t threads = coreCount())
{
    threads = std::max<std::size_t>(1, threads);
    const std::size_t chunks = (count + perChunk - 1) / perChunk;
    // Each chunk's text keeps its storage from batch to batch: fresh memory is costly.
    std::vector<std::string> texts(threads);
    for (std::string &text : texts)
        text.reserve(perChunk * 48);
    for (std::size_t first = 0; first < chunks; first += threads) {
        const std::size_t batch = std::min(threads, chunks - first);
        const auto formatChunk = [&](std::size_t t) {
            texts[t].clear();
            TextAppender out(texts[t]);
            const std::size_t begin = (first + t) * perChunk;
            format(begin, std::min(count, begin + perChunk), out);
        };
        std::vector<std::thread> helpers;
        for (std::size_t t = 1; t < batch; ++t)
            helpers.emplace_back(formatChunk, t);
        formatChunk(0);
        for (std::thread &helper : helpers)
            helper.join();
        for (std::size_t t = 0; t < batch; ++t)
            write(texts[t]);
    }
}

template <typename Format>
void writeInChunks(AtomicFile &file, std::size_t count, std::size_t perChunk, const Format &format)
{
    formatInChunks(count, perChunk, format, [&](const std::string &text) { file.write(text.data(), text.size()); });
}

} // namespace tuft::meshio
