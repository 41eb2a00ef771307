// The PLY reader against every numeric type a header may name, by each of its names, in
// both byte orders and as text: positions, a UV pair, normals and a weight of that type,
// with values whose bytes read in the wrong order give other numbers.
#include "meshio/meshio.h"
#include "sdk/modeler_host.h"
#include "tests/scratch_directory.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>

#include <gtest/gtest.h>

namespace tuft {
namespace {

enum class Kind { kInt8, kUint8, kInt16, kUint16, kInt32, kUint32, kFloat32, kFloat64 };

struct TypeNames {
    Kind kind;
    const char *name, *alias;
};

constexpr TypeNames kTypes[] = {
    {Kind::kInt8, "char", "int8"},        {Kind::kUint8, "uchar", "uint8"},      {Kind::kInt16, "short", "int16"},
    {Kind::kUint16, "ushort", "uint16"},  {Kind::kInt32, "int", "int32"},        {Kind::kUint32, "uint", "uint32"},
    {Kind::kFloat32, "float", "float32"}, {Kind::kFloat64, "double", "float64"},
};

bool isFloat(Kind kind) { return kind == Kind::kFloat32 || kind == Kind::kFloat64; }

// The value number k of a record's values: from the type's lowest (k = 0) to its highest
// (k = kLast) for an integer type; for a float type fractions around 0 (1.5 among them),
// a double's with digits a float does not have.
constexpr int kLast = 26;
double sample(Kind kind, int k)
{
    if (kind == Kind::kFloat32)
        return (k - 13) * 0.375;
    if (kind == Kind::kFloat64)
        return (k - 13) * 0.375 + std::ldexp(k, -40);
    const int bits = kind == Kind::kInt8 || kind == Kind::kUint8     ? 8
                     : kind == Kind::kInt16 || kind == Kind::kUint16 ? 16
                                                                     : 32;
    const bool isSigned = kind == Kind::kInt8 || kind == Kind::kInt16 || kind == Kind::kInt32;
    const double span = std::ldexp(1.0, bits) - 1;
    const double lowest = isSigned ? -std::ldexp(1.0, bits - 1) : 0;
    return lowest + std::round(span * k / kLast);
}

template <typename T> void putBytes(std::string &out, double value, bool bigEndian)
{
    const T typed = static_cast<T>(value);
    unsigned char bytes[sizeof typed];
    std::memcpy(bytes, &typed, sizeof typed); // every target this builds for is little-endian
    if (bigEndian)
        std::reverse(bytes, bytes + sizeof typed);
    out.append(reinterpret_cast<const char *>(bytes), sizeof typed);
}

enum class Encoding { kLittle, kBig, kText };

void put(std::string &out, Kind kind, double value, Encoding encoding)
{
    if (encoding == Encoding::kText) {
        char text[32];
        out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
        out += ' ';
        return;
    }
    using Put = void (*)(std::string &, double, bool);
    constexpr Put kPut[] = {putBytes<std::int8_t>,   putBytes<std::uint8_t>, putBytes<std::int16_t>,
                            putBytes<std::uint16_t>, putBytes<std::int32_t>, putBytes<std::uint32_t>,
                            putBytes<float>,         putBytes<double>}; // in the order of Kind
    kPut[static_cast<int>(kind)](out, value, encoding == Encoding::kBig);
}

// Each vertex: x y z s t nx ny nz w of the type, then a float "tail" that is read right
// only when every value before it was read to its last byte. One face, its list's count
// and indices of the type too (a count is an integer type, so a float list counts in uchar).
const char *const kVertexProperties[] = {"x", "y", "z", "s", "t", "nx", "ny", "nz", "w"};
constexpr int kValuesPerVertex = 9, kVertices = 3;

std::string plyOf(const char *typeName, Kind kind, Encoding encoding)
{
    std::string data = std::string("ply\nformat ") +
                       (encoding == Encoding::kText  ? "ascii"
                        : encoding == Encoding::kBig ? "binary_big_endian"
                                                     : "binary_little_endian") +
                       " 1.0\nelement vertex " + std::to_string(kVertices) + "\n";
    for (const char *property : kVertexProperties)
        data += std::string("property ") + typeName + " " + property + "\n";
    data += "property float tail\nelement face 1\nproperty list " + std::string(isFloat(kind) ? "uchar" : typeName) +
            " " + typeName + " vertex_indices\nend_header\n";
    const auto end = [&] {
        if (encoding == Encoding::kText)
            data.back() = '\n';
    };
    for (int i = 0; i < kVertices; ++i) {
        for (int k = 0; k < kValuesPerVertex; ++k)
            put(data, kind, sample(kind, i * kValuesPerVertex + k), encoding);
        put(data, Kind::kFloat32, 0.25 + i, encoding);
        end();
    }
    put(data, isFloat(kind) ? Kind::kUint8 : kind, kVertices, encoding);
    for (int i = 0; i < kVertices; ++i)
        put(data, kind, i, encoding);
    end();
    return data;
}

TEST(PlyTypes, EveryNumericTypeByEveryNameInEitherByteOrderAndAsText)
{
    testing::ScratchDirectory scratch{"ply-types"};
    for (const TypeNames &type : kTypes) {
        for (const char *typeName : {type.name, type.alias}) {
            for (Encoding encoding : {Encoding::kLittle, Encoding::kBig, Encoding::kText}) {
                const std::string label = std::string(typeName) + (encoding == Encoding::kText  ? " text"
                                                                   : encoding == Encoding::kBig ? " big-endian"
                                                                                                : " little-endian");
                SCOPED_TRACE(label);
                const std::string path = scratch / "typed.ply";
                std::ofstream(path, std::ios::binary) << plyOf(typeName, type.kind, encoding);
                host::Object object;
                meshio::ReadWarnings warnings;
                try {
                    warnings = meshio::readMesh(path, object, 1);
                } catch (const meshio::MeshIoError &error) {
                    ADD_FAILURE() << error.what();
                    continue;
                }
                const host::LayerMesh &mesh = object.findLayer(1)->mesh;
                ASSERT_EQ(mesh.pointCount(), std::size_t(kVertices));
                ASSERT_EQ(mesh.polygonCount(), 1u);
                EXPECT_EQ(mesh.cornerPoint(0), 0u);
                EXPECT_EQ(mesh.cornerPoint(2), 2u);
                const auto map = [&](std::uint32_t mapType, const char *name) -> const host::PointMap * {
                    const long key = object.findMapKey(mapType, name);
                    return key < 0 ? nullptr : object.layer(1)->mesh.flat().findMap(static_cast<std::uint32_t>(key));
                };
                const host::PointMap *uv = map(MH_MAP_UV, "UV"), *normal = map(host::kNormalMap, "Normal");
                const host::PointMap *weight = map(MH_MAP_WEIGHT, "w"), *tail = map(MH_MAP_WEIGHT, "tail");
                ASSERT_TRUE(uv != nullptr && normal != nullptr && tail != nullptr);
                // A weight is a float property; an integer one is read past, and said so.
                ASSERT_EQ(weight != nullptr, isFloat(type.kind));
                EXPECT_EQ(warnings.size(), isFloat(type.kind) ? 0u : 1u);
                for (int i = 0; i < kVertices; ++i) {
                    const auto expected = [&](int k) { return sample(type.kind, i * kValuesPerVertex + k); };
                    const host::Vec3 &position = mesh.position(i);
                    EXPECT_EQ(position.x, expected(0)) << "point " << i;
                    EXPECT_EQ(position.y, expected(1)) << "point " << i;
                    EXPECT_EQ(position.z, expected(2)) << "point " << i;
                    for (int c = 0; c < 2; ++c)
                        EXPECT_EQ(uv->values[2 * i + c], static_cast<float>(expected(3 + c))) << "point " << i;
                    for (int c = 0; c < 3; ++c)
                        EXPECT_EQ(normal->values[3 * i + c], static_cast<float>(expected(5 + c))) << "point " << i;
                    if (weight != nullptr) {
                        EXPECT_EQ(weight->values[i], static_cast<float>(expected(8))) << "point " << i;
                    }
                    EXPECT_EQ(tail->values[i], 0.25f + i) << "point " << i;
                }
            }
        }
    }
}

} // namespace
} // namespace tuft
