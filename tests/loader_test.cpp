#include "host/loader.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

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

// A real library of the system's, which has no descriptor: where the C maths library is.
std::string systemLibrary()
{
#ifdef _WIN32
    char path[MAX_PATH];
    GetModuleFileNameA(GetModuleHandleA("kernel32.dll"), path, sizeof path);
    return path;
#else
    Dl_info libm;
    dladdr(reinterpret_cast<void *>(static_cast<double (*)(double)>(std::cos)), &libm);
    return libm.dli_fname != nullptr ? libm.dli_fname : "";
#endif
}

// A system library's name, as found on the search path.
#ifdef _WIN32
constexpr const char *kSystemLibraryName = "kernel32.dll";
#else
constexpr const char *kSystemLibraryName = "libm.so.6";
#endif

TEST(Loader, ClearErrorsForFilesThatAreNotPlugins)
{
    const std::string text = ::testing::TempDir() + "not-a-library.so";
    std::ofstream(text) << "hello";
    const std::string notALibrary = errorOf(text);
    EXPECT_NE(notALibrary.find("cannot load plug-in " + text + ": "), std::string::npos) << notALibrary;
    // The system's reason is filled in.
    EXPECT_GT(notALibrary.size(), ("cannot load plug-in " + text + ": ").size() + 3) << notALibrary;
    EXPECT_NE(errorOf("/no/such/file.so").find("cannot load plug-in"), std::string::npos);
    // A real library without the descriptor.
    const std::string library = systemLibrary();
    ASSERT_FALSE(library.empty());
    EXPECT_NE(errorOf(library).find("has no _mod_descrip"), std::string::npos) << errorOf(library);
}

TEST(Loader, APathWithoutASlashIsAFileInTheCurrentFolder)
{
    // A file named like a system library: the loader must not go looking for the real one.
    const std::string folder = ::testing::TempDir() + "plugin-folder";
    std::filesystem::create_directories(folder);
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    std::ofstream(kSystemLibraryName) << "not a library";
    const std::string error = errorOf(kSystemLibraryName);
    std::filesystem::current_path(before);
    std::filesystem::remove_all(folder);
    EXPECT_NE(error.find(std::string("cannot load plug-in ") + kSystemLibraryName + ": "), std::string::npos) << error;
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
