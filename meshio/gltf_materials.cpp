#include "meshio/gltf_materials.h"

#include "host/surface_colours.h"
#include "meshio/writing.h"

#include <cmath>
#include <cstring>
#include <utility>

namespace tuft::meshio::gltf {

namespace {

[[noreturn]] void failIn(const std::string &path, const std::string &what) { throw MeshIoError(path + ": " + what); }

// The factors of `key` (a number or an array of `count`) into `out`, each 0..1; left as
// they are when the key is missing.
void readFactors(const std::string &path, const Json &object, const char *key, double *out, std::size_t count)
{
    if (!object.contains(key))
        return;
    const Json &value = object.at(key);
    const std::string what = (std::strchr("aeiou", key[0]) != nullptr ? "an " : "a ") + std::string(key);
    if (count == 1) {
        out[0] = unitNumber(path, value, what);
        return;
    }
    if (!value.is_array() || value.size() != count)
        failIn(path, what + " is " + valueText(value) + ", not an array of " + std::to_string(count) + " numbers");
    for (std::size_t i = 0; i < count; ++i)
        out[i] = unitNumber(path, value.at(i), what);
}

} // namespace

// The textures a material may have besides its base colour's, none of them kept.
const std::pair<const char *, const char *> kUnkeptTextures[] = {
    {"normalTexture", "normal textures"},
    {"occlusionTexture", "occlusion textures"},
    {"emissiveTexture", "emissive textures"},
    {"metallicRoughnessTexture", "metallic-roughness textures"}};

host::Material readMaterial(const std::string &path, const Json &material, NotKept &notKept)
{
    host::GltfLook look;
    const Json &pbr = material.value("pbrMetallicRoughness", Json::object());
    readFactors(path, pbr, "baseColorFactor", look.baseColor, 4);
    readFactors(path, pbr, "metallicFactor", &look.metallic, 1);
    readFactors(path, pbr, "roughnessFactor", &look.roughness, 1);
    readFactors(path, material, "emissiveFactor", look.emissive, 3);
    if (material.contains("alphaMode")) {
        const Json &mode = material.at("alphaMode");
        if (mode != "OPAQUE" && mode != "MASK" && mode != "BLEND")
            failIn(path, "a material's alphaMode is " + valueText(mode) + ", not OPAQUE, MASK or BLEND");
        look.alphaMode = mode.get<std::string>();
    }
    if (material.contains("alphaCutoff")) {
        const Json &cutoff = material.at("alphaCutoff");
        if (!cutoff.is_number() || !(cutoff.get<double>() >= 0) || !std::isfinite(cutoff.get<double>()))
            failIn(path, "a material's alphaCutoff is " + valueText(cutoff) + ", not a number from 0 up");
        look.alphaCutoff = cutoff.get<double>();
    }
    if (material.contains("doubleSided")) {
        if (!material.at("doubleSided").is_boolean())
            failIn(path,
                   "a material's doubleSided is " + valueText(material.at("doubleSided")) + ", not true or false");
        look.doubleSided = material.at("doubleSided").get<bool>();
    }
    for (const auto &[key, kind] : kUnkeptTextures)
        if (material.contains(key) || pbr.contains(key))
            notKept.add(kind);
    // The rest of the system shows the base colour; where the file gives none, a light grey.
    host::Material kept{{0.8f, 0.8f, 0.8f}, {}, look};
    if (pbr.contains("baseColorFactor"))
        for (int i = 0; i < 3; ++i)
            kept.diffuse[i] = static_cast<float>(look.baseColor[i]);
    return kept;
}

MaterialsOut::MaterialsOut(const host::Object &object, const std::string &plantedSurface)
    : object_(object), plantedSurface_(plantedSurface), fileNames_(surfaceFileNames(object))
{
}

std::size_t MaterialsOut::of(std::uint32_t surface)
{
    const auto found = index_.emplace(surface, materials_.size());
    if (found.second)
        materials_.push_back(describe(surface));
    return found.first->second;
}

MaterialsOut::Json MaterialsOut::describe(std::uint32_t surface) const
{
    const auto material = object_.materials.find(object_.surfaceName(surface));
    if (material == object_.materials.end() || !material->second.gltf) {
        const float *rgb = host::surfaceColour(object_, surface, plantedSurface_);
        return {
            {"name", fileNames_[surface]},
            {"pbrMetallicRoughness",
             {{"baseColorFactor", {rgb[0], rgb[1], rgb[2], 1.0}}, {"metallicFactor", 0.0}, {"roughnessFactor", 1.0}}},
            {"doubleSided", true}}; // a blade is one sheet
    }
    const host::GltfLook &look = *material->second.gltf;
    const double *c = look.baseColor;
    Json out = {{"name", fileNames_[surface]},
                {"pbrMetallicRoughness",
                 {{"baseColorFactor", {c[0], c[1], c[2], c[3]}},
                  {"metallicFactor", look.metallic},
                  {"roughnessFactor", look.roughness}}}};
    if (look.emissive[0] != 0 || look.emissive[1] != 0 || look.emissive[2] != 0)
        out["emissiveFactor"] = {look.emissive[0], look.emissive[1], look.emissive[2]};
    if (look.alphaMode != "OPAQUE")
        out["alphaMode"] = look.alphaMode;
    if (look.alphaMode == "MASK")
        out["alphaCutoff"] = look.alphaCutoff;
    out["doubleSided"] = look.doubleSided;
    return out;
}

} // namespace tuft::meshio::gltf
