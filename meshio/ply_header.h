// The layout a PLY header declares: its format, its elements and their properties,
// each count checked against what the body can still hold.
#pragma once

#include <cmath>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tuft::meshio::ply {

enum class Type { kInt8, kUint8, kInt16, kUint16, kInt32, kUint32, kFloat32, kFloat64 };

// The type a header names ("float", "uint8", ...); false for a name it does not know.
bool typeFromName(std::string_view name, Type &type);

inline std::size_t sizeOf(Type type)
{
    switch (type) {
    case Type::kInt8:
    case Type::kUint8:
        return 1;
    case Type::kInt16:
    case Type::kUint16:
        return 2;
    case Type::kInt32:
    case Type::kUint32:
    case Type::kFloat32:
        return 4;
    case Type::kFloat64:
        return 8;
    }
    return 1;
}

inline bool isFloat(Type type) { return type == Type::kFloat32 || type == Type::kFloat64; }

// The range an integer type holds.
inline void rangeOf(Type type, double &lowest, double &highest)
{
    const bool isSigned = type == Type::kInt8 || type == Type::kInt16 || type == Type::kInt32;
    const double span = std::ldexp(1.0, 8 * static_cast<int>(sizeOf(type)));
    lowest = isSigned ? -span / 2 : 0;
    highest = (isSigned ? span / 2 : span) - 1;
}

// A number for a message: as it is, nan and huge ones too.
std::string numberText(double value);

struct Property {
    std::string name;
    Type type;
    bool list = false;
    Type countType = Type::kUint8;
};

struct Element {
    std::string name;
    std::size_t count;
    std::vector<Property> properties;
};

enum class Format { kAscii, kBinaryLittle, kBinaryBig };

struct Header {
    Format format = Format::kAscii;
    std::vector<Element> elements;
    std::vector<std::string> comments; // each "comment" line's text after the keyword
    std::size_t bodyStart = 0;
    std::size_t lines = 0;
};

// Reads the header of the PLY file `data` (named `path` in messages); throws MeshIoError
// naming the header line of a fault, or a count the body cannot hold.
Header parseHeader(const std::string &path, const std::string &data);

} // namespace tuft::meshio::ply
