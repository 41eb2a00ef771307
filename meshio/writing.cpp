#include "meshio/writing.h"

#include "host/paths.h"
#include "meshio/file_system.h"

#include <cctype>
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

// A file name as a URI reference: every byte but the unreserved ones percent-encoded, so
// that a space, '#', '%' or a newline in the name reads back as itself.
std::string uriOf(const std::string &name)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string uri;
    for (const char c : name) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) != 0 || c == '-' || c == '.' || c == '_' || c == '~')
            uri += c;
        else
            uri += {'%', kHex[byte >> 4], kHex[byte & 15]};
    }
    return uri;
}

std::string relativeUri(const std::string &file, const std::string &outputPath)
{
    const std::string folder = host::folderOf(files::linkedFile(outputPath));
    const std::string from = files::realPath(folder.empty() ? "." : folder), to = files::realPath(file);
    const auto parts = [](const std::string &path) {
        std::vector<std::string> list(1);
        for (const char c : path)
            if (!host::isSeparator(c))
                list.back() += c;
            else if (!list.back().empty())
                list.emplace_back();
        if (list.back().empty())
            list.pop_back();
        return list;
    };
    const std::vector<std::string> fromParts = parts(from), toParts = parts(to);
    const bool drives = !toParts.empty() && toParts[0].back() == ':';
    if (from.empty() || to.empty() || (drives && (fromParts.empty() || fromParts[0] != toParts[0])))
        return {};
    std::size_t common = 0;
    while (common < fromParts.size() && common + 1 < toParts.size() && fromParts[common] == toParts[common])
        ++common;
    std::string uri;
    for (std::size_t i = common; i < fromParts.size(); ++i)
        uri += "../";
    for (std::size_t i = common; i < toParts.size(); ++i)
        uri += uriOf(toParts[i]) + (i + 1 < toParts.size() ? "/" : "");
    return uri;
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
        for (const host::LayerMesh::Piece &piece : layer->mesh.pieces()) {
            const host::Mesh &mesh = piece.mesh ? *piece.mesh : *piece.run->blade; // a blade: once for all
            for (std::size_t p = 0; p < mesh.polygonCount() && piece.polygons() > 0; ++p)
                used[mesh.polygon(p).surface] = 1;
        }
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
