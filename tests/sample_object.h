// A small object the mesh-file tests share: a quad and a triangle on two surfaces, with a
// weight map and a UV map.
#pragma once

#include "host/object.h"
#include "sdk/modeler_host.h"

namespace tuft::testing {

// A quad and a triangle with a weight map and UVs.
inline host::Object sampleObject()
{
    host::Object object;
    host::Mesh &mesh = object.layer(1)->mesh.flat();
    for (const host::Vec3 &p : {host::Vec3{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}, {0.5, 1, 0.25}})
        mesh.addPoint(p);
    const std::uint32_t quad[4] = {0, 1, 2, 3}, triangle[3] = {0, 1, 4};
    mesh.addPolygon(MH_POLY_FACE, object.surfaceIndex("Ground"), quad, 4);
    mesh.addPolygon(MH_POLY_FACE, object.surfaceIndex("Blade"), triangle, 3);
    host::PointMap &weight =
        mesh.mapFor(static_cast<std::uint32_t>(object.mapKey(MH_MAP_WEIGHT, "ZTSW", 1)), MH_MAP_WEIGHT, 1);
    for (int i = 0; i < 5; ++i) {
        weight.values[i] = 0.25f * i;
        weight.has[i] = 1;
    }
    host::PointMap &uv = mesh.mapFor(static_cast<std::uint32_t>(object.mapKey(MH_MAP_UV, "UV", 2)), MH_MAP_UV, 2);
    for (int i = 0; i < 5; ++i) {
        uv.values[2 * i] = 0.1f * i;
        uv.values[2 * i + 1] = 1 - 0.1f * i;
        uv.has[i] = 1;
    }
    return object;
}

} // namespace tuft::testing
