// glTF 2.0 input, binary (.glb) or JSON (.gltf) with its buffers beside it or in data
// URIs: every mesh of the scene's nodes, placed by their transforms, each primitive's
// triangles (strips and fans too) as polygons, NORMAL as a normal map, TEXCOORD_0 as the
// UV map "UV", materials as surfaces (their glTF factors and base-colour texture kept
// with the object's materials, to be written back), the nodes' names as the polygons'
// object names. Every index, count and offset is checked against what the buffers hold
// before it is used.
#include "meshio/formats.h"
#include "meshio/gltf_buffers.h"
#include "meshio/gltf_materials.h"
#include "meshio/gltf_matrix.h"
#include "meshio/gltf_not_kept.h"
#include "meshio/reading.h"
#include "sdk/modeler_host.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <set>

namespace tuft::meshio {

namespace {

using Json = gltf::Json;
using gltf::identity;
using gltf::localMatrix;
using gltf::Matrix;
using gltf::multiply;

constexpr int kMostNodeDepth = 64;        // levels of nodes within nodes
constexpr std::size_t kMostMessage = 200; // of the JSON library's own message, which may quote a whole token
// Points and corners the scene may place, for each byte of the file and its buffers: a
// mesh placed by many nodes is many copies, but never without end.
constexpr std::uint64_t kMostPlacedPerByte = 256;

class GltfReader {
public:
    GltfReader(const std::string &path, host::Object &object, const LibraryReader &files)
        : notKept(path), path_(path), object_(object), buffers_(path, files),
          textures_(path, gltf_, buffers_, static_cast<bool>(files), notKept)
    {
    }

    void readGlb(const std::string &data) { read(gltf::jsonOfGlb(path_, data, binary_)); }

    void read(const std::string &text)
    {
        gltf::checkNesting(path_, text);
        jsonBytes_ = text.size();
        try {
            gltf_ = Json::parse(text);
        } catch (const Json::exception &error) { // a syntax error, or a number beyond a double
            fail("the JSON is not valid: " + excerpt(error.what(), kMostMessage));
        }
        if (!gltf_.is_object())
            fail("the JSON is " + gltf::valueText(gltf_) + ", not a glTF object");
        try {
            checkAsset();
            gltf::checkExtensions(path_, gltf_);
            gltf::tellUnkeptParts(gltf_, notKept);
            buffers_.load(gltf_, binary_);
            readScene();
        } catch (const Json::exception &error) {
            fail("the JSON does not describe glTF as it should: " + excerpt(error.what(), kMostMessage));
        }
    }

    host::Mesh mesh;
    gltf::NotKept notKept; // what the file holds that the object cannot keep

private:
    [[noreturn]] void fail(const std::string &what) const { throw MeshIoError(path_ + ": " + what); }
    std::size_t whole(const Json &value, const std::string &what) const
    {
        return gltf::wholeNumber(path_, value, what);
    }

    // glTF 2.0 names its version, "2.0" (a later "2.x" reads as 2.0 does).
    void checkAsset() const
    {
        if (!gltf_.contains("asset") || !gltf_.at("asset").contains("version"))
            fail("it has no asset.version, which every glTF file has");
        const Json &version = gltf_.at("asset").at("version");
        if (!version.is_string() || version.get_ref<const std::string &>().rfind("2.", 0) != 0)
            fail("glTF version " + gltf::valueText(version) + ": only version 2 is read");
    }

    // The nodes to read: those of the scene, else every node that is no node's child. The
    // hierarchy is checked whole first, and what it places counted, before anything is
    // placed: a few nodes must not expand to more than the file could ever describe.
    void readScene()
    {
        const std::vector<std::size_t> parents = parentsOfNodes();
        std::vector<std::size_t> roots;
        const Json &scenes = gltf_.contains("scenes") ? gltf_.at("scenes") : Json::array();
        const std::size_t scene = gltf::wholeNumberOr(path_, gltf_, "scene", 0);
        if (scene < scenes.size() && scenes.at(scene).contains("nodes")) {
            std::vector<bool> named(parents.size(), false);
            for (const Json &node : scenes.at(scene).at("nodes")) {
                const std::size_t index = whole(node, "a node of the scene");
                if (index >= parents.size())
                    fail("node " + std::to_string(index) + " of the scene does not exist");
                if (parents[index] != kNoParent)
                    fail("node " + std::to_string(index) + " of the scene is a child of node " +
                         std::to_string(parents[index]) + ", not a root");
                if (named[index])
                    fail("the scene names node " + std::to_string(index) + " twice");
                named[index] = true;
                roots.push_back(index);
            }
        } else {
            for (std::size_t n = 0; n < parents.size(); ++n)
                if (parents[n] == kNoParent)
                    roots.push_back(n);
        }
        checkPlacedSize(roots);
        for (std::size_t node : roots)
            readNode(node, identity(), 0, 0);
    }

    static constexpr std::size_t kNoParent = ~std::size_t(0);

    // Each node's parent, glTF's nodes being strict trees: a node is the child of one node
    // at most, once, and never its own ancestor. Otherwise refused, naming the nodes.
    std::vector<std::size_t> parentsOfNodes() const
    {
        const Json &nodes = gltf_.contains("nodes") ? gltf_.at("nodes") : Json::array();
        std::vector<std::size_t> parents(nodes.size(), kNoParent);
        for (std::size_t n = 0; n < nodes.size(); ++n)
            for (const Json &c : nodes.at(n).value("children", Json::array())) {
                const std::size_t child = whole(c, "a node's child");
                if (child >= nodes.size())
                    fail("node " + std::to_string(n) + " has the child " + std::to_string(child) +
                         ", which does not exist");
                if (parents[child] == n)
                    fail("node " + std::to_string(n) + " names its child " + std::to_string(child) + " twice");
                if (parents[child] != kNoParent)
                    fail("node " + std::to_string(child) + " is a child of node " + std::to_string(parents[child]) +
                         " and of node " + std::to_string(n) + ": a node has one parent at most");
                parents[child] = n;
            }
        // Up from each node to its root, every node walked once.
        std::vector<std::uint8_t> state(nodes.size(), 0); // 0 not seen, 1 on this walk, 2 leads to a root
        for (std::size_t n = 0; n < nodes.size(); ++n) {
            std::size_t at = n;
            while (at != kNoParent && state[at] == 0) {
                state[at] = 1;
                at = parents[at];
            }
            if (at != kNoParent && state[at] == 1)
                fail("node " + std::to_string(at) + " is its own ancestor: the nodes form a cycle");
            for (at = n; at != kNoParent && state[at] == 1; at = parents[at])
                state[at] = 2;
        }
        return parents;
    }

    // The points and corners the roots' trees place (each mesh as often as nodes name it),
    // refused beyond kMostPlacedPerByte for each byte of the file and its buffers.
    void checkPlacedSize(const std::vector<std::size_t> &roots) const
    {
        if (roots.empty())
            return;
        const Json &nodes = gltf_.at("nodes");
        double placed = 0; // a sum of counts up to 2^64 each: as a double, it cannot wrap
        std::vector<std::size_t> stack(roots);
        while (!stack.empty()) {
            const Json &node = nodes.at(stack.back());
            stack.pop_back();
            if (node.contains("mesh"))
                placed += meshSize(whole(node.at("mesh"), "a node's mesh"));
            for (const Json &child : node.value("children", Json::array()))
                stack.push_back(whole(child, "a node's child"));
        }
        const std::uint64_t bytes = jsonBytes_ + buffers_.bytes();
        if (placed > static_cast<double>(kMostPlacedPerByte * bytes))
            fail("the nodes place " + std::to_string(static_cast<std::uint64_t>(std::min(placed, 1e19))) +
                 " points and corners, more than " + std::to_string(kMostPlacedPerByte) + " for each of the file's " +
                 std::to_string(bytes) + " bytes");
    }

    // A mesh's points and corners, as its accessors count them, no more than the buffers'
    // bytes each (an accessor that does not exist, or counts what no buffer holds, counts
    // nothing here: reading refuses it, naming it).
    double meshSize(std::size_t index) const
    {
        const Json *meshes = gltf_.contains("meshes") ? &gltf_.at("meshes") : nullptr;
        if (meshes == nullptr || index >= meshes->size() || !meshes->at(index).contains("primitives"))
            return 0;
        const double most = static_cast<double>(buffers_.bytes());
        const auto count = [this, most](const Json &accessor) -> double {
            const Json *accessors = gltf_.contains("accessors") ? &gltf_.at("accessors") : nullptr;
            if (!accessor.is_number_unsigned() || accessors == nullptr ||
                accessor.get<std::uint64_t>() >= accessors->size())
                return 0;
            const Json &a = accessors->at(accessor.get<std::size_t>());
            if (!a.contains("count") || !a.at("count").is_number_unsigned())
                return 0;
            return std::min(static_cast<double>(a.at("count").get<std::uint64_t>()), most);
        };
        double size = 0;
        for (const Json &primitive : meshes->at(index).at("primitives")) {
            const Json &attributes = primitive.value("attributes", Json::object());
            const double points = attributes.contains("POSITION") ? count(attributes.at("POSITION")) : 0;
            size += points + (primitive.contains("indices") ? count(primitive.at("indices")) : points);
        }
        return size;
    }

    // A node's polygons are named after it, or after its nearest named ancestor
    // (`parentName`, an index into objectNames_, 0 for none).
    void readNode(std::size_t index, const Matrix &parent, int depth, std::uint32_t parentName)
    {
        const Json &nodes = gltf_.at("nodes");
        if (depth > kMostNodeDepth)
            fail("the node hierarchy is deeper than " + std::to_string(kMostNodeDepth));
        const Json &node = nodes.at(index);
        const Matrix world = multiply(parent, localMatrix(node));
        if (!std::all_of(world.begin(), world.end(), [](double v) { return std::isfinite(v); }))
            fail("node " + std::to_string(index) + ": its transform, with its parents', is not finite");
        node_ = index;
        const std::string name = node.value("name", std::string());
        const std::uint32_t named = name.empty() ? parentName : objectName(name);
        nodeName_ = named;
        if (node.contains("mesh"))
            readMesh(whole(node.at("mesh"), "a node's mesh"), world);
        for (const Json &child : node.value("children", Json::array()))
            readNode(whole(child, "a node's child"), world, depth + 1, named);
    }

    void readMesh(std::size_t index, const Matrix &world)
    {
        const Json &meshes = gltf_.at("meshes");
        if (index >= meshes.size())
            fail("mesh " + std::to_string(index) + " does not exist");
        for (const Json &primitive : meshes.at(index).at("primitives"))
            readPrimitive(primitive, world);
    }

    void readPrimitive(const Json &primitive, const Matrix &world)
    {
        if (primitive.contains("targets"))
            fail("a primitive has morph targets, which this program does not read");
        if (primitive.contains("extensions"))
            for (const char *extension : gltf::kUnreadableExtensions)
                if (primitive.at("extensions").contains(extension))
                    fail("a primitive is compressed with " + std::string(extension) +
                         ", which this program does not read");
        const Json &attributes = primitive.at("attributes");
        gltf::tellUnkeptAttributes(attributes, notKept);
        if (!attributes.contains("POSITION"))
            fail("a primitive has no POSITION");
        const std::vector<double> positions =
            buffers_.accessor(gltf_, whole(attributes.at("POSITION"), "POSITION"), 3, "POSITION");
        const std::size_t vertices = positions.size() / 3;
        std::vector<double> normals, uvs;
        if (attributes.contains("NORMAL"))
            normals = buffers_.accessor(gltf_, whole(attributes.at("NORMAL"), "NORMAL"), 3, "NORMAL");
        if (attributes.contains("TEXCOORD_0"))
            uvs = buffers_.accessor(gltf_, whole(attributes.at("TEXCOORD_0"), "TEXCOORD_0"), 2, "TEXCOORD_0");
        if ((!normals.empty() && normals.size() != positions.size()) || (!uvs.empty() && uvs.size() != 2 * vertices))
            fail("a primitive's attributes have different counts");
        std::vector<std::uint32_t> indices;
        if (primitive.contains("indices")) {
            for (double index : buffers_.indices(gltf_, whole(primitive.at("indices"), "a primitive's indices"))) {
                if (index >= static_cast<double>(vertices))
                    fail("index " + std::to_string(static_cast<std::uint64_t>(index)) + " is past the " +
                         std::to_string(vertices) + " vertices of its primitive");
                indices.push_back(static_cast<std::uint32_t>(index));
            }
        } else {
            for (std::size_t i = 0; i < vertices; ++i)
                indices.push_back(static_cast<std::uint32_t>(i));
        }
        const std::uint32_t first = static_cast<std::uint32_t>(mesh.pointCount());
        for (std::size_t v = 0; v < vertices; ++v) {
            const double *p = &positions[3 * v];
            const host::Vec3 placed{world[0] * p[0] + world[4] * p[1] + world[8] * p[2] + world[12],
                                    world[1] * p[0] + world[5] * p[1] + world[9] * p[2] + world[13],
                                    world[2] * p[0] + world[6] * p[1] + world[10] * p[2] + world[14]};
            if (!std::isfinite(placed.x) || !std::isfinite(placed.y) || !std::isfinite(placed.z))
                fail("node " + std::to_string(node_) + " places vertex " + std::to_string(v) +
                     " at no finite position: its transform overflows");
            mesh.addPoint(placed);
        }
        addValues(first, vertices, normals, uvs, world);
        addPolygons(primitive, first, indices);
    }

    // Normals turn with the node (by its cofactors, which keep them on the winding's side).
    void addValues(std::uint32_t first, std::size_t vertices, const std::vector<double> &normals,
                   const std::vector<double> &uvs, const Matrix &m)
    {
        for (std::size_t v = 0; v < vertices && !normals.empty(); ++v) {
            const double *n = &normals[3 * v];
            const double a[3] = {m[0], m[1], m[2]}, b[3] = {m[4], m[5], m[6]}, c[3] = {m[8], m[9], m[10]};
            const double cofactor[9] = {
                b[1] * c[2] - b[2] * c[1], b[2] * c[0] - b[0] * c[2], b[0] * c[1] - b[1] * c[0],
                c[1] * a[2] - c[2] * a[1], c[2] * a[0] - c[0] * a[2], c[0] * a[1] - c[1] * a[0],
                a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
            double out[3];
            for (int i = 0; i < 3; ++i)
                out[i] = cofactor[i] * n[0] + cofactor[3 + i] * n[1] + cofactor[6 + i] * n[2];
            const double length = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
            if (!std::isfinite(length))
                fail("node " + std::to_string(node_) + " turns normal " + std::to_string(v) +
                     " by no finite amount: its transform overflows");
            const float value[3] = {static_cast<float>(length > 0 ? out[0] / length : 0),
                                    static_cast<float>(length > 0 ? out[1] / length : 1),
                                    static_cast<float>(length > 0 ? out[2] / length : 0)};
            normalValues_.resize(3 * (first + v));
            normalValues_.insert(normalValues_.end(), value, value + 3);
            normalHas_.resize(first + v, 0);
            normalHas_.push_back(1);
        }
        for (std::size_t v = 0; v < vertices && !uvs.empty(); ++v) {
            uvValues_.resize(2 * (first + v));
            uvValues_.push_back(static_cast<float>(uvs[2 * v]));
            uvValues_.push_back(static_cast<float>(1.0 - uvs[2 * v + 1])); // glTF's V runs down
            uvHas_.resize(first + v, 0);
            uvHas_.push_back(1);
        }
    }

    void addPolygons(const Json &primitive, std::uint32_t first, const std::vector<std::uint32_t> &indices)
    {
        const std::size_t mode = gltf::wholeNumberOr(path_, primitive, "mode", 4);
        const std::uint32_t surface = surfaceOf(primitive);
        const auto add = [&](std::initializer_list<std::uint32_t> corners) {
            std::uint32_t points[3];
            std::uint32_t n = 0;
            for (std::uint32_t corner : corners)
                points[n++] = first + corner;
            mesh.addPolygon(MH_POLY_FACE, surface, points, n);
            polygonNames_.push_back(nodeName_);
        };
        const std::size_t count = indices.size();
        switch (mode) {
        case 0: // points
            for (std::uint32_t i : indices)
                add({i});
            break;
        case 1: // lines
            for (std::size_t i = 0; i + 1 < count; i += 2)
                add({indices[i], indices[i + 1]});
            break;
        case 2: // line loop
        case 3: // line strip
            for (std::size_t i = 0; i + 1 < count; ++i)
                add({indices[i], indices[i + 1]});
            if (mode == 2 && count > 2)
                add({indices[count - 1], indices[0]});
            break;
        case 4:
            for (std::size_t i = 0; i + 2 < count; i += 3)
                add({indices[i], indices[i + 1], indices[i + 2]});
            break;
        case 5: // strip: every other triangle turns the other way
            for (std::size_t i = 0; i + 2 < count; ++i)
                if (i % 2 == 0)
                    add({indices[i], indices[i + 1], indices[i + 2]});
                else
                    add({indices[i + 1], indices[i], indices[i + 2]});
            break;
        case 6:
            for (std::size_t i = 1; i + 1 < count; ++i)
                add({indices[0], indices[i], indices[i + 1]});
            break;
        default:
            fail("a primitive of the unknown mode " + std::to_string(mode));
        }
    }

    std::uint32_t objectName(const std::string &name)
    {
        const auto found = objectIndex_.emplace(name, static_cast<std::uint32_t>(objectNames_.size()));
        if (found.second)
            objectNames_.push_back(name);
        return found.first->second;
    }

    std::uint32_t surfaceOf(const Json &primitive)
    {
        if (!primitive.contains("material"))
            return surface(kNoMaterial, "Default", nullptr);
        const std::size_t index = whole(primitive.at("material"), "a primitive's material");
        const Json &materials = gltf_.at("materials");
        if (index >= materials.size())
            fail("material " + std::to_string(index) + " does not exist");
        const Json &material = materials.at(index);
        std::string name = material.value("name", "");
        if (name.empty())
            name = "Material " + std::to_string(index);
        const host::Material look = gltf::readMaterial(path_, material, textures_, notKept);
        return surface(index, name, &look);
    }

    // A surface a material: materials whose names repeat stay apart, the later ones
    // named with a number ("Default 2"), since the object knows surfaces by name.
    std::uint32_t surface(std::size_t material, const std::string &name, const host::Material *look)
    {
        const auto found = surfaces_.emplace(material, static_cast<std::uint32_t>(surfaceNames_.size()));
        if (found.second) {
            std::string unique = name;
            for (int n = 2; !namesUsed_.insert(unique).second; ++n)
                unique = name + " " + std::to_string(n);
            surfaceNames_.push_back(unique);
            looks_.push_back(look != nullptr ? std::optional<host::Material>(*look) : std::nullopt);
        }
        return found.first->second;
    }

public:
    // Surfaces, maps and materials join the object once the whole file has been read.
    void attachToObject()
    {
        std::vector<std::uint32_t> surfaces;
        for (std::size_t i = 0; i < surfaceNames_.size(); ++i) {
            surfaces.push_back(object_.surfaceIndex(surfaceNames_[i]));
            if (looks_[i])
                object_.materials[surfaceNames_[i]] = *looks_[i];
        }
        for (std::size_t p = 0; p < mesh.polygonCount(); ++p)
            mesh.setPolygonSurface(p, surfaces[mesh.polygon(p).surface]);
        if (objectNames_.size() > 1) { // the nodes' names, as an OBJ file's objects
            std::vector<std::uint32_t> names(objectNames_.size(), 0);
            for (std::size_t i = 1; i < names.size(); ++i)
                names[i] = object_.tagNameIndex(objectNames_[i]);
            host::PolygonTag &tag = mesh.tagFor(host::kObjectTag);
            for (std::size_t p = 0; p < mesh.polygonCount(); ++p)
                tag.values[p] = names[polygonNames_[p]];
        }
        const std::size_t points = mesh.pointCount();
        if (!normalHas_.empty()) {
            normalValues_.resize(3 * points, 0.0f);
            normalHas_.resize(points, 0);
            attachPointMap(path_, object_, mesh, host::kNormalMap, "Normal", 3, normalValues_, normalHas_);
        }
        if (!uvHas_.empty()) {
            uvValues_.resize(2 * points, 0.0f);
            uvHas_.resize(points, 0);
            attachPointMap(path_, object_, mesh, MH_MAP_UV, "UV", 2, uvValues_, uvHas_);
        }
    }

private:
    const std::string &path_;
    host::Object &object_;
    Json gltf_;
    std::size_t jsonBytes_ = 0;
    std::size_t node_ = 0; // the node being placed, for messages
    std::uint32_t nodeName_ = 0;
    std::vector<std::string> objectNames_{std::string()}; // the nodes' names; 0 is none
    std::map<std::string, std::uint32_t> objectIndex_;
    std::vector<std::uint32_t> polygonNames_; // by polygon
    std::optional<std::string> binary_;
    gltf::Buffers buffers_;
    gltf::TextureReader textures_;
    std::vector<float> normalValues_, uvValues_;
    std::vector<std::uint8_t> normalHas_, uvHas_;
    static constexpr std::size_t kNoMaterial = static_cast<std::size_t>(-1);
    std::map<std::size_t, std::uint32_t> surfaces_; // by material index
    std::set<std::string> namesUsed_;
    std::vector<std::string> surfaceNames_;
    std::vector<std::optional<host::Material>> looks_;
};

} // namespace

ReadWarnings readGltf(const std::string &path, const std::string &data, host::Object &object, int layer, bool binary,
                      const LibraryReader &files)
{
    GltfReader reader(path, object, files);
    if (binary)
        reader.readGlb(data);
    else
        reader.read(data);
    reader.attachToObject();
    appendToLayer(path, object, layer, reader.mesh);
    return reader.notKept.warnings;
}

} // namespace tuft::meshio
