// Where a path's folder ends, on each platform, and which names stay in their folder.
#include "host/paths.h"

#include <gtest/gtest.h>

namespace tuft::host {
namespace {

TEST(Paths, FolderAndNameSplitAtThePlatformsSeparators)
{
    EXPECT_EQ(folderOf("meshes/hill.obj"), "meshes/");
    EXPECT_EQ(fileNameOf("meshes/hill.obj"), "hill.obj");
    EXPECT_EQ(folderOf("hill.obj"), "");
    EXPECT_EQ(fileNameOf("/hill.obj"), "hill.obj");
#ifdef _WIN32
    EXPECT_EQ(folderOf("C:\\meshes\\hill.obj"), "C:\\meshes\\");
    EXPECT_EQ(fileNameOf("C:\\meshes\\hill.obj"), "hill.obj");
    EXPECT_EQ(fileNameOf("C:hill.obj"), "hill.obj");
    EXPECT_EQ(folderOf("C:hill.obj"), "C:");
    EXPECT_EQ(fileNameOf("meshes\\sub/hill.obj"), "hill.obj");
#else
    // A backslash is part of a name.
    EXPECT_EQ(fileNameOf("meshes\\hill.obj"), "meshes\\hill.obj");
    EXPECT_EQ(folderOf("a\\b/c.obj"), "a\\b/");
#endif
}

TEST(Paths, OnlyNamesBelowTheirFolderStayInIt)
{
    for (const char *inside : {"grass.mtl", "sub/grass.mtl", "a..b.mtl", "..grass", "sub/.hidden"})
        EXPECT_TRUE(staysInFolder(inside)) << inside;
    // A name is never resolved: any ".." part is refused, even one that comes back down.
    for (const char *outside : {"", "/etc/passwd", "..", "../x.mtl", "sub/../../x.mtl", "sub/..", "sub/../sub/x.mtl"})
        EXPECT_FALSE(staysInFolder(outside)) << outside;
    EXPECT_FALSE(staysInFolder(std::string("a\0b", 3)));
#ifdef _WIN32
    for (const char *outside : {"..\\x.mtl", "\\x.mtl", "C:\\x.mtl", "C:x.mtl", "sub\\..\\..\\x.mtl", "sub\\.."})
        EXPECT_FALSE(staysInFolder(outside)) << outside;
#else
    EXPECT_TRUE(staysInFolder("..\\x.mtl")); // one name, in this folder
#endif
}

} // namespace
} // namespace tuft::host
