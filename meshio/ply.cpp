// PLY in and out, ASCII and binary (either byte order in, little-endian out). Extra
// float properties of a vertex are weight maps of that name; s/t or u/v a UV map.
#include "meshio/atomic_file.h"
#include "meshio/file_parts.h"
#include "meshio/meshio.h"
#include "sdk/modeler_host.h"
#include "meshio/parallel_text.h"

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
        {"char", Type::kInt8},     {"int8", Type::kInt8},     {"uchar", Type::kUint8},  {"uint8", Type::kUint8},
        {"short", Type::kInt16},   {"int16", Type::kInt16},   {"ushort", Type::kUint16}, {"uint16", Type::kUint16},
        {"int", Type::kInt32},     {"int32", Type::kInt32},   {"uint", Type::kUint32},  {"uint32", Type::kUint32},
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
    case Type::kInt8: case Type::kUint8: return 1;
    case Type::kInt16: case Type::kUint16: return 2;
    case Type::kInt32: case Type::kUint32: case Type::kFloat32: return 4;
    case Type::kFloat64: return 8;
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
        case Type::kInt8: return static_cast<std::int8_t>(bytes[0]);
        case Type::kUint8: return bytes[0];
        case Type::kInt16: { std::int16_t v; std::memcpy(&v, bytes, 2); return v; }
        case Type::kUint16: { std::uint16_t v; std::memcpy(&v, bytes, 2); return v; }
        case Type::kInt32: { std::int32_t v; std::memcpy(&v, bytes, 4); return v; }
        case Type::kUint32: { std::uint32_t v; std::memcpy(&v, bytes, 4); return v; }
        case Type::kFloat32: { float v; std::memcpy(&v, bytes, 4); return v; }
        case Type::kFloat64: { double v; std::memcpy(&v, bytes, 8); return v; }
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

std::string readWhole(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw MeshIoError(path + ": cannot open the file");
    std::ostringstream data;
    data << in.rdbuf();
    return data.str();
}

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

} // namespace

void readPly(const std::string &path, host::Object &object, int layerNumber)
{
    const std::string data = readWhole(path);
    const Header header = parseHeader(path, data);
    Body body(path, data, header.bodyStart, header.lines, header.format);

    host::Mesh mesh;
    std::vector<std::pair<std::string, std::vector<float>>> weights; // by property
    std::vector<float> uv;
    std::size_t pointCount = 0;
    bool verticesRead = false;
    const std::uint32_t surface = object.surfaceIndex("Default");
    std::vector<std::uint32_t> indices;

    for (const Element &element : header.elements) {
        if (header.format != Format::kAscii && element.count > 0 &&
            element.count > body.remaining() / std::max<std::size_t>(1, smallestRecord(element)))
            throw MeshIoError(path + ": the header declares " + std::to_string(element.count) + " " + element.name +
                              " elements, more than the file holds");
        const bool isVertex = element.name == "vertex";
        const bool isFace = element.name == "face";
        if (isVertex) {
            // What each property is for, settled once; a repeated name counts once.
            enum Role { kSkip = -4, kUvS = -3, kUvT = -2, kPosition = -1 }; // >= 0: a weight map
            std::vector<int> role(element.properties.size(), kSkip);
            std::vector<int> axisOf(element.properties.size(), 0);
            std::vector<std::string> seen;
            bool hasPosition[3] = {false, false, false}, hasUv = false;
            for (std::size_t p = 0; p < element.properties.size(); ++p) {
                const Property &property = element.properties[p];
                if (property.list || std::find(seen.begin(), seen.end(), property.name) != seen.end())
                    continue;
                seen.push_back(property.name);
                int uvAxis;
                if (property.name == "x" || property.name == "y" || property.name == "z") {
                    role[p] = kPosition;
                    axisOf[p] = property.name[0] - 'x';
                    hasPosition[axisOf[p]] = true;
                } else if (isUvName(property.name, uvAxis)) {
                    role[p] = uvAxis == 0 ? kUvS : kUvT;
                    hasUv = true;
                } else if (isFloat(property.type)) {
                    role[p] = static_cast<int>(weights.size());
                    weights.emplace_back(property.name, std::vector<float>());
                }
            }
            if (!hasPosition[0] || !hasPosition[1] || !hasPosition[2])
                throw MeshIoError(path + ": the vertex element has no x, y and z");
            pointCount = element.count;
            if (hasUv)
                uv.assign(2 * pointCount, 0.0f);
            for (auto &weight : weights)
                weight.second.reserve(pointCount);
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
                    if (role[p] == kPosition)
                        position[axisOf[p]] = value;
                    else if (role[p] == kUvS || role[p] == kUvT)
                        uv[2 * i + (role[p] == kUvT)] = static_cast<float>(value);
                    else if (role[p] >= 0)
                        weights[role[p]].second.push_back(static_cast<float>(value));
                }
                body.endRecord();
                mesh.addPoint({position[0], position[1], position[2]});
            }
            verticesRead = true;
        } else {
            int listIndex = -1;
            for (std::size_t p = 0; p < element.properties.size(); ++p)
                if (isFace && element.properties[p].list &&
                    (element.properties[p].name == "vertex_indices" || element.properties[p].name == "vertex_index"))
                    listIndex = static_cast<int>(p);
            if (isFace && listIndex < 0)
                throw MeshIoError(path + ": the face element has no vertex_indices list");
            if (isFace && !verticesRead)
                throw MeshIoError(path + ": faces come before the vertices");
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
                        if (!(index >= 0 && index < static_cast<double>(pointCount)) || index != std::floor(index))
                            body.fail("vertex index " + std::to_string(static_cast<long long>(index)) +
                                      " is outside 0 to " + std::to_string(pointCount) + " - 1");
                        indices.push_back(static_cast<std::uint32_t>(index));
                    }
                }
                body.endRecord();
                if (isFace && !indices.empty())
                    mesh.addPolygon(MH_POLY_FACE, surface, indices.data(), static_cast<std::uint32_t>(indices.size()));
            }
        }
    }

    // Maps are registered only once the whole file has been read.
    for (const auto &[name, values] : weights)
        attachPointMap(path, object, mesh, MH_MAP_WEIGHT, name, 1, values, std::vector<std::uint8_t>(pointCount, 1));
    if (!uv.empty())
        attachPointMap(path, object, mesh, MH_MAP_UV, "UV", 2, uv, std::vector<std::uint8_t>(pointCount, 1));
    host::Layer *layer = object.layer(layerNumber);
    if (layer == nullptr)
        throw MeshIoError(path + ": layer " + std::to_string(layerNumber) + " does not exist");
    layer->mesh.append(mesh);
}

namespace {

// Everything written goes through one buffer, flushed in large blocks.
class Output {
public:
    explicit Output(AtomicFile &file) : file_(file), buffer_(new char[kBlock]) {}
    void bytes(const void *data, std::size_t size)
    {
        if (used_ + size > kBlock) {
            flush();
            if (size > kBlock) {
                file_.write(static_cast<const char *>(data), size);
                return;
            }
        }
        std::memcpy(buffer_.get() + used_, data, size);
        used_ += size;
    }
    template <typename T> void value(T v) { bytes(&v, sizeof v); } // little-endian hosts only
    void flush()
    {
        file_.write(buffer_.get(), used_);
        used_ = 0;
    }

private:
    static constexpr std::size_t kBlock = 1 << 20;
    AtomicFile &file_;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
};

// The maps written per point: weight maps, then the first UV map as s and t.
struct WrittenMaps {
    std::vector<std::pair<std::string, std::uint32_t>> weights;
    long uvKey = -1;
};

WrittenMaps mapsOf(const host::Object &object, const std::vector<const host::Layer *> &layers)
{
    WrittenMaps maps;
    for (std::size_t key = 0; key < object.mapCount(); ++key) {
        const host::MapInfo &info = object.mapInfo(static_cast<std::uint32_t>(key));
        bool used = false;
        for (const host::Layer *layer : layers)
            used |= layer->mesh.findMap(static_cast<std::uint32_t>(key)) != nullptr;
        if (!used)
            continue;
        if (info.type == MH_MAP_WEIGHT && info.dimension == 1)
            maps.weights.emplace_back(info.name, static_cast<std::uint32_t>(key));
        else if (info.type == MH_MAP_UV && info.dimension == 2 && maps.uvKey < 0)
            maps.uvKey = static_cast<long>(key);
    }
    return maps;
}

float mapValue(const host::Mesh &mesh, long key, std::size_t point, int component, int dimension)
{
    const host::PointMap *map = mesh.findMap(static_cast<std::uint32_t>(key));
    if (map == nullptr || !map->has[point])
        return 0.0f;
    return map->values[point * dimension + component];
}

// Per point: the weights, then s and t; points without a value get 0.
void extrasOf(const host::Mesh &mesh, const WrittenMaps &maps, std::size_t point, std::vector<float> &extra)
{
    extra.clear();
    for (const auto &weight : maps.weights)
        extra.push_back(mapValue(mesh, weight.second, point, 0, 1));
    if (maps.uvKey >= 0) {
        extra.push_back(mapValue(mesh, maps.uvKey, point, 0, 2));
        extra.push_back(mapValue(mesh, maps.uvKey, point, 1, 2));
    }
}

void writeBinaryBody(AtomicFile &file, ProgressCount &progress, const std::vector<const host::Layer *> &layers,
                     const WrittenMaps &maps, bool byteCounts)
{
    Output out(file);
    std::vector<float> extra;
    for (const host::Layer *layer : layers) {
        const host::Mesh &mesh = layer->mesh;
        for (std::size_t i = 0; i < mesh.pointCount(); ++i) {
            const host::Vec3 &p = mesh.positions[i];
            out.value(p.x);
            out.value(p.y);
            out.value(p.z);
            extrasOf(mesh, maps, i, extra);
            out.bytes(extra.data(), extra.size() * sizeof(float));
            if ((i + 1) % kLinesPerChunk == 0)
                progress.add(kLinesPerChunk);
        }
        progress.add(mesh.pointCount() % kLinesPerChunk);
    }
    std::uint32_t base = 0;
    for (const host::Layer *layer : layers) {
        const host::Mesh &mesh = layer->mesh;
        for (std::size_t i = 0; i < mesh.polygonCount(); ++i) {
            const host::Polygon &polygon = mesh.polygons[i];
            if (byteCounts)
                out.value(static_cast<std::uint8_t>(polygon.vertexCount));
            else
                out.value(polygon.vertexCount);
            for (std::uint32_t k = 0; k < polygon.vertexCount; ++k)
                out.value(base + mesh.vertices[polygon.firstVertex + k]);
            if ((i + 1) % kLinesPerChunk == 0)
                progress.add(kLinesPerChunk);
        }
        progress.add(mesh.polygonCount() % kLinesPerChunk);
        base += static_cast<std::uint32_t>(mesh.pointCount());
    }
    out.flush();
}

// Text lines formatted on every core, in order.
void writeAsciiBody(AtomicFile &file, ProgressCount &progress, const std::vector<const host::Layer *> &layers,
                    const WrittenMaps &maps)
{
    for (const host::Layer *layer : layers) {
        const host::Mesh &mesh = layer->mesh;
        const auto formatPoints = [&](std::size_t first, std::size_t end, TextAppender &out) {
            std::vector<float> extra;
            NumberMemo<double> xs, ys, zs;
            std::vector<NumberMemo<double>> extraMemos(maps.weights.size() + 2);
            for (std::size_t i = first; i < end; ++i) {
                const host::Vec3 &p = mesh.positions[i];
                out.number(p.x, xs);
                out.character(' ');
                out.number(p.y, ys);
                out.character(' ');
                out.number(p.z, zs);
                extrasOf(mesh, maps, i, extra);
                for (std::size_t k = 0; k < extra.size(); ++k) {
                    out.character(' ');
                    out.number(static_cast<double>(extra[k]), extraMemos[k]); // as ASCII files always had them
                }
                out.character('\n');
            }
        };
        writeInChunks(file, progress, mesh.pointCount(), formatPoints);
    }
    std::uint64_t base = 0;
    for (const host::Layer *layer : layers) {
        const host::Mesh &mesh = layer->mesh;
        const auto formatFaces = [&](std::size_t first, std::size_t end, TextAppender &out) {
            for (std::size_t i = first; i < end; ++i) {
                const host::Polygon &polygon = mesh.polygons[i];
                out.number(polygon.vertexCount);
                for (std::uint32_t k = 0; k < polygon.vertexCount; ++k) {
                    out.character(' ');
                    out.number(base + mesh.vertices[polygon.firstVertex + k]);
                }
                out.character('\n');
            }
        };
        writeInChunks(file, progress, mesh.polygonCount(), formatFaces);
        base += mesh.pointCount();
    }
}

} // namespace

WrittenCounts writePly(const std::string &path, const std::vector<const host::Layer *> &layers,
                       const host::Object &object, bool ascii, const WriteProgress &report)
{
    WrittenCounts counts;
    std::uint32_t largestPolygon = 0;
    for (const host::Layer *layer : layers) {
        counts.points += layer->mesh.pointCount();
        counts.polygons += layer->mesh.polygonCount();
        for (const host::Polygon &polygon : layer->mesh.polygons)
            largestPolygon = std::max(largestPolygon, polygon.vertexCount);
    }
    // Vertex counts fit a byte in nearly every mesh; the rare larger polygon needs more.
    const bool byteCounts = largestPolygon <= 255;
    const WrittenMaps maps = mapsOf(object, layers);
    AtomicFile file(path);
    std::string header = "ply\nformat ";
    header += ascii ? "ascii 1.0\n" : "binary_little_endian 1.0\n";
    header += "comment planted by tuftsprout\n";
    header += "element vertex " + std::to_string(counts.points) + "\n";
    header += "property double x\nproperty double y\nproperty double z\n";
    for (const auto &weight : maps.weights)
        header += "property float " + oneWord(weight.first, "unnamed") + "\n";
    if (maps.uvKey >= 0)
        header += "property float s\nproperty float t\n";
    header += "element face " + std::to_string(counts.polygons) + "\n";
    header += byteCounts ? "property list uchar uint vertex_indices\nend_header\n"
                         : "property list uint uint vertex_indices\nend_header\n";
    file.write(header.data(), header.size());
    ProgressCount progress(report, counts.points + counts.polygons);
    if (ascii)
        writeAsciiBody(file, progress, layers, maps);
    else
        writeBinaryBody(file, progress, layers, maps, byteCounts);
    file.commit();
    return counts;
}

} // namespace tuft::meshio
