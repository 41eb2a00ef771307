// A fresh directory per test, named after it and removed afterwards. A random part in
// the name keeps two runs of one test apart (two builds' suites at once on one machine).
#pragma once

#include <filesystem>
#include <random>
#include <string>

#include <gtest/gtest.h>

namespace tuft::testing {

class ScratchDirectory {
public:
    explicit ScratchDirectory(const std::string &prefix)
        : path_(std::filesystem::path(::testing::TempDir()) /
                (prefix + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
                 std::to_string(std::random_device()())))
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
