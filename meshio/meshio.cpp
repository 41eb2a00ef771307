#include "meshio.h"

#include <algorithm>
#include <cctype>

namespace tuft::meshio {

void readObj(const std::string &path, host::Object &object, int layer);
WrittenCounts writeObj(const std::string &path, const host::Object &object, LayerChoice layers);

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

} // namespace

bool knownFormat(const std::string &path) { return extensionOf(path) == "obj"; }

void readMesh(const std::string &path, host::Object &object, int layer)
{
    if (!knownFormat(path))
        throw MeshIoError(path + ": unknown mesh format (expected .obj)");
    readObj(path, object, layer);
}

WrittenCounts writeMesh(const std::string &path, const host::Object &object, LayerChoice layers)
{
    if (!knownFormat(path))
        throw MeshIoError(path + ": unknown mesh format (expected .obj)");
    return writeObj(path, object, layers);
}

} // namespace tuft::meshio
