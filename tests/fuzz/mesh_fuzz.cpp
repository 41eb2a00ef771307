// Any bytes as a mesh file (FUZZ_EXTENSION: obj or ply): the reader either fills the
// layer with valid polygons and maps or reports an error; it never crashes and never
// leaves an index out of range.
#include "meshio/meshio.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const std::string path = "/tmp/tuft-mesh-fuzz-" + std::to_string(getpid()) + "." FUZZ_EXTENSION;
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    tuft::host::Object object;
    try {
        tuft::meshio::readMesh(path, object, 1);
    } catch (const tuft::meshio::MeshIoError &) {
        return 0;
    }
    const tuft::host::Mesh &mesh = object.layer(1)->mesh;
    for (std::uint32_t index : mesh.vertices)
        if (index >= mesh.pointCount())
            __builtin_trap();
    for (const tuft::host::PointMap &map : mesh.maps)
        if (map.has.size() != mesh.pointCount() || map.values.size() != mesh.pointCount() * map.dimension)
            __builtin_trap();
    return 0;
}
