// The material libraries an OBJ file is written with: those the input named that are
// beside the file, and one written beside it for the surfaces none of them defines, with
// the materials of the input's other libraries copied in whole.
#include "host/paths.h"
#include "host/surface_colours.h"
#include "meshio/file_system.h"
#include "meshio/formats.h"
#include "meshio/reading.h"
#include "meshio/text_scan.h"
#include "meshio/writing.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string_view>

namespace tuft::meshio {

namespace {

std::string colourLine(const float (&rgb)[3])
{
    char text[96];
    std::snprintf(text, sizeof text, "Kd %.3f %.3f %.3f\n", rgb[0], rgb[1], rgb[2]);
    return text;
}

// The statements whose last word names an image: textures, bump and reflection maps.
bool namesImage(std::string_view keyword)
{
    std::string lower(keyword);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.compare(0, 4, "map_") == 0 || lower == "bump" || lower == "disp" || lower == "decal" ||
           lower == "refl" || lower == "norm";
}

// Where the image's file name starts in a statement: after the keyword and its options
// ("-s 1 1 1", "-clamp on"), each with one argument or up to three numbers (-o, -s, -t)
// or two (-mm); npos for a statement that names no image.
std::size_t imageNameAt(std::string_view statement)
{
    static const std::string kNoFile;
    WordScanner words(kNoFile, 0, statement);
    if (!namesImage(words.word()))
        return std::string::npos;
    std::string_view word = words.word();
    while (word.size() > 1 && word[0] == '-') {
        const std::size_t most = word == "-mm" ? 2 : word == "-o" || word == "-s" || word == "-t" ? 3 : 1;
        words.word(); // its first argument
        word = words.word();
        double number;
        for (std::size_t taken = 1; taken < most && WordScanner::number(word, number); ++taken)
            word = words.word();
    }
    return word.empty() ? std::string::npos : static_cast<std::size_t>(word.data() - statement.data());
}

// A folder as an absolute path, links followed where it exists.
std::filesystem::path absoluteFolder(std::string folder)
{
    if (folder.empty())
        folder = ".";
    const std::string real = files::realPath(folder);
    return std::filesystem::absolute(std::filesystem::u8path(real.empty() ? folder : real));
}

// An image a library in `libraryFolder` names, as a file in `objFolder` reaches it: an
// absolute path as written, a relative one from the library's folder to the same file.
std::string imageFrom(std::string_view image, const std::string &libraryFolder, const std::string &objFolder)
{
    const std::filesystem::path written = std::filesystem::u8path(image.begin(), image.end());
    if (written.has_root_path())
        return std::string(image);
    const std::filesystem::path file = (absoluteFolder(libraryFolder) / written).lexically_normal();
    const std::filesystem::path relative = file.lexically_relative(absoluteFolder(objFolder));
    return (relative.empty() ? file : relative).generic_u8string(); // another drive: absolute
}

// A material of a library the OBJ file does not name (in `libraryFolder`): its
// statements as read, their images named from the OBJ file's folder.
std::string copiedMaterial(const host::Material &material, const std::string &libraryFolder,
                           const std::string &objFolder)
{
    std::string block;
    const std::string_view statements = material.statements;
    for (std::size_t start = 0, end; start < statements.size(); start = end + 1) {
        end = statements.find('\n', start);
        const std::string_view statement = statements.substr(start, end - start);
        const std::size_t image = imageNameAt(statement);
        block.append(statement.substr(0, image));
        if (image != std::string_view::npos)
            block += imageFrom(statement.substr(image), libraryFolder, objFolder);
        block += '\n';
    }
    return block;
}

// A glTF material's base-colour texture as an MTL statement: an image file named from
// the OBJ file's folder. An image the glTF file held itself has no file to name: empty,
// and `embedded` is set.
std::string textureLine(const host::Material &material, const std::string &objFolder, bool &embedded)
{
    if (!material.gltf || !material.gltf->baseColorTexture || !material.gltf->baseColorTexture->image)
        return "";
    const host::GltfImage &image = *material.gltf->baseColorTexture->image;
    if (image.path.empty()) {
        embedded = true;
        return "";
    }
    return "map_Kd " + imageFrom(host::fileNameOf(image.path), host::folderOf(image.path), objFolder) + "\n";
}

// Whether an OBJ file at `objPath` finds the library beside it: the same file under the
// same name.
bool findsBeside(const std::string &objPath, const host::MaterialLibrary &library)
{
    return files::fileIdentity(libraryPath(objPath, library.name)) == files::fileIdentity(library.path);
}

} // namespace

MaterialLibraries materialLibrariesFor(const std::string &objPath, const host::Object &object,
                                       const std::vector<const host::Layer *> &layers, const WriteOptions &options)
{
    MaterialLibraries libraries;
    std::vector<std::uint8_t> named(object.materialLibraries.size() + 1, 0); // by library number
    for (std::size_t i = 0; i < object.materialLibraries.size(); ++i) {
        const host::MaterialLibrary &library = object.materialLibraries[i];
        if (!findsBeside(objPath, library))
            continue; // its materials are copied
        named[i + 1] = 1;
        if (std::find(libraries.names.begin(), libraries.names.end(), library.name) == libraries.names.end())
            libraries.names.push_back(library.name);
    }
    const std::string objFolder = host::folderOf(companionPath(objPath, ""));
    std::string content;
    std::set<std::string> written;
    std::vector<std::string> embedded; // materials whose texture the glTF file held
    const std::vector<std::string> fileNames = surfaceFileNames(object);
    for (std::uint32_t surface : usedSurfaces(object, layers)) {
        const std::string name = objName(fileNames[surface]);
        const auto material = object.materials.find(object.surfaceName(surface));
        const std::size_t library = material != object.materials.end() ? material->second.library : 0;
        if (named[library] || !written.insert(name).second)
            continue;
        content += "\nnewmtl " + name + "\n";
        if (library != 0) {
            const std::string &path = object.materialLibraries[library - 1].path;
            content += copiedMaterial(material->second, host::folderOf(path), objFolder);
            continue;
        }
        float rgb[3];
        std::copy_n(host::surfaceColour(object, surface, options.plantedSurfaces), 3, rgb);
        content += colourLine(rgb) + "Ka 0.000 0.000 0.000\nKs 0.000 0.000 0.000\nd 1\nillum 1\n";
        if (material != object.materials.end()) {
            bool inside = false;
            content += textureLine(material->second, objFolder, inside);
            if (inside)
                embedded.push_back(name);
        }
    }
    if (!embedded.empty())
        libraries.warnings.push_back(
            objPath + ": the textures the glTF input held inside it (of " + std::to_string(embedded.size()) +
            (embedded.size() == 1 ? " material, " : " materials, ") + embedded.front() +
            (embedded.size() > 1 ? " and others" : "") +
            ") are not written with an OBJ file, which names its images as files: write .glb or .gltf to keep them");
    if (content.empty())
        return libraries;
    // Beside the OBJ file, named after it, never in the place of a library the file names.
    libraries.path = companionPath(objPath, ".mtl");
    const std::string file = files::fileIdentity(libraries.path);
    for (std::size_t i = 0; i < object.materialLibraries.size(); ++i)
        if (named[i + 1] && files::fileIdentity(object.materialLibraries[i].path) == file)
            libraries.path = companionPath(objPath, "-surfaces.mtl");
    libraries.content = "# the surfaces of " + host::fileNameOf(objPath) + ", written by tuftsprout\n" + content;
    libraries.names.push_back(host::fileNameOf(libraries.path));
    return libraries;
}

} // namespace tuft::meshio
