// The material library an OBJ file is written with: the libraries the input named, and
// one written beside the file for the surfaces none of them defines.
#include "host/paths.h"
#include "host/surface_colours.h"
#include "meshio/file_system.h"
#include "meshio/formats.h"
#include "meshio/writing.h"

#include <algorithm>
#include <cstdio>
#include <set>

namespace tuft::meshio {

namespace {

// The surfaces the written polygons use, in the order of the object's surfaces.
std::vector<std::uint32_t> usedSurfaces(const host::Object &object, const std::vector<const host::Layer *> &layers)
{
    std::vector<std::uint8_t> used(object.surfaceCount(), 0);
    for (const host::Layer *layer : layers)
        for (std::size_t p = 0; p < layer->mesh.polygonCount(); ++p)
            used[layer->mesh.polygon(p).surface] = 1;
    std::vector<std::uint32_t> surfaces;
    for (std::uint32_t s = 0; s < used.size(); ++s)
        if (used[s])
            surfaces.push_back(s);
    return surfaces;
}

std::string colourLine(const float (&rgb)[3])
{
    char text[96];
    std::snprintf(text, sizeof text, "Kd %.3f %.3f %.3f\n", rgb[0], rgb[1], rgb[2]);
    return text;
}

// Whether one of the libraries an OBJ file at `objPath` names, as readers find them beside
// it, is the file `path`.
bool namesFile(const std::string &objPath, const std::vector<std::string> &libraries, const std::string &path)
{
    const std::string folder = host::folderOf(companionPath(objPath, "")), identity = files::fileIdentity(path);
    return std::any_of(libraries.begin(), libraries.end(),
                       [&](const std::string &library) { return files::fileIdentity(folder + library) == identity; });
}

} // namespace

MaterialLibraries materialLibrariesFor(const std::string &objPath, const host::Object &object,
                                       const std::vector<const host::Layer *> &layers, const WriteOptions &options)
{
    MaterialLibraries libraries;
    libraries.names = object.materialLibraries;
    std::string content;
    std::set<std::string> written;
    const std::vector<std::string> fileNames = surfaceFileNames(object);
    for (std::uint32_t surface : usedSurfaces(object, layers)) {
        const std::string name = objName(fileNames[surface]);
        const auto material = object.materials.find(object.surfaceName(surface));
        const bool inALibrary = material != object.materials.end() && !material->second.library.empty();
        if (inALibrary || !written.insert(name).second)
            continue;
        float rgb[3];
        std::copy_n(host::surfaceColour(object, surface, options.plantedSurface), 3, rgb);
        content +=
            "\nnewmtl " + name + "\n" + colourLine(rgb) + "Ka 0.000 0.000 0.000\nKs 0.000 0.000 0.000\nd 1\nillum 1\n";
    }
    if (content.empty())
        return libraries;
    // Beside the OBJ file, named after it, never in the place of a library the input named.
    libraries.path = companionPath(objPath, ".mtl");
    if (namesFile(objPath, object.materialLibraries, libraries.path))
        libraries.path = companionPath(objPath, "-surfaces.mtl");
    const std::string library = host::fileNameOf(libraries.path);
    libraries.content = "# the surfaces of " + host::fileNameOf(objPath) + ", written by tuftsprout\n" + content;
    libraries.names.push_back(library);
    return libraries;
}

} // namespace tuft::meshio
