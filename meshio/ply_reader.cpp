// PLY input, ASCII and binary in either byte order, read strictly: every count is
// checked against what the file can still hold before memory is taken for it, every
// value has its type's form and range, and kept values are finite. Extra float
// properties of a vertex are weight maps of that name; s/t or u/v a UV map.
#include "meshio/formats.h"
#include "meshio/ply_body.h"
#include "meshio/ply_header.h"
#include "meshio/reading.h"
#include "meshio/text_scan.h"
#include "sdk/modeler_host.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_map>

namespace tuft::meshio {

namespace {

using namespace ply;

// The vertex properties that pair up into a UV map, in the order of preference; the
// first pair a file has is the map "UV", any other "UV2", "UV3", ...
const char *const kUvPairs[][2] = {{"s", "t"}, {"u", "v"}, {"texture_u", "texture_v"}, {"texture_s", "texture_t"}};
// Per-face properties that name a face's surface by number.
const char *const kSurfaceProperties[] = {"surface", "material_index", "material"};

// A point map gathered from vertex properties: its values, dimension a point.
struct GatheredMap {
    std::uint32_t type;
    std::string name;
    int dimension;
    std::vector<float> values;
};

// What a PLY file holds for the object, gathered while reading.
constexpr std::uint32_t kNoSurfaceNumber = UINT32_MAX;

struct Content {
    host::Mesh mesh;
    std::vector<GatheredMap> maps;
    std::size_t pointCount = 0;
    bool verticesRead = false;
    std::vector<std::uint32_t> faceSurface; // a surface number a face once any face has one (kNoSurfaceNumber: none)
    std::vector<std::array<float, 3>> materialColours;        // by surface number, from a "material" element
    std::vector<std::pair<std::string, std::size_t>> skipped; // elements read past
    std::vector<std::string> unread;                          // properties read past, "element: names"
};

// Where each vertex property goes, settled once: a position axis, a map's component, or
// nowhere.
constexpr int kPosition = -1, kNowhere = -2;
struct VertexLayout {
    std::vector<int> map;       // a map's place in Content::maps, kPosition or kNowhere
    std::vector<int> component; // the axis, or the map's component
};

int propertyNamed(const Element &element, const char *name)
{
    for (std::size_t p = 0; p < element.properties.size(); ++p)
        if (!element.properties[p].list && element.properties[p].name == name)
            return static_cast<int>(p);
    return -1;
}

// Gives properties named in `names` (all present) the components of a new map.
bool claim(const Element &element, VertexLayout &layout, Content &content, std::uint32_t type, const std::string &name,
           std::initializer_list<const char *> names)
{
    std::vector<int> found;
    for (const char *property : names)
        found.push_back(propertyNamed(element, property));
    if (std::find(found.begin(), found.end(), -1) != found.end())
        return false;
    for (std::size_t c = 0; c < found.size(); ++c) {
        layout.map[found[c]] = static_cast<int>(content.maps.size());
        layout.component[found[c]] = static_cast<int>(c);
    }
    content.maps.push_back({type, name, static_cast<int>(found.size()), {}});
    return true;
}

VertexLayout layoutOf(const std::string &path, const Element &element, Content &content)
{
    VertexLayout layout;
    layout.map.assign(element.properties.size(), kNowhere);
    layout.component.assign(element.properties.size(), 0);
    for (int axis = 0; axis < 3; ++axis) {
        const int p = propertyNamed(element, axis == 0 ? "x" : axis == 1 ? "y" : "z");
        if (p < 0)
            throw MeshIoError(path + ": the vertex element has no x, y and z");
        layout.map[p] = kPosition;
        layout.component[p] = axis;
    }
    int uvMaps = 0;
    for (const auto &pair : kUvPairs)
        if (claim(element, layout, content, MH_MAP_UV, uvMaps == 0 ? "UV" : "UV" + std::to_string(uvMaps + 1),
                  {pair[0], pair[1]}))
            ++uvMaps;
    claim(element, layout, content, host::kNormalMap, "Normal", {"nx", "ny", "nz"});
    std::string unread;
    for (std::size_t p = 0; p < element.properties.size(); ++p) {
        const Property &property = element.properties[p];
        if (layout.map[p] != kNowhere || property.name.empty())
            continue;
        if (!property.list && isFloat(property.type)) {
            layout.map[p] = static_cast<int>(content.maps.size());
            content.maps.push_back({MH_MAP_WEIGHT, property.name, 1, {}});
        } else {
            unread += (unread.empty() ? "" : ", ") + excerpt(property.name);
        }
    }
    if (!unread.empty())
        content.unread.push_back("vertex: " + unread);
    return layout;
}

void skipList(Body &body, const Property &property)
{
    const std::size_t count = body.readCount(property);
    for (std::size_t k = 0; k < count; ++k)
        body.read(property.type);
}

void readVertices(const std::string &path, const Element &element, Body &body, Content &content)
{
    const VertexLayout layout = layoutOf(path, element, content);
    content.pointCount = element.count;
    for (std::size_t i = 0; i < element.count; ++i) {
        body.beginRecord(element.name, i);
        for (GatheredMap &map : content.maps) // memory as the values arrive, never as the header claims
            map.values.resize((i + 1) * map.dimension, 0.0f);
        double position[3] = {0, 0, 0};
        for (std::size_t p = 0; p < element.properties.size(); ++p) {
            const Property &property = element.properties[p];
            if (property.list) {
                skipList(body, property);
                continue;
            }
            const double value = body.read(property.type);
            const int map = layout.map[p];
            if (map == kNowhere)
                continue;
            if (!std::isfinite(value))
                body.fail(property.name + " is " + numberText(value) + ", not a finite number");
            if (map == kPosition)
                position[layout.component[p]] = value;
            else
                content.maps[map].values[i * content.maps[map].dimension + layout.component[p]] =
                    static_cast<float>(value);
        }
        body.endRecord();
        content.mesh.addPoint({position[0], position[1], position[2]});
    }
    content.verticesRead = true;
}

// The list property that holds an element's corners, or -1.
int cornerListOf(const Element &element)
{
    for (std::size_t p = 0; p < element.properties.size(); ++p) {
        const Property &property = element.properties[p];
        if (property.list && (property.name == "vertex_indices" || property.name == "vertex_index"))
            return static_cast<int>(p);
    }
    return -1;
}

constexpr std::uint32_t kRestart = UINT32_MAX; // a strip's -1: the next index starts a new strip

// Calls `triangle(a, b, c)` for every triangle of the strips `indices`, split at kRestart.
// Every other triangle of a strip is turned back to keep one winding; triangles with a
// repeated corner, which join strips, are left out.
template <typename Triangle> void forEachStripTriangle(const std::vector<std::uint32_t> &indices, Triangle triangle)
{
    std::size_t start = 0;
    for (std::size_t k = 0; k < indices.size(); ++k) {
        if (indices[k] == kRestart) {
            start = k + 1;
            continue;
        }
        if (k < start + 2)
            continue;
        const std::uint32_t a = indices[k - 2], b = indices[k - 1], c = indices[k];
        if (a == b || b == c || a == c)
            continue;
        if ((k - start) % 2 == 0)
            triangle(a, b, c);
        else
            triangle(b, a, c);
    }
}

// Reads a "face" element (a polygon a record) or a "tristrips" element (triangle strips a
// record, -1 between strips).
void readFaces(const std::string &path, const Element &element, Body &body, Content &content)
{
    const bool strips = element.name == "tristrips";
    const int listIndex = cornerListOf(element);
    int surfaceIndex = -1;
    std::string unread;
    for (std::size_t p = 0; p < element.properties.size(); ++p) {
        const Property &property = element.properties[p];
        const auto &names = kSurfaceProperties;
        if (static_cast<int>(p) == listIndex)
            continue;
        if (!property.list && !isFloat(property.type) && surfaceIndex < 0 &&
            std::find(std::begin(names), std::end(names), property.name) != std::end(names))
            surfaceIndex = static_cast<int>(p);
        else if (!property.name.empty())
            unread += (unread.empty() ? "" : ", ") + excerpt(property.name);
    }
    if (listIndex < 0)
        throw MeshIoError(path + ": the " + excerpt(element.name) + " element has no vertex_indices list");
    if (!content.verticesRead)
        throw MeshIoError(path + ": the " + excerpt(element.name) + " element comes before the vertices");
    if (!unread.empty())
        content.unread.push_back(element.name + ": " + unread);
    // The faces of earlier face elements, which numbered no surface, keep to "Default".
    if (surfaceIndex >= 0)
        content.faceSurface.resize(content.mesh.polygonCount(), kNoSurfaceNumber);
    std::vector<std::uint32_t> indices;
    const auto addPolygon = [&](const std::uint32_t *corners, std::uint32_t count, std::uint32_t surface) {
        content.mesh.addPolygon(MH_POLY_FACE, 0, corners, count);
        if (!content.faceSurface.empty() || surfaceIndex >= 0)
            content.faceSurface.push_back(surface);
    };
    for (std::size_t i = 0; i < element.count; ++i) {
        body.beginRecord(element.name, i);
        std::uint32_t surface = kNoSurfaceNumber;
        for (std::size_t p = 0; p < element.properties.size(); ++p) {
            const Property &property = element.properties[p];
            if (static_cast<int>(p) == surfaceIndex) {
                const double value = body.read(property.type);
                if (value < 0 || value >= kNoSurfaceNumber)
                    body.fail(property.name + " is " + numberText(value) + ", not a surface number");
                surface = static_cast<std::uint32_t>(value);
                continue;
            }
            if (static_cast<int>(p) != listIndex) {
                if (property.list)
                    skipList(body, property);
                else
                    body.read(property.type);
                continue;
            }
            const std::size_t count = body.readCount(property);
            indices.clear();
            for (std::size_t k = 0; k < count; ++k) {
                const double index = body.read(property.type);
                if (strips && index == -1) {
                    indices.push_back(kRestart);
                    continue;
                }
                if (!(index >= 0 && index < static_cast<double>(content.pointCount)) || index != std::floor(index))
                    body.fail("vertex index " + numberText(index) + " is outside 0 to " +
                              std::to_string(content.pointCount) + " - 1");
                indices.push_back(static_cast<std::uint32_t>(index));
            }
        }
        body.endRecord();
        if (strips) {
            forEachStripTriangle(indices, [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
                const std::uint32_t corners[3] = {a, b, c};
                addPolygon(corners, 3, surface);
            });
        } else if (!indices.empty()) {
            addPolygon(indices.data(), static_cast<std::uint32_t>(indices.size()), surface);
        }
    }
}

// A "material" element: the diffuse colour of each surface number, as bytes (0 to 255)
// or as numbers from 0 to 1.
void readMaterials(const Element &element, Body &body, Content &content)
{
    const char *const channels[3] = {"diffuse_red", "diffuse_green", "diffuse_blue"};
    for (std::size_t i = 0; i < element.count; ++i) {
        body.beginRecord(element.name, i);
        std::array<float, 3> colour{0.8f, 0.8f, 0.8f};
        for (const Property &property : element.properties) {
            if (property.list) {
                skipList(body, property);
                continue;
            }
            const double value = body.read(property.type);
            for (int c = 0; c < 3; ++c)
                if (property.name == channels[c])
                    colour[c] = static_cast<float>(std::clamp(isFloat(property.type) ? value : value / 255, 0.0, 1.0));
        }
        body.endRecord();
        content.materialColours.push_back(colour);
    }
}

// The names header comments give surface numbers: "material N NAME".
std::unordered_map<std::uint32_t, std::string> materialNames(const std::vector<std::string> &comments)
{
    std::unordered_map<std::uint32_t, std::string> names;
    for (const std::string &comment : comments) {
        unsigned long number = 0;
        int end = 0;
        if (std::sscanf(comment.c_str(), "material %lu %n", &number, &end) == 1 && end > 0 &&
            static_cast<std::size_t>(end) < comment.size() && number < kNoSurfaceNumber)
            names.emplace(static_cast<std::uint32_t>(number), comment.substr(static_cast<std::size_t>(end)));
    }
    return names;
}

// Any other element is read past, and reported; one that holds polygons in a way this
// reader does not know is refused, since the object would lose its surface.
void skipElement(const std::string &path, const Element &element, Body &body, Content &content)
{
    if (element.count > 0 && cornerListOf(element) >= 0)
        throw MeshIoError(path + ": the \"" + excerpt(element.name) +
                          "\" element lists vertex indices, but only \"face\" and \"tristrips\" elements can be read");
    for (std::size_t i = 0; i < element.count; ++i) {
        body.beginRecord(element.name, i);
        for (const Property &property : element.properties) {
            if (property.list)
                skipList(body, property);
            else
                body.read(property.type);
        }
        body.endRecord();
    }
    if (element.count > 0)
        content.skipped.emplace_back(element.name, element.count);
}

// Surfaces and maps are registered only once the whole file has been read. Faces that
// number their surfaces are on the surface a comment names for that number, or else
// "Surface N", coloured as the material element says; the others on "Default".
void attachToObject(const std::string &path, const Header &header, host::Object &object, Content &content)
{
    std::unordered_map<std::uint32_t, std::uint32_t> surfaces;
    const std::unordered_map<std::uint32_t, std::string> names = materialNames(header.comments);
    const auto surfaceNumbered = [&](std::uint32_t number) {
        const auto named = names.find(number);
        const std::string name = named != names.end() ? named->second : "Surface " + std::to_string(number);
        if (number < content.materialColours.size()) {
            const std::array<float, 3> &rgb = content.materialColours[number];
            object.materials[name] = host::Material{{rgb[0], rgb[1], rgb[2]}, 0, {}, {}};
        }
        return object.surfaceIndex(name);
    };
    const std::uint32_t fallback = object.surfaceIndex("Default");
    for (std::size_t f = 0; f < content.mesh.polygonCount(); ++f) {
        std::uint32_t surface = fallback;
        if (!content.faceSurface.empty() && content.faceSurface[f] != kNoSurfaceNumber) {
            const std::uint32_t number = content.faceSurface[f];
            const auto found = surfaces.find(number);
            surface = found != surfaces.end() ? found->second : surfaces[number] = surfaceNumbered(number);
        }
        content.mesh.setPolygonSurface(f, surface);
    }
    const std::vector<std::uint8_t> everyPoint(content.pointCount, 1);
    for (const GatheredMap &map : content.maps)
        attachPointMap(path, object, content.mesh, map.type, map.name, map.dimension, map.values, everyPoint);
}

} // namespace

ReadWarnings readPly(const std::string &path, const std::string &data, host::Object &object, int layerNumber)
{
    const Header header = parseHeader(path, data);
    Body body(path, data, header.bodyStart, header.lines, header.format);
    Content content;
    for (const Element &element : header.elements) {
        if (element.name == "vertex")
            readVertices(path, element, body, content);
        else if (element.name == "face" || element.name == "tristrips")
            readFaces(path, element, body, content);
        else if (element.name == "material")
            readMaterials(element, body, content);
        else
            skipElement(path, element, body, content);
    }
    attachToObject(path, header, object, content);
    appendToLayer(path, object, layerNumber, content.mesh);
    ReadWarnings warnings;
    for (const auto &[name, count] : content.skipped)
        warnings.push_back(path + ": " + std::to_string(count) + " \"" + excerpt(name) +
                           "\" elements not read: the object keeps only vertices and faces");
    for (const std::string &unread : content.unread)
        warnings.push_back(path + ": the " + unread.substr(0, unread.find(':')) + " properties" +
                           unread.substr(unread.find(':') + 1) + " not read: the object keeps no such values");
    return warnings;
}

} // namespace tuft::meshio
