#include "meshio/meshio.h"

#include "meshio/formats.h"

#include <algorithm>
#include <cctype>

namespace tuft::meshio {

namespace {

std::string extensionOf(const std::string &path)
{
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return "";
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

std::vector<const host::Layer *> chosenLayers(const host::Object &object, LayerChoice choice)
{
    std::vector<const host::Layer *> chosen;
    if (choice == LayerChoice::kAll) {
        for (const host::Layer *layer : object.layers())
            if (!layer->mesh.empty())
                chosen.push_back(layer);
    } else if (const host::Layer *layer = object.findLayer(object.currentLayer)) {
        chosen.push_back(layer);
    }
    return chosen;
}

} // namespace

bool knownFormat(const std::string &path)
{
    const std::string extension = extensionOf(path);
    return extension == "obj" || extension == "ply";
}

void readMesh(const std::string &path, host::Object &object, int layer)
{
    if (extensionOf(path) == "ply")
        readPly(path, object, layer);
    else if (extensionOf(path) == "obj")
        readObj(path, object, layer);
    else
        throw MeshIoError(path + ": unknown mesh format (expected .obj or .ply)");
}

WrittenCounts writeMesh(const std::string &path, const host::Object &object, LayerChoice layers, PlyEncoding encoding,
                        const WriteProgress &progress)
{
    const std::vector<const host::Layer *> chosen = chosenLayers(object, layers);
    if (extensionOf(path) == "ply")
        return writePly(path, chosen, object, encoding == PlyEncoding::kAscii, progress);
    if (extensionOf(path) == "obj")
        return writeObj(path, chosen, object, progress);
    throw MeshIoError(path + ": unknown mesh format (expected .obj or .ply)");
}

} // namespace tuft::meshio
