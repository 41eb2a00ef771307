// glTF materials as the object keeps them: the colour the rest of the system shows, and
// the glTF look (factors, alpha, sides, the base colour's texture with its sampler and
// image) written back as it was read.
#pragma once

#include "host/object.h"
#include "meshio/gltf_buffers.h"
#include "meshio/gltf_not_kept.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tuft::meshio::gltf {

// The base-colour textures of a file's materials, each image read once and shared by the
// materials that use it. An image in a file beside the read one is kept by its path (when
// `filesBeside`; else not at all); one that cannot be found is a warning.
class TextureReader {
public:
    TextureReader(const std::string &path, const Json &gltf, const Buffers &buffers, bool filesBeside, NotKept &notKept)
        : path_(path), gltf_(gltf), buffers_(buffers), filesBeside_(filesBeside), notKept_(notKept)
    {
    }
    // The texture a material's textureInfo names; none for one the object cannot keep
    // (told to NotKept). Throws MeshIoError for what glTF does not allow.
    std::optional<host::GltfTexture> texture(const Json &info);

private:
    [[noreturn]] void fail(const std::string &what) const { throw MeshIoError(path_ + ": " + what); }
    std::shared_ptr<const host::GltfImage> image(std::size_t index);
    host::GltfSampler sampler(std::size_t index) const;

    const std::string &path_;
    const Json &gltf_;
    const Buffers &buffers_;
    const bool filesBeside_;
    NotKept &notKept_;
    std::map<std::size_t, std::shared_ptr<const host::GltfImage>> images_; // by index; null for one not kept
};

// A material of the file as the object keeps it; throws MeshIoError for a value glTF
// does not allow (a factor out of its range, an unknown alphaMode).
host::Material readMaterial(const std::string &path, const Json &material, TextureReader &textures, NotKept &notKept);

// The materials of a written file, one for each surface its primitives use, in the order
// first asked for: a glTF material as it was read (an image beside the read file named
// from the folder of `outputPath`), else the surface's colour on one sheet lit from both
// sides (a blade). Blades coloured one by one are white: glTF multiplies their colours
// into it.
class MaterialsOut {
public:
    using Json = nlohmann::ordered_json;
    // `binary` for a .glb; `colouredBlades` when the planted surfaces' blades carry colours.
    MaterialsOut(const host::Object &object, const std::vector<std::string> &plantedSurfaces,
                 const std::string &outputPath, bool binary, bool colouredBlades, WriteWarnings &warnings);
    // The index of the surface's material.
    std::size_t of(std::uint32_t surface);
    // Adds the materials, and the textures, samplers and images they use, to `gltf`; each
    // embedded image gets a buffer view from `view(bytes)`, for its bytes to be written
    // in the order of embedded().
    void addTo(Json &gltf, const std::function<std::size_t(std::size_t bytes)> &view);
    const std::vector<std::string_view> &embedded() const { return embedded_; }

private:
    Json describe(std::uint32_t surface);
    // The index of a texture, or -1 when its image can no longer be named (told as a warning).
    long texture(const host::GltfTexture &texture, const std::string &material);

    const host::Object &object_;
    const std::vector<std::string> &plantedSurfaces_;
    const std::string &outputPath_;
    const bool binary_;
    const bool colouredBlades_;
    WriteWarnings &warnings_;
    const std::vector<std::string> fileNames_;
    std::map<std::uint32_t, std::size_t> index_;
    std::map<const host::GltfImage *, std::size_t> imageIndex_;
    std::map<std::array<long, 4>, std::size_t> samplerIndex_;
    std::map<std::pair<std::size_t, long>, std::size_t> textureIndex_; // by image and sampler (-1 for none)
    Json materials_ = Json::array(), textures_ = Json::array(), samplers_ = Json::array(), images_ = Json::array();
    // The images embedded: their bytes (an image's own, or a data: URI's decoded into
    // decoded_), their places in images_ and their MIME types.
    std::vector<std::string_view> embedded_;
    std::vector<std::size_t> embeddedIndex_;
    std::vector<std::string> embeddedTypes_;
    std::deque<std::string> decoded_;
};

} // namespace tuft::meshio::gltf
