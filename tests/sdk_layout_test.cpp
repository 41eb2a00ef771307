// The binary layout other hosts rely on. Also built for 32-bit x86 (layout32).
#include "sdk/modeler_host.h"

#include <cstddef>

#include <gtest/gtest.h>

namespace {

constexpr std::size_t kPointer = sizeof(void *);

TEST(SdkLayout, ArgumentRecordsAreFortyBytesWithDoublesAtEight)
{
    static_assert(sizeof(MhArgRecord) == 40);
    EXPECT_EQ(offsetof(MhArgRecord, type), 0u);
    EXPECT_EQ(offsetof(MhArgRecord, string.text), kPointer == 4 ? 4u : 8u);
    EXPECT_EQ(offsetof(MhArgRecord, string.length), kPointer == 4 ? 8u : 16u);
    EXPECT_EQ(offsetof(MhArgRecord, integer.value), 4u);
    EXPECT_EQ(offsetof(MhArgRecord, number.value), 8u);
    EXPECT_EQ(offsetof(MhArgRecord, number.fallback), 16u);
    EXPECT_EQ(offsetof(MhArgRecord, vector.value), 8u);
    EXPECT_EQ(offsetof(MhArgRecord, vector.value[2]), 24u);
    EXPECT_EQ(offsetof(MhArgRecord, vector.fallback), 32u);
    MhArgRecord records[2];
    EXPECT_EQ(reinterpret_cast<char *>(&records[1]) - reinterpret_cast<char *>(&records[0]), 40);
}

TEST(SdkLayout, DescriptorIsThreeWordsThenThreePointers)
{
    EXPECT_EQ(offsetof(MhModuleDescriptor, startup), kPointer == 4 ? 12u : 16u);
    EXPECT_EQ(offsetof(MhModuleDescriptor, servers), kPointer == 4 ? 20u : 32u);
    EXPECT_EQ(sizeof(MhModuleDescriptor), kPointer == 4 ? 24u : 40u);
    EXPECT_EQ(sizeof(MhServerRecord), 4 * kPointer);
}

TEST(SdkLayout, RecordsOfTheMeshEditKeepTheirOrder)
{
    EXPECT_EQ(offsetof(MhPointInfo, layer), 2 * kPointer);
    EXPECT_EQ(offsetof(MhPointInfo, position), kPointer == 4 ? 16u : 24u);
    EXPECT_EQ(offsetof(MhPolygonInfo, vertexCount), 2 * kPointer + 8);
    EXPECT_EQ(offsetof(MhFileRequest, title), 8u);
    EXPECT_EQ(offsetof(MhFileRequest, bufferLength), 8 + 5 * kPointer);
    EXPECT_EQ(MH_MAP_WEIGHT, 0x57474854u);
    EXPECT_EQ(MH_MAP_UV, 0x54585556u);
    EXPECT_EQ(MH_POLY_FACE, 0x46414345u);
}

} // namespace
