#include "app/follow_surface.h"

#include "app/panel_options.h"
#include "app/run_facts.h"
#include "sdk/modeler_host.h"
#include "toolkit/control_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace tuft::app {

namespace {

using toolkit::UserAction;

bool isSet(const UserAction &action, const char *control)
{
    return action.type == UserAction::Type::kSet && action.control == control;
}

host::Vec3 cross(const host::Vec3 &a, const host::Vec3 &b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// The vector made 1 long; +Y for one too short to have a direction (normals that cancel).
host::Vec3 unitOrUp(const host::Vec3 &v)
{
    const double length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (!(length > 1e-9) || !std::isfinite(length))
        return {0, 1, 0};
    return {v.x / length, v.y / length, v.z / length};
}

// For every point, the sum of the unit normals of the polygons that use it.
std::vector<host::Vec3> summedNormals(const host::LayerMesh &mesh)
{
    std::vector<host::Vec3> sums(mesh.pointCount(), host::Vec3{0, 0, 0});
    for (std::uint32_t p = 0; p < mesh.polygonCount(); ++p)
        if (const std::optional<host::Vec3> n = host::polygonNormal(mesh, p))
            for (std::uint32_t point : mesh.pointsOf(p)) {
                sums[point].x += n->x;
                sums[point].y += n->y;
                sums[point].z += n->z;
            }
    return sums;
}

// The weight Point mode plants a point with: its "ZTSW" value as the plug-in captures it,
// printed with six decimals and read back; 0 where the point has none.
float capturedWeight(const host::LayerMesh &mesh, long ztsw, std::uint32_t point)
{
    const float *value = ztsw >= 0 ? mesh.pointValue(static_cast<std::uint32_t>(ztsw), point) : nullptr;
    if (value == nullptr)
        return 0.0f;
    char text[64];
    std::snprintf(text, sizeof text, "%f", static_cast<double>(*value));
    return static_cast<float>(std::strtod(text, nullptr));
}

// Three corners about `centre` across the unit `normal`, counter-clockwise seen from its
// side, so that the polygon's normal is `normal` and its centre (their mean) `centre`.
std::array<host::Vec3, 3> triangleAbout(const host::Vec3 &centre, const host::Vec3 &normal)
{
    // Small, yet far above the rounding of the coordinates around it.
    const double radius = 1e-3 * (1 + std::max({std::abs(centre.x), std::abs(centre.y), std::abs(centre.z)}));
    const double ax = std::abs(normal.x), ay = std::abs(normal.y), az = std::abs(normal.z);
    const host::Vec3 leastAligned = ax <= ay && ax <= az ? host::Vec3{1, 0, 0}
                                    : ay <= az           ? host::Vec3{0, 1, 0}
                                                         : host::Vec3{0, 0, 1};
    const host::Vec3 u = unitOrUp(cross(normal, leastAligned)), v = cross(normal, u);
    std::array<host::Vec3, 3> corners;
    for (int k = 0; k < 3; ++k) {
        const double angle = 2 * 3.141592653589793 * k / 3;
        const double cu = radius * std::cos(angle), cv = radius * std::sin(angle);
        corners[k] = {centre.x + cu * u.x + cv * v.x, centre.y + cu * u.y + cv * v.y, centre.z + cu * u.z + cv * v.z};
    }
    return corners;
}

// Scales each blade about its base by its point's weight. Uniform scaling commutes with
// the plug-in's turns, so this is Point mode's SCALE by the weight before them.
void sizeBladesByWeight(host::LayerMesh &mesh, const SurfaceTemporaries &made)
{
    const std::size_t blades = made.bases.size();
    const std::size_t first = made.firstPoint + 3 * blades; // the blades follow the triangles
    if (blades == 0 || mesh.pointCount() <= first)
        return;
    const std::size_t each = (mesh.pointCount() - first) / blades;
    for (std::size_t b = 0; b < blades; ++b) {
        const host::Vec3 &base = made.bases[b];
        const double w = made.sizes[b];
        for (std::size_t point = first + b * each; point < first + (b + 1) * each; ++point) {
            const host::Vec3 p = mesh.position(point);
            mesh.setPosition(point,
                             {base.x + w * (p.x - base.x), base.y + w * (p.y - base.y), base.z + w * (p.z - base.z)});
        }
    }
}

} // namespace

void followSurface(PlantJob &job)
{
    toolkit::ControlModel mode(toolkit::Kind::kChoice, "ChoiceControl", nullptr, "Mode");
    mode.items = {modeItem("ground"), modeItem("point"), modeItem("polygon")};
    toolkit::ControlModel weightMap(toolkit::Kind::kBool, "BoolControl", nullptr, "(WeightMap)");
    std::vector<UserAction> actions;
    std::string reason;
    for (const UserAction &action : job.actions) {
        if (isSet(action, "Roughness(random)") && mode.integer == kPoint && weightMap.integer == 1)
            throw UsageError("\"Roughness(random)\" is disabled on the panel at this point: the \"ZTSW\" "
                             "weights size the blades in its place");
        // A value the panel would refuse stays, for the panel to refuse.
        if (isSet(action, "Mode") && mode.setFromUser(action.value, reason) && mode.integer == kPoint)
            actions.push_back({UserAction::Type::kSet, action.control, modeItem("polygon"), action.name});
        else if (!(isSet(action, "(WeightMap)") && weightMap.setFromUser(action.value, reason)))
            actions.push_back(action);
    }
    if (mode.integer == kGround)
        throw UsageError("--follow-surface tilts blades planted on points: give it with --scatter or with Point "
                         "mode (--mode point --select points:WHICH); Ground mode plants on the plane Y = 0");
    if (mode.integer == kPolygon)
        throw UsageError("--follow-surface tilts blades planted on points (--scatter, or --mode point); Polygon mode "
                         "tilts its blades toward the polygons' normals already: leave the flag out");
    const bool sizedByWeight = weightMap.integer == 1;
    if (sizedByWeight) {
        const auto closing = std::find_if(actions.begin(), actions.end(), [](const UserAction &action) {
            return action.type == UserAction::Type::kOk || action.type == UserAction::Type::kCancel;
        });
        actions.insert(closing, {UserAction::Type::kSet, "Roughness(random)", "0", ""});
    }
    job.actions = std::move(actions);
    job.followSurface = FollowSurface{sizedByWeight};
}

SurfaceTemporaries addSurfaceTemporaries(host::Object &object, int layerNumber, const FollowSurface &follow,
                                         const scatter::ScatterResult *scattered)
{
    host::Layer *layer = object.layer(layerNumber);
    if (layer == nullptr)
        throw std::invalid_argument("layer " + std::to_string(layerNumber) + " does not exist");
    host::LayerMesh &mesh = layer->mesh;
    SurfaceTemporaries made;
    made.selectionMode = object.selectionMode;

    // The points Point mode would plant on, in its order, and the surface's normal there.
    std::vector<host::Vec3> normals;
    if (object.selectionMode == host::SelectionMode::kPoints) {
        const long ztsw = object.findMapKey(MH_MAP_WEIGHT, "ZTSW");
        const std::vector<host::Vec3> sums = summedNormals(mesh);
        for (std::uint32_t point = 0; point < mesh.pointCount(); ++point) {
            if (!(mesh.pointFlags(point) & MH_FLAG_SELECTED))
                continue;
            const float weight = capturedWeight(mesh, ztsw, point);
            if (follow.sizedByWeight && !(weight > 0))
                continue;
            const bool isScattered = scattered != nullptr && point >= scattered->firstPoint &&
                                     point - scattered->firstPoint < scattered->polygons.size();
            const std::optional<host::Vec3> own =
                isScattered ? host::polygonNormal(mesh, scattered->polygons[point - scattered->firstPoint])
                            : std::nullopt;
            made.bases.push_back(mesh.position(point));
            normals.push_back(own ? *own : unitOrUp(sums[point]));
            if (follow.sizedByWeight)
                made.sizes.push_back(weight);
        }
    }

    for (std::uint32_t p = 0; p < mesh.polygonCount(); ++p)
        if (mesh.polygon(p).flags & MH_FLAG_SELECTED) {
            made.userPolygons.push_back(p);
            mesh.setPolygonFlags(p, mesh.polygon(p).flags & ~MH_FLAG_SELECTED);
        }
    made.firstPoint = static_cast<std::uint32_t>(mesh.pointCount());
    made.firstPolygon = static_cast<std::uint32_t>(mesh.polygonCount());
    // A surface the object has already, so that the triangles add none.
    const std::uint32_t surface = mesh.polygonCount() > 0 ? mesh.polygon(0).surface : object.surfaceIndex("");
    for (std::size_t i = 0; i < made.bases.size(); ++i) {
        std::uint32_t corners[3];
        const std::array<host::Vec3, 3> at = triangleAbout(made.bases[i], normals[i]);
        for (int k = 0; k < 3; ++k)
            corners[k] = mesh.addPoint(at[k]);
        mesh.addPolygon(MH_POLY_FACE, surface, corners, 3, MH_FLAG_SELECTED);
    }
    object.selectionMode = host::SelectionMode::kPolygons;
    return made;
}

void removeSurfaceTemporaries(host::Object &object, int layer, const SurfaceTemporaries &made, bool planted)
{
    host::LayerMesh &mesh = object.layer(layer)->mesh;
    if (planted && !made.sizes.empty())
        sizeBladesByWeight(mesh, made);
    mesh.erasePolygons(made.firstPolygon, made.bases.size());
    mesh.erasePoints(made.firstPoint, 3 * made.bases.size());
    for (std::uint32_t p : made.userPolygons)
        mesh.setPolygonFlags(p, mesh.polygon(p).flags | MH_FLAG_SELECTED);
    object.selectionMode = made.selectionMode;
}

toolkit::PanelView asPointModePanel(const toolkit::PanelView &closed, const FollowSurface &follow)
{
    toolkit::PanelView chosen = closed;
    for (toolkit::ControlView &control : chosen.controls) {
        if (control.label == "Mode")
            control.integer = kPoint;
        else if (control.label == "(WeightMap)")
            control.integer = follow.sizedByWeight ? 1 : 0;
    }
    return chosen;
}

} // namespace tuft::app
