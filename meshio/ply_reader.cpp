// PLY input, ASCII and binary in either byte order. Extra float properties of a vertex
// are weight maps of that name; s/t or u/v a UV map.
#include "meshio/formats.h"
#include "meshio/reading.h"
#include "sdk/modeler_host.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <unordered_map>

namespace tuft::meshio {

namespace {

enum class Type { kInt8, kUint8, kInt16, kUint16, kInt32, kUint32, kFloat32, kFloat64 };

bool typeFromName(const std::string &name, Type &type)
{
    static const std::unordered_map<std::string, Type> kTypes = {
        {"char", Type::kInt8},     {"int8", Type::kInt8},       {"uchar", Type::kUint8},    {"uint8", Type::kUint8},
        {"short", Type::kInt16},   {"int16", Type::kInt16},     {"ushort", Type::kUint16},  {"uint16", Type::kUint16},
        {"int", Type::kInt32},     {"int32", Type::kInt32},     {"uint", Type::kUint32},    {"uint32", Type::kUint32},
        {"float", Type::kFloat32}, {"float32", Type::kFloat32}, {"double", Type::kFloat64}, {"float64", Type::kFloat64},
    };
    const auto found = kTypes.find(name);
    if (found == kTypes.end())
        return false;
    type = found->second;
    return true;
}

std::size_t sizeOf(Type type)
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

bool isFloat(Type type) { return type == Type::kFloat32 || type == Type::kFloat64; }

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

// Reads values from the body, ASCII or binary, and says where a fault lies.
class Body {
public:
    Body(const std::string &path, const std::string &data, std::size_t start, std::size_t headerLines, Format format)
        : path_(path), data_(data), position_(start), line_(headerLines), format_(format)
    {
    }

    // Starts the next element instance (a line in ASCII).
    void beginRecord(const std::string &element, std::size_t index)
    {
        element_ = &element;
        index_ = index;
        if (format_ != Format::kAscii)
            return;
        while (position_ < data_.size()) {
            const std::size_t end = data_.find('\n', position_);
            const std::size_t stop = end == std::string::npos ? data_.size() : end;
            ++line_;
            lineText_.assign(data_, position_, stop - position_);
            position_ = stop == data_.size() ? stop : stop + 1;
            if (lineText_.find_first_not_of(" \t\r") != std::string::npos) {
                cursor_ = 0;
                return;
            }
        }
        fail("the file ends early");
    }

    void endRecord()
    {
        if (format_ == Format::kAscii && lineText_.find_first_not_of(" \t\r", cursor_) != std::string::npos)
            fail("more values than the header declares");
    }

    double read(Type type)
    {
        if (format_ == Format::kAscii)
            return readText();
        const std::size_t size = sizeOf(type);
        if (position_ + size > data_.size())
            fail("the file ends early");
        unsigned char bytes[8];
        std::memcpy(bytes, data_.data() + position_, size);
        position_ += size;
        if (format_ == Format::kBinaryBig)
            std::reverse(bytes, bytes + size);
        switch (type) {
        case Type::kInt8:
            return static_cast<std::int8_t>(bytes[0]);
        case Type::kUint8:
            return bytes[0];
        case Type::kInt16: {
            std::int16_t v;
            std::memcpy(&v, bytes, 2);
            return v;
        }
        case Type::kUint16: {
            std::uint16_t v;
            std::memcpy(&v, bytes, 2);
            return v;
        }
        case Type::kInt32: {
            std::int32_t v;
            std::memcpy(&v, bytes, 4);
            return v;
        }
        case Type::kUint32: {
            std::uint32_t v;
            std::memcpy(&v, bytes, 4);
            return v;
        }
        case Type::kFloat32: {
            float v;
            std::memcpy(&v, bytes, 4);
            return v;
        }
        case Type::kFloat64: {
            double v;
            std::memcpy(&v, bytes, 8);
            return v;
        }
        }
        return 0.0;
    }

    [[noreturn]] void fail(const std::string &what) const
    {
        std::string where = path_ + ": ";
        if (format_ == Format::kAscii)
            where += "line " + std::to_string(line_) + ": ";
        if (element_ != nullptr)
            where += *element_ + " " + std::to_string(index_) + ": ";
        throw MeshIoError(where + what);
    }

    std::size_t remaining() const { return data_.size() - position_; }

private:
    double readText()
    {
        const std::size_t start = lineText_.find_first_not_of(" \t\r", cursor_);
        if (start == std::string::npos)
            fail("fewer values than the header declares");
        std::size_t end = lineText_.find_first_of(" \t\r", start);
        if (end == std::string::npos)
            end = lineText_.size();
        double value = 0.0;
        const auto parsed = std::from_chars(lineText_.data() + start, lineText_.data() + end, value);
        if (parsed.ec != std::errc() || parsed.ptr != lineText_.data() + end)
            fail("\"" + lineText_.substr(start, end - start) + "\" is not a number");
        cursor_ = end;
        return value;
    }

    const std::string &path_;
    const std::string &data_;
    std::size_t position_;
    std::size_t line_;
    Format format_;
    std::string lineText_;
    std::size_t cursor_ = 0;
    const std::string *element_ = nullptr;
    std::size_t index_ = 0;
};

struct Header {
    Format format;
    std::vector<Element> elements;
    std::size_t bodyStart;
    std::size_t lines;
};

Header parseHeader(const std::string &path, const std::string &data)
{
    Header header{Format::kAscii, {}, 0, 0};
    std::size_t position = 0;
    bool formatSeen = false;
    const auto fail = [&](const std::string &what) {
        throw MeshIoError(path + ": header line " + std::to_string(header.lines) + ": " + what);
    };
    while (true) {
        const std::size_t end = data.find('\n', position);
        if (end == std::string::npos)
            fail("the header has no end_header");
        std::string line = data.substr(position, end - position);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        position = end + 1;
        ++header.lines;
        std::istringstream words(line);
        std::string keyword;
        words >> keyword;
        if (header.lines == 1) {
            if (keyword != "ply")
                fail("not a PLY file (it does not start with \"ply\")");
            continue;
        }
        if (keyword == "end_header")
            break;
        if (keyword.empty() || keyword == "comment" || keyword == "obj_info")
            continue;
        if (keyword == "format") {
            std::string name, version;
            words >> name >> version;
            if (name == "ascii")
                header.format = Format::kAscii;
            else if (name == "binary_little_endian")
                header.format = Format::kBinaryLittle;
            else if (name == "binary_big_endian")
                header.format = Format::kBinaryBig;
            else
                fail("unknown format \"" + name + "\"");
            formatSeen = true;
        } else if (keyword == "element") {
            Element element;
            long long count = -1;
            words >> element.name >> count;
            if (element.name.empty() || count < 0 || words.fail())
                fail("an element needs a name and a count");
            element.count = static_cast<std::size_t>(count);
            header.elements.push_back(std::move(element));
        } else if (keyword == "property") {
            if (header.elements.empty())
                fail("a property before any element");
            Property property;
            std::string type;
            words >> type;
            if (type == "list") {
                std::string countType, itemType;
                words >> countType >> itemType >> property.name;
                if (!typeFromName(countType, property.countType) || !typeFromName(itemType, property.type) ||
                    isFloat(property.countType))
                    fail("bad list property \"" + line + "\"");
                property.list = true;
            } else {
                words >> property.name;
                if (!typeFromName(type, property.type))
                    fail("unknown type \"" + type + "\"");
            }
            if (property.name.empty())
                fail("a property without a name");
            header.elements.back().properties.push_back(property);
        } else {
            fail("unknown keyword \"" + keyword + "\"");
        }
    }
    if (!formatSeen)
        throw MeshIoError(path + ": the header has no format line");
    header.bodyStart = position;
    return header;
}

// The smallest size in bytes one instance of an element can have in a binary body.
std::size_t smallestRecord(const Element &element)
{
    std::size_t size = 0;
    for (const Property &property : element.properties)
        size += property.list ? sizeOf(property.countType) : sizeOf(property.type);
    return size;
}

bool isUvName(const std::string &name, int &axis)
{
    if (name == "s" || name == "u" || name == "texture_u" || name == "texture_s") {
        axis = 0;
        return true;
    }
    if (name == "t" || name == "v" || name == "texture_v" || name == "texture_t") {
        axis = 1;
        return true;
    }
    return false;
}

// What a PLY file holds for the object, gathered while reading.
struct Content {
    host::Mesh mesh;
    std::vector<std::pair<std::string, std::vector<float>>> weights; // by property
    std::vector<float> uv;
    std::size_t pointCount = 0;
    bool verticesRead = false;
};

void checkCount(const std::string &path, const Header &header, const Element &element, const Body &body)
{
    if (header.format != Format::kAscii && element.count > 0 &&
        element.count > body.remaining() / std::max<std::size_t>(1, smallestRecord(element)))
        throw MeshIoError(path + ": the header declares " + std::to_string(element.count) + " " + element.name +
                          " elements, more than the file holds");
}

// What each vertex property is for, settled once; a repeated name counts once.
enum Role { kSkip = -4, kUvS = -3, kUvT = -2, kPosition = -1 }; // >= 0: a weight map
struct VertexLayout {
    std::vector<int> role;
    std::vector<int> axis;
    bool hasUv = false;
};

VertexLayout layoutOf(const std::string &path, const Element &element, Content &content)
{
    VertexLayout layout;
    layout.role.assign(element.properties.size(), kSkip);
    layout.axis.assign(element.properties.size(), 0);
    std::vector<std::string> seen;
    bool hasPosition[3] = {false, false, false};
    for (std::size_t p = 0; p < element.properties.size(); ++p) {
        const Property &property = element.properties[p];
        if (property.list || std::find(seen.begin(), seen.end(), property.name) != seen.end())
            continue;
        seen.push_back(property.name);
        int uvAxis;
        if (property.name == "x" || property.name == "y" || property.name == "z") {
            layout.role[p] = kPosition;
            layout.axis[p] = property.name[0] - 'x';
            hasPosition[layout.axis[p]] = true;
        } else if (isUvName(property.name, uvAxis)) {
            layout.role[p] = uvAxis == 0 ? kUvS : kUvT;
            layout.hasUv = true;
        } else if (isFloat(property.type)) {
            layout.role[p] = static_cast<int>(content.weights.size());
            content.weights.emplace_back(property.name, std::vector<float>());
        }
    }
    if (!hasPosition[0] || !hasPosition[1] || !hasPosition[2])
        throw MeshIoError(path + ": the vertex element has no x, y and z");
    return layout;
}

void readVertices(const std::string &path, const Element &element, Body &body, Content &content)
{
    const VertexLayout layout = layoutOf(path, element, content);
    content.pointCount = element.count;
    if (layout.hasUv)
        content.uv.assign(2 * content.pointCount, 0.0f);
    for (auto &weight : content.weights)
        weight.second.reserve(content.pointCount);
    for (std::size_t i = 0; i < element.count; ++i) {
        body.beginRecord(element.name, i);
        double position[3] = {0, 0, 0};
        for (std::size_t p = 0; p < element.properties.size(); ++p) {
            const Property &property = element.properties[p];
            if (property.list) {
                const double count = body.read(property.countType);
                for (double k = 0; k < count; ++k)
                    body.read(property.type);
                continue;
            }
            const double value = body.read(property.type);
            const int role = layout.role[p];
            if (role == kPosition)
                position[layout.axis[p]] = value;
            else if (role == kUvS || role == kUvT)
                content.uv[2 * i + (role == kUvT)] = static_cast<float>(value);
            else if (role >= 0)
                content.weights[role].second.push_back(static_cast<float>(value));
        }
        body.endRecord();
        content.mesh.addPoint({position[0], position[1], position[2]});
    }
    content.verticesRead = true;
}

// Faces become polygons of the surface "Default"; any other element is read past.
void readOtherElement(const std::string &path, const Element &element, Body &body, Content &content,
                      std::uint32_t surface)
{
    const bool isFace = element.name == "face";
    int listIndex = -1;
    for (std::size_t p = 0; p < element.properties.size(); ++p)
        if (isFace && element.properties[p].list &&
            (element.properties[p].name == "vertex_indices" || element.properties[p].name == "vertex_index"))
            listIndex = static_cast<int>(p);
    if (isFace && listIndex < 0)
        throw MeshIoError(path + ": the face element has no vertex_indices list");
    if (isFace && !content.verticesRead)
        throw MeshIoError(path + ": faces come before the vertices");
    std::vector<std::uint32_t> indices;
    for (std::size_t i = 0; i < element.count; ++i) {
        body.beginRecord(element.name, i);
        for (std::size_t p = 0; p < element.properties.size(); ++p) {
            const Property &property = element.properties[p];
            if (!property.list) {
                body.read(property.type);
                continue;
            }
            const double count = body.read(property.countType);
            if (count < 0)
                body.fail("a negative list length");
            if (static_cast<int>(p) == listIndex)
                indices.clear();
            for (double k = 0; k < count; ++k) {
                const double index = body.read(property.type);
                if (static_cast<int>(p) != listIndex)
                    continue;
                if (!(index >= 0 && index < static_cast<double>(content.pointCount)) || index != std::floor(index))
                    body.fail("vertex index " + std::to_string(static_cast<long long>(index)) + " is outside 0 to " +
                              std::to_string(content.pointCount) + " - 1");
                indices.push_back(static_cast<std::uint32_t>(index));
            }
        }
        body.endRecord();
        if (isFace && !indices.empty())
            content.mesh.addPolygon(MH_POLY_FACE, surface, indices.data(), static_cast<std::uint32_t>(indices.size()));
    }
}

// Maps are registered only once the whole file has been read.
void attachMaps(const std::string &path, host::Object &object, Content &content)
{
    const std::vector<std::uint8_t> everyPoint(content.pointCount, 1);
    for (const auto &[name, values] : content.weights)
        attachPointMap(path, object, content.mesh, MH_MAP_WEIGHT, name, 1, values, everyPoint);
    if (!content.uv.empty())
        attachPointMap(path, object, content.mesh, MH_MAP_UV, "UV", 2, content.uv, everyPoint);
}

} // namespace

void readPly(const std::string &path, host::Object &object, int layerNumber)
{
    const std::string data = readInputFile(path);
    const Header header = parseHeader(path, data);
    Body body(path, data, header.bodyStart, header.lines, header.format);
    Content content;
    const std::uint32_t surface = object.surfaceIndex("Default");
    for (const Element &element : header.elements) {
        checkCount(path, header, element, body);
        if (element.name == "vertex")
            readVertices(path, element, body, content);
        else
            readOtherElement(path, element, body, content, surface);
    }
    attachMaps(path, object, content);
    appendToLayer(path, object, layerNumber, content.mesh);
}

} // namespace tuft::meshio
