// Material libraries (.mtl) as far as the host keeps them: each material's name and
// its diffuse colour.
#include "meshio/formats.h"
#include "meshio/text_scan.h"

#include <algorithm>
#include <map>

namespace tuft::meshio {

namespace {

std::map<std::string, host::Material> parseLibrary(const std::string &name, const std::string &text)
{
    std::map<std::string, host::Material> materials;
    LineScanner lines(text);
    std::string_view line;
    host::Material *current = nullptr;
    while (lines.next(line)) {
        WordScanner words(name, lines.number(), line);
        const std::string_view keyword = words.word();
        if (keyword == "newmtl") {
            const std::string material = words.rest();
            if (material.empty())
                words.fail("newmtl needs a name");
            current = &materials[material];
            *current = host::Material{{0.8f, 0.8f, 0.8f}, name};
        } else if (keyword == "Kd" && current != nullptr) {
            double rgb[3];
            if (words.numbers(rgb, 3) != 3)
                words.fail("Kd takes three numbers, r g b");
            for (int i = 0; i < 3; ++i)
                current->diffuse[i] = static_cast<float>(std::clamp(rgb[i], 0.0, 1.0));
        }
    }
    return materials;
}

} // namespace

void readMaterialLibrary(const std::string &objPath, const std::string &library, host::Object &object,
                         const LibraryReader &libraries, ReadWarnings &warnings)
{
    if (std::find(object.materialLibraries.begin(), object.materialLibraries.end(), library) ==
        object.materialLibraries.end())
        object.materialLibraries.push_back(library);
    if (!libraries)
        return;
    try {
        for (const auto &[name, material] : parseLibrary(library, libraries(objPath, library)))
            object.materials[name] = material;
    } catch (const MeshIoError &error) {
        warnings.push_back(objPath + ": the material library is not read (" + error.what() +
                           "); its materials keep their names and get colours of their own");
    }
}

} // namespace tuft::meshio
