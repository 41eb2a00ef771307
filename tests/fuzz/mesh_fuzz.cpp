// Any bytes as a mesh file or a material library (FUZZ_FORMAT_obj, _ply, _gltf or _mtl), read
// from memory: the reader either fills the layer with valid polygons and maps or
// reports an error; it never crashes and never leaves an index out of range.
#include "meshio/formats.h"

#include <cstdint>
#include <string>

namespace {

using namespace tuft;

void read(const std::string &data, host::Object &object)
{
#if defined(FUZZ_FORMAT_obj)
    // Its libraries are this same text, to reach the library reader from here too.
    const meshio::LibraryReader libraries = [&data](const std::string &, const std::string &) { return data; };
    meshio::readObj(
        "fuzz.obj", [&data](const meshio::LineSink &sink) { sink(data, 1); }, object, 1, libraries);
#elif defined(FUZZ_FORMAT_ply)
    meshio::readPly("fuzz.ply", data, object, 1);
#elif defined(FUZZ_FORMAT_gltf)
    // Binary when it starts as one, else JSON whose external buffers are this same data.
    const bool binary = data.compare(0, 4, "glTF") == 0;
    meshio::readGltf("fuzz.gltf", data, object, 1, binary,
                     [&data](const std::string &, const std::string &) { return data; });
#else
    meshio::ReadWarnings warnings;
    meshio::readMaterialLibrary(
        "fuzz.obj", "fuzz.mtl", object, [&data](const std::string &, const std::string &) { return data; }, warnings);
#endif
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size)
{
    const std::string data(reinterpret_cast<const char *>(bytes), size);
    host::Object object;
    try {
        read(data, object);
    } catch (const meshio::MeshIoError &) {
        return 0;
    }
    if (object.findLayer(1) == nullptr)
        return 0;
    const host::Mesh &mesh = object.layer(1)->mesh.flat(); // what was read: one mesh

    for (std::size_t i = 0; i < mesh.cornerCount(); ++i)
        if (mesh.cornerPoint(i) >= mesh.pointCount())
            __builtin_trap();
    for (const host::PointMap &map : mesh.pointMaps()) {
        if (map.has.size() != mesh.pointCount() || map.values.size() != mesh.pointCount() * map.dimension)
            __builtin_trap();
        for (const host::CornerValue &corner : map.corners)
            if (corner.polygon >= mesh.polygonCount() || corner.point >= mesh.pointCount())
                __builtin_trap();
    }
    for (const host::PolygonTag &tag : mesh.polygonTags())
        if (tag.values.size() != mesh.polygonCount())
            __builtin_trap();
    return 0;
}
