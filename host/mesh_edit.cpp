// Mesh edits: counts, scans, element info, normals, additions and point-map values,
// all undone when the edit ends with an error.
#include "host/element_ids.h"
#include "host/modeler.h"

#include <cstring>

namespace tuft::host {

struct Modeler::MeshEditState {
    MhMeshEdit table;
    Modeler *host;
    Layer *layer; // the active layer when the edit began; additions go here
    std::size_t points, polygons, vertices;
    struct Undo {
        Layer *layer;
        LayerMap map;
        std::uint32_t index;
        bool had;
        float old[4];
    };
    std::vector<Undo> journal;
    long selectedMap = -1;
    MhPointInfo scanInfo, info;
    MhPolygonInfo polygonInfo;
    std::vector<MhPointId> polygonVertices;

    static MeshEditState &of(void *state) { return *static_cast<MeshEditState *>(state); }

    LayerMesh *mesh() { return layer != nullptr ? &layer->mesh : nullptr; }
    Object &object() { return host->object_; }

    static void fillPointInfo(MhPointInfo &out, const Layer &owner, std::uint32_t index)
    {
        out.id = pointId(owner.slot, index);
        out.userData = nullptr;
        out.layer = owner.number;
        out.flags = owner.mesh.pointFlags(index);
        const Vec3 p = owner.mesh.position(index);
        out.position[0] = p.x;
        out.position[1] = p.y;
        out.position[2] = p.z;
    }

    static void done(void *state, int error, int)
    {
        MeshEditState &edit = of(state);
        if (error != 0)
            edit.rollBack();
        if (edit.host->recording_)
            edit.host->note("edit done " + std::to_string(error));
        edit.host->edit_.reset();
    }

    void rollBack()
    {
        for (auto undo = journal.rbegin(); undo != journal.rend(); ++undo)
            if (undo->index < undo->layer->mesh.pointCount())
                undo->layer->mesh.setPointValue(undo->map, undo->index, undo->old, undo->had);
        if (LayerMesh *target = mesh())
            target->truncate(points, polygons, vertices);
    }

    static int count(void *state, int layer, int mode, bool polygons)
    {
        MeshEditState &edit = of(state);
        const LayerMesh *target = edit.mesh();
        if (target == nullptr || layer != MH_LAYER_PRIMARY)
            return 0;
        if (mode != MH_COUNT_SELECTED)
            return static_cast<int>(polygons ? target->polygonCount() : target->pointCount());
        return static_cast<int>(polygons ? target->selectedPolygonCount() : target->selectedPointCount());
    }
    static int pointCount(void *state, int layer, int mode) { return count(state, layer, mode, false); }
    static int polygonCount(void *state, int layer, int mode) { return count(state, layer, mode, true); }

    static int pointScan(void *state, MhPointScanFn callback, void *userData, int layer)
    {
        MeshEditState &edit = of(state);
        if (edit.layer == nullptr || layer != MH_LAYER_PRIMARY || callback == nullptr)
            return 0;
        const std::size_t count = edit.layer->mesh.pointCount();
        for (std::size_t i = 0; i < count; ++i) {
            fillPointInfo(edit.scanInfo, *edit.layer, static_cast<std::uint32_t>(i));
            if (const int stop = callback(userData, &edit.scanInfo))
                return stop;
        }
        return 0;
    }

    static int polygonScan(void *state, MhPolygonScanFn callback, void *userData, int layer)
    {
        MeshEditState &edit = of(state);
        return edit.host->guarded(0, [&] { return edit.scanPolygons(callback, userData, layer); });
    }

    int scanPolygons(MhPolygonScanFn callback, void *userData, int layer)
    {
        MeshEditState &edit = *this;
        if (edit.layer == nullptr || layer != MH_LAYER_PRIMARY || callback == nullptr)
            return 0;
        const LayerMesh &mesh = edit.layer->mesh;
        for (std::size_t i = 0; i < mesh.polygonCount(); ++i) {
            const Polygon polygon = mesh.polygon(i);
            const PolygonPoints points = mesh.pointsOf(i);
            edit.polygonVertices.resize(points.size());
            for (std::uint32_t v = 0; v < points.size(); ++v)
                edit.polygonVertices[v] = pointId(edit.layer->slot, points[v]);
            edit.polygonInfo = {polygonId(edit.layer->slot, static_cast<std::uint32_t>(i)),
                                nullptr,
                                edit.layer->number,
                                polygon.flags,
                                static_cast<int>(polygon.vertexCount),
                                edit.polygonVertices.data()};
            if (const int stop = callback(userData, &edit.polygonInfo))
                return stop;
        }
        return 0;
    }

    static const MhPointInfo *pointInfo(void *state, MhPointId id)
    {
        MeshEditState &edit = of(state);
        const auto found = findPoint(edit.object(), id);
        if (!found)
            return nullptr;
        fillPointInfo(edit.info, *found->layer, found->index);
        return &edit.info;
    }

    static int polygonNormal(void *state, MhPolygonId id, double normal[3])
    {
        MeshEditState &edit = of(state);
        const auto found = findPolygon(edit.object(), id);
        if (edit.host->recording_)
            edit.host->note("polygon normal");
        if (!found || normal == nullptr)
            return 0;
        const auto n = host::polygonNormal(found->layer->mesh, found->index);
        if (!n)
            return 0;
        normal[0] = n->x;
        normal[1] = n->y;
        normal[2] = n->z;
        return 1;
    }

    static MhPointId addPoint(void *state, const double position[3])
    {
        MeshEditState &edit = of(state);
        return edit.host->guarded<MhPointId>(nullptr, [&] { return edit.add(position); });
    }

    MhPointId add(const double position[3])
    {
        MeshEditState &edit = *this;
        LayerMesh *target = edit.mesh();
        if (target == nullptr || position == nullptr || target->pointCount() > kIndexMask)
            return nullptr;
        const std::uint32_t index = target->addPoint({position[0], position[1], position[2]});
        return pointId(edit.layer->slot, index);
    }

    static MhPolygonId addPolygon(void *state, std::uint32_t type, MhPolygonId, const char *surface, int count,
                                  const MhPointId *points)
    {
        MeshEditState &edit = of(state);
        return edit.host->guarded<MhPolygonId>(nullptr, [&] { return edit.add(type, surface, count, points); });
    }

    MhPolygonId add(std::uint32_t type, const char *surface, int count, const MhPointId *points)
    {
        MeshEditState &edit = *this;
        LayerMesh *target = edit.mesh();
        if (target == nullptr || count < 1 || points == nullptr || target->polygonCount() > kIndexMask)
            return nullptr;
        std::vector<std::uint32_t> indices(static_cast<std::size_t>(count));
        for (int v = 0; v < count; ++v) {
            const auto found = findPoint(edit.object(), points[v]);
            if (!found || found->layer != edit.layer)
                return nullptr; // a polygon joins points of its own layer only
            indices[v] = found->index;
        }
        const std::uint32_t surfaceIndex = edit.object().surfaceIndex(surface != nullptr ? surface : "");
        const std::uint32_t index =
            target->addPolygon(type, surfaceIndex, indices.data(), static_cast<std::uint32_t>(count));
        return polygonId(edit.layer->slot, index);
    }

    static int setPointMapValue(void *state, MhPointId id, std::uint32_t type, const char *name, int dimension,
                                const float *values)
    {
        MeshEditState &edit = of(state);
        return edit.host->guarded(0, [&] { return edit.setValue(id, type, name, dimension, values); });
    }

    int setValue(MhPointId id, std::uint32_t type, const char *name, int dimension, const float *values)
    {
        MeshEditState &edit = *this;
        const auto found = findPoint(edit.object(), id);
        if (!found || name == nullptr || values == nullptr || dimension < 1 || dimension > 4)
            return 0;
        const long key = edit.object().mapKey(type, name, dimension);
        if (key < 0)
            return 0;
        LayerMesh &mesh = found->layer->mesh;
        const LayerMap map{static_cast<std::uint32_t>(key), type, dimension};
        const float *was = mesh.pointValue(map.key, found->index);
        Undo undo{found->layer, map, found->index, was != nullptr, {0, 0, 0, 0}};
        if (was != nullptr)
            std::memcpy(undo.old, was, sizeof(float) * dimension);
        edit.journal.push_back(undo);
        mesh.setPointValue(map, found->index, values);
        return 1;
    }

    static void *selectPointMap(void *state, void *, std::uint32_t type, const char *name)
    {
        MeshEditState &edit = of(state);
        edit.selectedMap = name != nullptr ? edit.object().findMapKey(type, name) : -1;
        return edit.selectedMap < 0 ? nullptr : reinterpret_cast<void *>(edit.selectedMap + 1);
    }

    static int readPointMapValue(void *state, MhPointId id, float *values)
    {
        MeshEditState &edit = of(state);
        const auto found = findPoint(edit.object(), id);
        if (!found || edit.selectedMap < 0 || values == nullptr)
            return 0;
        const LayerMesh &mesh = found->layer->mesh;
        const auto map = mesh.findMap(static_cast<std::uint32_t>(edit.selectedMap));
        const float *value = map ? mesh.pointValue(map->key, found->index) : nullptr;
        if (value == nullptr)
            return 0;
        std::memcpy(values, value, sizeof(float) * map->dimension);
        return 1;
    }
};

void Modeler::FreeEdit::operator()(MeshEditState *edit) const { delete edit; }

MhMeshEdit *Modeler::beginMeshEdit()
{
    if (recording_)
        note("edit begin");
    if (edit_)
        return nullptr; // one edit at a time
    edit_.reset(new MeshEditState());
    MeshEditState &edit = *edit_;
    edit.table = {&edit,
                  MeshEditState::done,
                  MeshEditState::pointCount,
                  MeshEditState::polygonCount,
                  MeshEditState::pointScan,
                  MeshEditState::polygonScan,
                  MeshEditState::pointInfo,
                  MeshEditState::polygonNormal,
                  MeshEditState::addPoint,
                  MeshEditState::addPolygon,
                  MeshEditState::setPointMapValue,
                  MeshEditState::selectPointMap,
                  MeshEditState::readPointMapValue};
    edit.host = this;
    edit.layer = active_ != nullptr && active_->slot < kMaxSlots ? active_ : nullptr;
    edit.points = edit.layer != nullptr ? edit.layer->mesh.pointCount() : 0;
    edit.polygons = edit.layer != nullptr ? edit.layer->mesh.polygonCount() : 0;
    edit.vertices = edit.layer != nullptr ? edit.layer->mesh.cornerCount() : 0;
    return &edit.table;
}

void Modeler::endOpenEdit()
{
    if (edit_)
        MeshEditState::done(edit_.get(), 0, 0);
}

} // namespace tuft::host
