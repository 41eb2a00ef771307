// What a glTF file holds that the object has no place for: told as a read warning, once
// for each kind, never dropped in silence.
#pragma once

#include "meshio/gltf_buffers.h"

#include <set>
#include <string>

namespace tuft::meshio::gltf {

// What a file holds that the object cannot keep, told once for each kind.
class NotKept {
public:
    explicit NotKept(const std::string &path) : path_(path) {}
    // `what` names the kind ("animations"): "<path>: animations are not kept".
    void add(const std::string &what) { tell(what + " are not kept"); }
    // A warning of its own, told once: "<path>: <text>".
    void tell(const std::string &text)
    {
        if (told_.insert(text).second)
            warnings.push_back(path_ + ": " + text);
    }
    ReadWarnings warnings;

private:
    std::string path_;
    std::set<std::string> told_;
};

// Compressions of a file's meshes that this program does not undo.
inline const char *const kUnreadableExtensions[] = {"KHR_draco_mesh_compression", "EXT_meshopt_compression",
                                                    "KHR_meshopt_compression"};

// An extension the file requires and this program cannot honour is a refusal (MeshIoError
// naming `path`): read without it, the file would come out other than it is.
void checkExtensions(const std::string &path, const Json &gltf);
// Whether an extension is read as it is: one a file may require, and that loses nothing.
bool readsExtension(const Json &name);
// Tells what the whole file holds that is not kept: animations, cameras, skins, scenes
// but the one read, and the extensions it uses (by family: "KHR_materials_*").
void tellUnkeptParts(const Json &gltf, NotKept &notKept);
// Tells a primitive's attributes that are not kept (all but POSITION, NORMAL, TEXCOORD_0).
void tellUnkeptAttributes(const Json &attributes, NotKept &notKept);

} // namespace tuft::meshio::gltf
