#include "host/loader.h"

#include <cmath>
#include <cstdio>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

namespace tuft::host {
namespace {

std::string errorOf(const std::string &path)
{
    try {
        PluginLibrary library(path);
    } catch (const PluginError &error) {
        return error.what();
    }
    return "";
}

TEST(Loader, ClearErrorsForFilesThatAreNotPlugins)
{
    const std::string text = ::testing::TempDir() + "not-a-library.so";
    std::ofstream(text) << "hello";
    EXPECT_NE(errorOf(text).find("cannot load plug-in"), std::string::npos);
    EXPECT_NE(errorOf("/no/such/file.so").find("cannot load plug-in"), std::string::npos);
    // A real library without the descriptor.
    Dl_info libm;
    ASSERT_NE(dladdr(reinterpret_cast<void *>(static_cast<double (*)(double)>(std::cos)), &libm), 0);
    EXPECT_NE(errorOf(libm.dli_fname).find("has no _mod_descrip"), std::string::npos);
}

TEST(Loader, APathWithoutASlashIsAFileInTheCurrentFolder)
{
    // A file named like a system library: the loader must not go looking for the real one.
    const std::string folder = ::testing::TempDir() + "plugin-folder";
    std::filesystem::create_directories(folder);
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    std::ofstream("libm.so.6") << "not a library";
    const std::string error = errorOf("libm.so.6");
    std::filesystem::current_path(before);
    std::filesystem::remove_all(folder);
    EXPECT_NE(error.find("cannot load plug-in libm.so.6"), std::string::npos) << error;
}

TEST(Loader, NamesTheMissingServer)
{
    try {
        PluginLibrary library(TUFT_PLUGIN_PATH, "Another_Server");
        FAIL();
    } catch (const PluginError &error) {
        EXPECT_NE(std::string(error.what()).find("no CommandSequence server named Another_Server"), std::string::npos);
    }
    PluginLibrary library(TUFT_PLUGIN_PATH);
    EXPECT_EQ(library.descriptor().sync, 0x04121994u);
    EXPECT_EQ(library.descriptor().machine, 0x300u);
}

} // namespace
} // namespace tuft::host
