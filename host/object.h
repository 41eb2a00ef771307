// The edited object: numbered layers, surfaces, point maps, selection, clipboard.
#pragma once

#include "host/layer_mesh.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tuft::host {

enum class SelectionMode { kPoints = 0, kPolygons = 1 };

struct MapInfo {
    std::uint32_t type;
    std::string name;
    int dimension;
};

// A glTF texture's image: bytes the file embedded in a buffer, a data: URI as the file
// had it, or a file beside the one read.
struct GltfImage {
    std::string name;
    std::string mimeType; // of embedded bytes
    std::string bytes;    // embedded in a buffer view
    std::string dataUri;
    std::string path; // of the file, absolute
};

// A texture's sampler: filters and wraps as glTF numbers them, filters 0 where none is given.
struct GltfSampler {
    long magFilter = 0, minFilter = 0;
    long wrapS = 10497, wrapT = 10497; // repeat
};

struct GltfTexture {
    std::shared_ptr<const GltfImage> image; // one for the materials that share it
    std::optional<GltfSampler> sampler;
};

// What a glTF material says besides the colour the rest of the system shows, kept to be
// written back as it was read; glTF's defaults where the file says nothing.
struct GltfLook {
    double baseColor[4] = {1, 1, 1, 1}; // baseColorFactor, alpha last
    double metallic = 1, roughness = 1;
    double emissive[3] = {0, 0, 0};
    std::string alphaMode = "OPAQUE"; // OPAQUE, MASK or BLEND
    double alphaCutoff = 0.5;         // for MASK
    bool doubleSided = false;
    std::optional<GltfTexture> baseColorTexture; // on TEXCOORD_0
};

// A material a file defines for a surface of that name.
struct Material {
    float diffuse[3]; // the base colour, 0..1
    // The material library that defines it: its number in the object's libraries, from
    // 1; 0 when none does (glTF).
    std::size_t library;
    // The statements of its block in that library, a line each, as read (comments and
    // blank lines left out): for a copy that keeps what the host does not read.
    std::string statements;
    std::optional<GltfLook> gltf{}; // when a glTF file defined it
};

// A material library a file names: by that name, and the file the name leads to.
struct MaterialLibrary {
    std::string name; // as the OBJ file's "mtllib" line gives it
    std::string path; // the file, from the naming file's folder
};

struct Layer {
    int number;
    int slot; // dense index, stable for the object's life; part of element ids
    LayerMesh mesh;
};

class Object {
public:
    static constexpr int kLargestLayer = 9999999;

    // The layer with that number, made empty when missing; null for a number out of range.
    Layer *layer(int number);
    const Layer *findLayer(int number) const;
    Layer *layerBySlot(int slot);
    // Layers that exist, in number order (some may be empty).
    std::vector<const Layer *> layers() const;

    std::uint32_t surfaceIndex(const std::string &name);
    const std::string &surfaceName(std::uint32_t index) const { return surfaces_[index]; }
    std::size_t surfaceCount() const { return surfaces_.size(); }

    // The names polygon tags refer to (group and object names); index 0 is no name.
    std::uint32_t tagNameIndex(const std::string &name);
    const std::string &tagName(std::uint32_t index) const { return tagNames_[index]; }

    // The key of the map of that type and name, registering it with `dimension` if new;
    // -1 when a map of that type and name exists with another dimension.
    long mapKey(std::uint32_t type, const std::string &name, int dimension);
    // The key, or -1 when no such map was ever registered.
    long findMapKey(std::uint32_t type, const std::string &name) const;
    const MapInfo &mapInfo(std::uint32_t key) const { return maps_[key]; }
    std::size_t mapCount() const { return maps_.size(); }

    int currentLayer = 1;        // the user's primary layer
    std::vector<int> background; // background layers, in order
    SelectionMode selectionMode = SelectionMode::kPoints;
    LayerMesh clipboard;
    // The material libraries the files read named (OBJ "mtllib"), in order, and the
    // materials they define, by surface name.
    std::vector<MaterialLibrary> materialLibraries;
    std::map<std::string, Material> materials;

private:
    std::map<int, std::unique_ptr<Layer>> layers_;
    std::vector<Layer *> slots_;
    std::vector<std::string> surfaces_;
    std::map<std::string, std::uint32_t> surfaceIndex_;
    std::vector<std::string> tagNames_{std::string()};
    std::map<std::string, std::uint32_t> tagNameIndex_{{std::string(), 0}};
    std::vector<MapInfo> maps_;
    std::map<std::pair<std::uint32_t, std::string>, std::uint32_t> mapIndex_;
};

} // namespace tuft::host
