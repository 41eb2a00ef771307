#include "meshio/gltf_not_kept.h"

#include "meshio/reading.h"

#include <algorithm>
#include <utility>

namespace tuft::meshio::gltf {

namespace {

// Attributes by the start of their names, and what they hold.
const std::pair<const char *, const char *> kUnkeptAttributes[] = {{"COLOR_", "vertex colours"},
                                                                   {"TANGENT", "tangents"},
                                                                   {"TEXCOORD_", "UV sets other than the first"},
                                                                   {"JOINTS_", "joints and weights"},
                                                                   {"WEIGHTS_", "joints and weights"}};

// An extension's family: its name to its second underscore, then '*' ("KHR_materials_*").
std::string familyOf(const std::string &name)
{
    const std::size_t first = name.find('_');
    const std::size_t second = first == std::string::npos ? first : name.find('_', first + 1);
    return second == std::string::npos ? name : name.substr(0, second + 1) + "*";
}

} // namespace

void checkExtensions(const std::string &path, const Json &gltf)
{
    for (const char *extension : kUnreadableExtensions) {
        bool used = false;
        for (const char *list : {"extensionsRequired", "extensionsUsed"})
            if (gltf.contains(list))
                for (const Json &name : gltf.at(list))
                    used |= name.is_string() && name.get<std::string>() == extension;
        if (used)
            throw MeshIoError(path + ": it is compressed with " + std::string(extension) +
                              ", which this program does not read");
    }
    if (gltf.contains("extensionsRequired"))
        for (const Json &name : gltf.at("extensionsRequired"))
            if (!readsExtension(name))
                throw MeshIoError(path + ": it requires the extension " + valueText(name) +
                                  ", which this program does not read");
}

bool readsExtension(const Json &name)
{
    return name == "KHR_mesh_quantization"; // quantized attributes are read as any accessor is
}

void tellUnkeptParts(const Json &gltf, NotKept &notKept)
{
    for (const char *part : {"animations", "cameras", "skins"})
        if (gltf.contains(part) && !gltf.at(part).empty())
            notKept.add(part);
    if (gltf.contains("scenes") && gltf.at("scenes").size() > 1)
        notKept.add("scenes other than the one read");
    if (gltf.contains("extensionsUsed"))
        for (const Json &name : gltf.at("extensionsUsed"))
            if (name.is_string() && !readsExtension(name))
                notKept.add(excerpt(familyOf(name.get<std::string>())) + " extensions");
}

void tellUnkeptAttributes(const Json &attributes, NotKept &notKept)
{
    for (const auto &attribute : attributes.items()) {
        const std::string &name = attribute.key();
        if (name == "POSITION" || name == "NORMAL" || name == "TEXCOORD_0")
            continue;
        const auto *known = std::find_if(std::begin(kUnkeptAttributes), std::end(kUnkeptAttributes),
                                         [&name](const auto &kind) { return name.rfind(kind.first, 0) == 0; });
        notKept.add(known != std::end(kUnkeptAttributes) ? known->second : "\"" + excerpt(name) + "\" attributes");
    }
}

} // namespace tuft::meshio::gltf
