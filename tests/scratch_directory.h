// A fresh directory per test, named after it and removed afterwards.
#pragma once

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace tuft::testing {

class ScratchDirectory {
public:
    explicit ScratchDirectory(const std::string &prefix)
        : path_(std::filesystem::path(::testing::TempDir()) /
                (prefix + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name()))
    {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDirectory() { std::filesystem::remove_all(path_); }
    ScratchDirectory(const ScratchDirectory &) = delete;
    ScratchDirectory &operator=(const ScratchDirectory &) = delete;

    const std::filesystem::path &path() const { return path_; }
    std::string operator/(const std::string &name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

} // namespace tuft::testing
