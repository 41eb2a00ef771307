// glTF materials as the object keeps them: the colour the rest of the system shows, and
// the glTF look (factors, alpha, sides) written back as it was read.
#pragma once

#include "host/object.h"
#include "meshio/gltf_buffers.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tuft::meshio::gltf {

// What a file holds that the object cannot keep, told once for each kind.
class NotKept {
public:
    explicit NotKept(const std::string &path) : path_(path) {}
    // `what` names the kind ("animations"): "<path>: animations are not kept".
    void add(const std::string &what)
    {
        if (told_.insert(what).second)
            warnings.push_back(path_ + ": " + what + " are not kept");
    }
    ReadWarnings warnings;

private:
    std::string path_;
    std::set<std::string> told_;
};

// A material of the file as the object keeps it; throws MeshIoError for a value glTF
// does not allow (a factor out of its range, an unknown alphaMode).
host::Material readMaterial(const std::string &path, const Json &material, NotKept &notKept);

// The materials of a written file, one for each surface its primitives use, in the order
// first asked for: a glTF material as it was read, else the surface's colour on one sheet
// lit from both sides (a blade).
class MaterialsOut {
public:
    using Json = nlohmann::ordered_json;
    MaterialsOut(const host::Object &object, const std::string &plantedSurface);
    // The index of the surface's material.
    std::size_t of(std::uint32_t surface);
    const Json &materials() const { return materials_; }

private:
    Json describe(std::uint32_t surface) const;

    const host::Object &object_;
    const std::string &plantedSurface_;
    const std::vector<std::string> fileNames_;
    std::map<std::uint32_t, std::size_t> index_;
    Json materials_ = Json::array();
};

} // namespace tuft::meshio::gltf
