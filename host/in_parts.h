// Reading a large layer on every core: placing millions of instances is work to share.
#pragma once

#include <algorithm>
#include <cstddef>
#include <future>
#include <system_error>
#include <thread>
#include <vector>

namespace tuft::host {

// `part(first, end)` for [0, count) cut in a range a core, the first on the calling
// thread; their results in order. A range no thread can be had for runs on the calling
// thread, and a count too small to be worth threads is one range.
template <typename Part> auto inParts(std::size_t count, const Part &part)
{
    using Result = decltype(part(std::size_t(), std::size_t()));
    constexpr std::size_t kLeastEach = std::size_t(1) << 16;
    const std::size_t parts =
        std::clamp<std::size_t>(std::min<std::size_t>(std::thread::hardware_concurrency(), count / kLeastEach), 1, 64);
    const auto bound = [&](std::size_t k) { return count / parts * k + std::min(k, count % parts); };
    std::vector<std::future<Result>> others;
    for (std::size_t k = 1; k < parts; ++k) {
        try {
            others.push_back(std::async(std::launch::async, part, bound(k), bound(k + 1)));
        } catch (const std::system_error &) {
            others.push_back(std::async(std::launch::deferred, part, bound(k), bound(k + 1)));
        }
    }
    std::vector<Result> results{part(0, bound(1))};
    for (std::future<Result> &other : others)
        results.push_back(other.get());
    return results;
}

} // namespace tuft::host
