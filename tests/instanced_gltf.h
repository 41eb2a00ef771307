// Instanced glTF as a reader draws it, apart from the writer: placements made up for
// tests, glTF's T·R·S applied to a point, and the triangles a file draws.
#pragma once

#include "host/placement.h"
#include "meshio/gltf_buffers.h"
#include "meshio/gltf_instances.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace tuft::testing {

using host::Step;
using host::Vec3;
using Json = nlohmann::json;

inline std::string fileText(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream data;
    data << in.rdbuf();
    return data.str();
}

// glTF's reading of a placement, apart from the writer's: p' = T + R·(S·p), R a unit
// quaternion (x, y, z, w) turning v to v + 2w(q×v) + 2q×(q×v).
inline Vec3 applyTrs(const float *t, const float *r, const float *s, Vec3 p)
{
    p = {p.x * s[0], p.y * s[1], p.z * s[2]};
    const double x = r[0], y = r[1], z = r[2], w = r[3];
    const Vec3 c{y * p.z - z * p.y, z * p.x - x * p.z, x * p.y - y * p.x};  // q×p
    const Vec3 cc{y * c.z - z * c.y, z * c.x - x * c.z, x * c.y - y * c.x}; // q×(q×p)
    return {t[0] + p.x + 2 * (w * c.x + cc.x), t[1] + p.y + 2 * (w * c.y + cc.y), t[2] + p.z + 2 * (w * c.z + cc.z)};
}

inline host::InstanceRun runOf(const std::vector<Step> &steps, std::size_t count, std::mt19937 &random)
{
    host::InstanceRun run;
    auto blade = std::make_shared<host::Mesh>();
    for (const Vec3 &p : {Vec3{0.1, 0.0, 0.0}, Vec3{-0.05, 0.3, 0.02}, Vec3{0.01, 1.2, -0.4}})
        blade->addPoint(p);
    run.blade = blade;
    run.steps = steps;
    for (const Step &step : steps)
        run.stride += step.numbers();
    std::uniform_real_distribution<double> factor(0.2, 3.0), angle(-400.0, 400.0), offset(-50.0, 50.0);
    for (std::size_t i = 0; i < count; ++i)
        for (const Step &step : steps) {
            if (step.kind == Step::kScale || step.kind == Step::kMove) {
                for (std::size_t k = 0; k < step.ownNumbers(); ++k) {
                    const double n = step.kind == Step::kScale ? factor(random) : offset(random);
                    run.numbers.append(&n, 1);
                }
            } else { // every quadrant, and the half turn exactly
                const host::Turn turn = host::turnOf(i == 0 ? 180.0 : angle(random));
                run.numbers.append(&turn.cs, 1);
                run.numbers.append(&turn.sn, 1);
            }
        }
    run.count = count;
    return run;
}

// The triangles of a glTF file, each as its three corners where a reader draws them
// (every placement of an instanced node's), with their UVs, by material name in the order
// written; the _ID of every placement, in order; each placement by its _ID as floats
// (translation, rotation, scale); an instanced node's translations with the box its
// accessor gives them; and a blade's corners as they are before they are placed.
struct Drawn {
    std::map<std::string, std::vector<Vec3>> corners;
    std::map<std::string, std::vector<std::pair<double, double>>> uvs;
    std::vector<double> ids;
    std::map<double, std::array<float, 10>> placements;
    struct Translations {
        std::vector<double> values, min, max;
    };
    std::vector<Translations> instancedNodes;
    std::map<std::string, std::vector<Vec3>> bladeCorners;
    Json gltf;
};

inline Drawn drawn(const std::string &path)
{
    const std::string data = fileText(path);
    std::optional<std::string> binary;
    Drawn result;
    const bool glb = path.size() > 4 && path.substr(path.size() - 4) == ".glb";
    result.gltf = Json::parse(glb ? meshio::gltf::jsonOfGlb(path, data, binary) : data);
    const Json &gltf = result.gltf;
    const meshio::LibraryReader beside = [](const std::string &file, const std::string &uri) {
        return fileText((std::filesystem::path(file).parent_path() / uri).string());
    };
    meshio::gltf::Buffers buffers(path, beside);
    buffers.load(gltf, binary);
    for (const Json &node : gltf["nodes"]) {
        std::vector<double> t = {0, 0, 0}, r = {0, 0, 0, 1}, s = {1, 1, 1};
        if (node.contains("extensions")) {
            const Json &attributes = node["extensions"]["EXT_mesh_gpu_instancing"]["attributes"];
            t = buffers.accessor(gltf, attributes["TRANSLATION"], 3, "translation");
            r = buffers.accessor(gltf, attributes["ROTATION"], 4, "rotation");
            s = buffers.accessor(gltf, attributes["SCALE"], 3, "scale");
            const std::vector<double> ids = buffers.accessor(gltf, attributes["_ID"], 1, "_ID");
            result.ids.insert(result.ids.end(), ids.begin(), ids.end());
            for (std::size_t i = 0; i < ids.size(); ++i)
                result.placements[ids[i]] = {float(t[3 * i]),     float(t[3 * i + 1]), float(t[3 * i + 2]),
                                             float(r[4 * i]),     float(r[4 * i + 1]), float(r[4 * i + 2]),
                                             float(r[4 * i + 3]), float(s[3 * i]),     float(s[3 * i + 1]),
                                             float(s[3 * i + 2])};
            const Json &accessor = gltf["accessors"][attributes["TRANSLATION"].get<std::size_t>()];
            result.instancedNodes.push_back(
                {t, accessor.value("min", std::vector<double>()), accessor.value("max", std::vector<double>())});
        }
        for (const Json &primitive : gltf["meshes"][node["mesh"].get<std::size_t>()]["primitives"]) {
            const std::vector<double> p = buffers.accessor(gltf, primitive["attributes"]["POSITION"], 3, "POSITION");
            const std::vector<double> indices = buffers.indices(gltf, primitive["indices"]);
            const Json &attributes = primitive["attributes"];
            const std::vector<double> uv = attributes.contains("TEXCOORD_0")
                                               ? buffers.accessor(gltf, attributes["TEXCOORD_0"], 2, "UV")
                                               : std::vector<double>();
            const std::string material = gltf["materials"][primitive["material"].get<std::size_t>()]["name"];
            std::vector<Vec3> &into = result.corners[material];
            if (node.contains("extensions") && result.bladeCorners.count(material) == 0)
                for (double index : indices) {
                    const std::size_t v = static_cast<std::size_t>(index);
                    result.bladeCorners[material].push_back({p[3 * v], p[3 * v + 1], p[3 * v + 2]});
                }
            for (std::size_t i = 0; i < t.size() / 3; ++i) {
                const float ti[3] = {float(t[3 * i]), float(t[3 * i + 1]), float(t[3 * i + 2])};
                const float ri[4] = {float(r[4 * i]), float(r[4 * i + 1]), float(r[4 * i + 2]), float(r[4 * i + 3])};
                const float si[3] = {float(s[3 * i]), float(s[3 * i + 1]), float(s[3 * i + 2])};
                for (double index : indices) {
                    const std::size_t v = static_cast<std::size_t>(index);
                    into.push_back(applyTrs(ti, ri, si, {p[3 * v], p[3 * v + 1], p[3 * v + 2]}));
                    if (!uv.empty())
                        result.uvs[material].push_back({uv[2 * v], uv[2 * v + 1]});
                }
            }
        }
    }
    return result;
}

} // namespace tuft::testing
