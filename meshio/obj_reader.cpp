// Wavefront OBJ input through tinyobjloader, polygons kept as they are (no triangulation).
#define TINYOBJLOADER_USE_DOUBLE
#include <tiny_obj_loader.h>

#include "meshio/formats.h"
#include "meshio/reading.h"
#include "sdk/modeler_host.h"

#include <unordered_map>

namespace tuft::meshio {

namespace {

std::string firstLine(const std::string &text)
{
    const std::size_t end = text.find('\n');
    return end == std::string::npos ? text : text.substr(0, end);
}

// The surface of a face: its material's name, else its group's, else "Default".
std::string surfaceOf(const tinyobj::shape_t &shape, std::size_t face,
                      const std::vector<tinyobj::material_t> &materials)
{
    const int material = face < shape.mesh.material_ids.size() ? shape.mesh.material_ids[face] : -1;
    if (material >= 0 && material < static_cast<int>(materials.size()) && !materials[material].name.empty())
        return materials[material].name;
    return shape.name.empty() ? "Default" : shape.name;
}

} // namespace

void readObj(const std::string &path, host::Object &object, int layerNumber)
{
    readInputFile(path); // a regular file, or a clear refusal before the library opens it
    tinyobj::ObjReaderConfig config;
    config.triangulate = false;
    config.vertex_color = false;
    tinyobj::ObjReader reader;
    if (!reader.ParseFromFile(path, config))
        throw MeshIoError(path + ": " + firstLine(reader.Error().empty() ? "cannot read the file" : reader.Error()));
    const tinyobj::attrib_t &attrib = reader.GetAttrib();
    const std::size_t pointCount = attrib.vertices.size() / 3;
    const std::size_t uvCount = attrib.texcoords.size() / 2;

    // Build into a scratch mesh first, so that a bad file adds nothing.
    host::Mesh mesh = {};
    for (std::size_t i = 0; i < pointCount; ++i)
        mesh.addPoint({attrib.vertices[3 * i], attrib.vertices[3 * i + 1], attrib.vertices[3 * i + 2]});
    std::vector<float> uvs;
    std::vector<std::uint8_t> hasUv;
    if (uvCount > 0) {
        uvs.assign(2 * pointCount, 0.0f);
        hasUv.assign(pointCount, 0);
    }
    std::unordered_map<std::string, std::uint32_t> surfaces;
    std::vector<std::uint32_t> indices;
    for (const tinyobj::shape_t &shape : reader.GetShapes()) {
        std::size_t offset = 0;
        for (std::size_t face = 0; face < shape.mesh.num_face_vertices.size(); ++face) {
            const std::size_t count = shape.mesh.num_face_vertices[face];
            indices.clear();
            for (std::size_t k = 0; k < count; ++k) {
                const tinyobj::index_t &index = shape.mesh.indices[offset + k];
                if (index.vertex_index < 0 || static_cast<std::size_t>(index.vertex_index) >= pointCount)
                    throw MeshIoError(path + ": face " + std::to_string(face + 1) + " of group \"" + shape.name +
                                      "\" refers to point " + std::to_string(index.vertex_index + 1) +
                                      ", but the file has " + std::to_string(pointCount) + " points");
                indices.push_back(static_cast<std::uint32_t>(index.vertex_index));
                if (index.texcoord_index >= 0 && static_cast<std::size_t>(index.texcoord_index) < uvCount &&
                    !hasUv[index.vertex_index]) {
                    hasUv[index.vertex_index] = 1;
                    uvs[2 * index.vertex_index] = float(attrib.texcoords[2 * index.texcoord_index]);
                    uvs[2 * index.vertex_index + 1] = float(attrib.texcoords[2 * index.texcoord_index + 1]);
                }
            }
            offset += count;
            const std::string surface = surfaceOf(shape, face, reader.GetMaterials());
            auto found = surfaces.find(surface);
            if (found == surfaces.end())
                found = surfaces.emplace(surface, object.surfaceIndex(surface)).first;
            mesh.addPolygon(MH_POLY_FACE, found->second, indices.data(), static_cast<std::uint32_t>(count));
        }
    }
    if (!hasUv.empty())
        attachPointMap(path, object, mesh, MH_MAP_UV, "UV", 2, uvs, hasUv);
    appendToLayer(path, object, layerNumber, mesh);
}

} // namespace tuft::meshio
