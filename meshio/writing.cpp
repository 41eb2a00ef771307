#include "meshio/writing.h"

#include "host/paths.h"
#include "meshio/file_system.h"

#include <set>

namespace tuft::meshio {

std::string oneWord(const std::string &name, const char *fallback)
{
    std::string result = name.empty() ? fallback : name;
    for (char &c : result)
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            c = '_';
    return result;
}

std::string companionPath(const std::string &outputPath, const std::string &ending)
{
    const std::string path = files::linkedFile(outputPath);
    const std::size_t dot = path.find_last_of('.'), slash = host::lastSeparator(path);
    const bool extended = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (extended ? path.substr(0, dot) : path) + ending;
}

std::vector<std::string> surfaceFileNames(const host::Object &object)
{
    std::set<std::string> taken;
    for (std::uint32_t s = 0; s < object.surfaceCount(); ++s)
        taken.insert(object.surfaceName(s));
    std::string grass = "Grass";
    for (int n = 2; taken.count(grass) > 0; ++n)
        grass = "Grass " + std::to_string(n);
    std::vector<std::string> names;
    for (std::uint32_t s = 0; s < object.surfaceCount(); ++s)
        names.push_back(object.surfaceName(s).empty() ? grass : object.surfaceName(s));
    return names;
}

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

std::string objName(const std::string &name)
{
    const std::string word = oneWord(name, "Default");
    return word[0] == '#' ? "_" + word : word;
}

} // namespace tuft::meshio
