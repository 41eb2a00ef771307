// Material libraries (.mtl) as far as the host keeps them: each material's name, its
// diffuse colour, and the statements of its block as they are, to be copied whole.
#include "meshio/formats.h"
#include "meshio/reading.h"
#include "meshio/text_scan.h"

#include <algorithm>
#include <map>

namespace tuft::meshio {

namespace {

// A statement from its keyword to the end of its line, without the blanks after it.
std::string_view statementFrom(std::string_view keyword, std::string_view line)
{
    std::string_view statement = line.substr(static_cast<std::size_t>(keyword.data() - line.data()));
    while (statement.back() == ' ' || statement.back() == '\t' || statement.back() == '\r')
        statement.remove_suffix(1);
    return statement;
}

// `name` as the OBJ file gives it, for messages; `library` its number in the object's.
std::map<std::string, host::Material> parseLibrary(const std::string &name, std::size_t library,
                                                   const std::string &text)
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
            *current = host::Material{{0.8f, 0.8f, 0.8f}, library, {}, {}};
            continue;
        }
        if (keyword.empty() || current == nullptr)
            continue;
        current->statements.append(statementFrom(keyword, line)).push_back('\n');
        if (keyword == "Kd") {
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
    std::vector<host::MaterialLibrary> &known = object.materialLibraries;
    const host::MaterialLibrary named{library, libraryPath(objPath, library)};
    const auto found = std::find_if(known.begin(), known.end(), [&named](const host::MaterialLibrary &other) {
        return other.name == named.name && other.path == named.path;
    });
    const std::size_t number = static_cast<std::size_t>(found - known.begin()) + 1;
    if (found == known.end())
        known.push_back(named);
    if (!libraries)
        return;
    try {
        for (const auto &[name, material] : parseLibrary(library, number, libraries(objPath, library)))
            object.materials[name] = material;
    } catch (const MeshIoError &error) {
        warnings.push_back(objPath + ": the material library is not read (" + error.what() +
                           "); its materials keep their names and get colours of their own");
    }
}

} // namespace tuft::meshio
