#include "host/loader.h"

#include <cstdio>
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
    EXPECT_NE(errorOf("libm.so.6").find("has no _mod_descrip"), std::string::npos);
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
