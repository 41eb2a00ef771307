#include "meshio/gltf_materials.h"

#include "host/surface_colours.h"
#include "meshio/file_system.h"
#include "meshio/reading.h"
#include "meshio/writing.h"

#include <algorithm>
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

// The textures a material may have besides its base colour's, none of them kept.
const std::pair<const char *, const char *> kUnkeptTextures[] = {
    {"normalTexture", "normal textures"},
    {"occlusionTexture", "occlusion textures"},
    {"emissiveTexture", "emissive textures"},
    {"metallicRoughnessTexture", "metallic-roughness textures"}};

// The members of `gltf` under `key` (textures, images, samplers), none when it has none.
const Json &listOf(const Json &gltf, const char *key)
{
    static const Json kNone = Json::array();
    return gltf.contains(key) ? gltf.at(key) : kNone;
}

// A sampler's member that glTF allows only some numbers for.
long samplerNumber(const std::string &path, const Json &sampler, const char *key, long fallback,
                   std::initializer_list<long> allowed)
{
    const long value = static_cast<long>(wholeNumberOr(path, sampler, key, static_cast<std::size_t>(fallback)));
    if (std::find(allowed.begin(), allowed.end(), value) == allowed.end())
        failIn(path,
               std::string("a sampler's ") + key + " is " + std::to_string(value) + ", which glTF does not define");
    return value;
}

} // namespace

std::optional<host::GltfTexture> TextureReader::texture(const Json &info)
{
    const std::size_t index = wholeNumber(path_, info.at("index"), "a texture's index");
    const Json &textures = listOf(gltf_, "textures");
    if (index >= textures.size())
        fail("texture " + std::to_string(index) + " does not exist");
    if (wholeNumberOr(path_, info, "texCoord", 0) != 0) {
        notKept_.add("textures on a UV set other than the first");
        return std::nullopt;
    }
    const Json &texture = textures.at(index);
    if (!texture.contains("source")) { // its image is an extension's (KTX2, WebP)
        notKept_.add("textures without a PNG or JPEG image");
        return std::nullopt;
    }
    host::GltfTexture kept;
    kept.image = image(wholeNumber(path_, texture.at("source"), "a texture's source"));
    if (kept.image == nullptr)
        return std::nullopt;
    if (texture.contains("sampler"))
        kept.sampler = sampler(wholeNumber(path_, texture.at("sampler"), "a texture's sampler"));
    return kept;
}

std::shared_ptr<const host::GltfImage> TextureReader::image(std::size_t index)
{
    const auto found = images_.find(index);
    if (found != images_.end())
        return found->second;
    const Json &images = listOf(gltf_, "images");
    const std::string where = "image " + std::to_string(index);
    if (index >= images.size())
        fail(where + " does not exist");
    const Json &source = images.at(index);
    auto image = std::make_shared<host::GltfImage>();
    image->name = source.value("name", "");
    image->mimeType = source.value("mimeType", "");
    if (source.contains("bufferView")) {
        if (image->mimeType.empty())
            fail(where + " is in a buffer view but has no mimeType");
        image->bytes =
            std::string(buffers_.viewBytes(gltf_, wholeNumber(path_, source.at("bufferView"), where), where));
    } else if (!source.contains("uri")) {
        fail(where + " has neither a uri nor a buffer view");
    } else if (const std::string uri = source.at("uri").get<std::string>(); uri.rfind("data:", 0) == 0) {
        dataOfUri(path_, uri); // base64, or refused
        image->dataUri = uri;
        if (image->mimeType.empty()) // "data:image/png;base64,..."
            image->mimeType = uri.substr(5, uri.find(';') - 5);
    } else if (!filesBeside_) {
        notKept_.add("textures of images in other files");
        image = nullptr;
    } else {
        std::string why = "it is not there";
        try {
            image->path = files::realPath(besidePath(path_, uri));
        } catch (const MeshIoError &error) {
            why = error.what();
        }
        if (image->path.empty()) {
            notKept_.tell("the image " + excerpt(uri) + " cannot be had (" + why + "): its texture is not kept");
            image = nullptr;
        }
    }
    return images_[index] = image;
}

host::GltfSampler TextureReader::sampler(std::size_t index) const
{
    const Json &samplers = listOf(gltf_, "samplers");
    if (index >= samplers.size())
        fail("sampler " + std::to_string(index) + " does not exist");
    const Json &source = samplers.at(index);
    const std::initializer_list<long> wraps = {33071, 33648, 10497};
    host::GltfSampler kept;
    kept.magFilter = samplerNumber(path_, source, "magFilter", 0, {0, 9728, 9729});
    kept.minFilter = samplerNumber(path_, source, "minFilter", 0, {0, 9728, 9729, 9984, 9985, 9986, 9987});
    kept.wrapS = samplerNumber(path_, source, "wrapS", kept.wrapS, wraps);
    kept.wrapT = samplerNumber(path_, source, "wrapT", kept.wrapT, wraps);
    return kept;
}

host::Material readMaterial(const std::string &path, const Json &material, TextureReader &textures, NotKept &notKept)
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
    if (pbr.contains("baseColorTexture"))
        look.baseColorTexture = textures.texture(pbr.at("baseColorTexture"));
    for (const auto &[key, kind] : kUnkeptTextures)
        if (material.contains(key) || pbr.contains(key))
            notKept.add(kind);
    // The rest of the system shows the base colour; where the file gives none, a light grey.
    host::Material kept{{0.8f, 0.8f, 0.8f}, 0, {}, look};
    if (pbr.contains("baseColorFactor"))
        for (int i = 0; i < 3; ++i)
            kept.diffuse[i] = static_cast<float>(look.baseColor[i]);
    return kept;
}

MaterialsOut::MaterialsOut(const host::Object &object, const std::vector<std::string> &plantedSurfaces,
                           const std::string &outputPath, bool binary, bool colouredBlades, WriteWarnings &warnings)
    : object_(object), plantedSurfaces_(plantedSurfaces), outputPath_(outputPath), binary_(binary),
      colouredBlades_(colouredBlades), warnings_(warnings), fileNames_(surfaceFileNames(object))
{
}

std::size_t MaterialsOut::of(std::uint32_t surface)
{
    const auto found = index_.find(surface);
    if (found != index_.end())
        return found->second;
    materials_.push_back(describe(surface));
    return index_[surface] = materials_.size() - 1;
}

void MaterialsOut::addTo(Json &gltf, const std::function<std::size_t(std::size_t bytes)> &view)
{
    gltf["materials"] = materials_;
    if (textures_.empty())
        return;
    for (std::size_t i = 0; i < embedded_.size(); ++i) {
        Json &image = images_[embeddedIndex_[i]];
        image["bufferView"] = view(embedded_[i].size());
        image["mimeType"] = embeddedTypes_[i];
    }
    gltf["textures"] = textures_;
    if (!samplers_.empty())
        gltf["samplers"] = samplers_;
    gltf["images"] = images_;
}

long MaterialsOut::texture(const host::GltfTexture &texture, const std::string &material)
{
    const host::GltfImage *image = texture.image.get();
    auto found = imageIndex_.find(image);
    if (found == imageIndex_.end()) {
        Json out = Json::object();
        if (!image->name.empty())
            out["name"] = image->name;
        if (!image->path.empty()) {
            const std::string uri = relativeUri(image->path, outputPath_);
            if (uri.empty()) {
                warnings_.push_back(outputPath_ + ": the image " + image->path + " of the material " + material +
                                    " cannot be named from the file's folder: the material is written without it");
                return -1;
            }
            out["uri"] = uri;
        } else if (!image->dataUri.empty() && !binary_) {
            out["uri"] = image->dataUri;
            if (!image->mimeType.empty())
                out["mimeType"] = image->mimeType;
        } else { // a .glb holds its data in its binary chunk, never in data: URIs
            if (image->bytes.empty())
                decoded_.push_back(dataOfUri(outputPath_, image->dataUri));
            embedded_.push_back(image->bytes.empty() ? decoded_.back() : image->bytes);
            embeddedIndex_.push_back(images_.size());
            embeddedTypes_.push_back(image->mimeType);
        }
        images_.push_back(std::move(out));
        found = imageIndex_.emplace(image, images_.size() - 1).first;
    }
    long sampler = -1;
    if (const std::optional<host::GltfSampler> &s = texture.sampler) {
        const auto added = samplerIndex_.emplace(std::array<long, 4>{s->magFilter, s->minFilter, s->wrapS, s->wrapT},
                                                 samplers_.size());
        if (added.second) {
            Json out = Json::object();
            if (s->magFilter != 0)
                out["magFilter"] = s->magFilter;
            if (s->minFilter != 0)
                out["minFilter"] = s->minFilter;
            out["wrapS"] = s->wrapS;
            out["wrapT"] = s->wrapT;
            samplers_.push_back(std::move(out));
        }
        sampler = static_cast<long>(added.first->second);
    }
    const auto added = textureIndex_.emplace(std::make_pair(found->second, sampler), textures_.size());
    if (added.second) {
        Json out = {{"source", found->second}};
        if (sampler >= 0)
            out["sampler"] = sampler;
        textures_.push_back(std::move(out));
    }
    return static_cast<long>(added.first->second);
}

MaterialsOut::Json MaterialsOut::describe(std::uint32_t surface)
{
    const auto material = object_.materials.find(object_.surfaceName(surface));
    if (material == object_.materials.end() || !material->second.gltf) {
        constexpr float kWhite[3] = {1, 1, 1};
        const bool coloured = colouredBlades_ && std::find(plantedSurfaces_.begin(), plantedSurfaces_.end(),
                                                           object_.surfaceName(surface)) != plantedSurfaces_.end();
        const float *rgb = coloured ? kWhite : host::surfaceColour(object_, surface, plantedSurfaces_);
        return {
            {"name", fileNames_[surface]},
            {"pbrMetallicRoughness",
             {{"baseColorFactor", {rgb[0], rgb[1], rgb[2], 1.0}}, {"metallicFactor", 0.0}, {"roughnessFactor", 1.0}}},
            {"doubleSided", true}}; // a blade is one sheet
    }
    const host::GltfLook &look = *material->second.gltf;
    const double *c = look.baseColor;
    Json pbr = {{"baseColorFactor", {c[0], c[1], c[2], c[3]}},
                {"metallicFactor", look.metallic},
                {"roughnessFactor", look.roughness}};
    if (look.baseColorTexture) {
        const long index = texture(*look.baseColorTexture, fileNames_[surface]);
        if (index >= 0)
            pbr["baseColorTexture"] = {{"index", index}};
    }
    Json out = {{"name", fileNames_[surface]}, {"pbrMetallicRoughness", pbr}};
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
