// Text formatted in chunks on several threads and written in order.
#include "meshio/parallel_text.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tuft {
namespace {

TEST(ParallelText, TheSameBytesWhateverTheThreads)
{
    const auto format = [](std::size_t first, std::size_t end, meshio::TextAppender &out) {
        for (std::size_t i = first; i < end; ++i) {
            out.number(i * 0.1);
            out.character(i % 7 == 0 ? '\n' : ' ');
        }
    };
    std::vector<std::string> results;
    for (std::size_t count : {0, 1, 99, 10007}) {
        std::vector<std::string> results;
        for (std::size_t threads : {1, 2, 3, 8}) {
            std::string all;
            meshio::formatInChunks(
                count, 100, format, [&](std::string_view text, std::size_t) { all += text; }, threads);
            results.push_back(all);
        }
        for (const std::string &result : results)
            EXPECT_EQ(result, results[0]);
        // Every item once: each ends in a separator.
        EXPECT_EQ(std::count_if(results[0].begin(), results[0].end(), [](char c) { return c == ' ' || c == '\n'; }),
                  static_cast<std::ptrdiff_t>(count));
    }
}

TEST(ParallelText, WhatFormattingOrWritingThrowsComesBack)
{
    const auto format = [](std::size_t first, std::size_t end, meshio::TextAppender &out) {
        if (first == 500)
            throw std::runtime_error("no room");
        for (std::size_t i = first; i < end; ++i)
            out.character('x');
    };
    for (std::size_t threads : {1, 2, 8}) {
        std::size_t written = 0;
        EXPECT_THROW(
            meshio::formatInChunks(
                10000, 100, format, [&](std::string_view text, std::size_t) { written += text.size(); }, threads),
            std::runtime_error);
        EXPECT_LE(written, 500u); // nothing after the chunk that failed
        const auto refuse = [](std::string_view, std::size_t) { throw std::runtime_error("disk full"); };
        EXPECT_THROW(meshio::formatInChunks(
                         10000, 100, [](std::size_t, std::size_t, meshio::TextAppender &) {}, refuse, threads),
                     std::runtime_error);
    }
}

} // namespace
} // namespace tuft
