#include "plugin/entry/capture.h"

#include <cstdio>
#include <cstdlib>

namespace tuft {

namespace {

// What a scan callback is given: where to store, how much room there is, how far it
// has come, and the edit the scan runs under.
template <typename Entry> struct ScanInto {
    Entry *entries;
    int count;
    int next;
    MhMeshEdit *edit;

    bool full() const { return next >= count; }
};

struct SelectedCounts {
    int points;
    int polygons;
};

bool isSelected(int flags) { return (flags & MH_FLAG_SELECTED) != 0; }

int capturePosition(void *userData, const MhPointInfo *info)
{
    auto &scan = *static_cast<ScanInto<double[3]> *>(userData);
    if (!isSelected(info->flags) || scan.full())
        return 0;
    double *entry = scan.entries[scan.next++];
    entry[0] = info->position[0];
    entry[1] = info->position[1];
    entry[2] = info->position[2];
    return 0;
}

int captureWeight(void *userData, const MhPointInfo *info)
{
    auto &scan = *static_cast<ScanInto<float> *>(userData);
    if (!isSelected(info->flags) || scan.full())
        return 0;
    scan.edit->selectPointMap(scan.edit->state, nullptr, MH_MAP_WEIGHT, "ZTSW");
    // A point without a value in the map weighs 0: it gets no blade when weights decide.
    float value = 0.0f;
    scan.edit->readPointMapValue(scan.edit->state, info->id, &value);
    scan.entries[scan.next++] = capturedWeight(value);
    return 0;
}

int capturePolygon(void *userData, const MhPolygonInfo *info)
{
    auto &scan = *static_cast<ScanInto<PolygonTargets> *>(userData);
    PolygonTargets &targets = *scan.entries;
    if (!isSelected(info->flags) || scan.full())
        return 0;
    const int index = scan.next++;
    targets.ids[index] = info->id;
    double sum[3] = {0.0, 0.0, 0.0};
    int found = 0;
    for (int v = 0; v < info->vertexCount; ++v) {
        const MhPointInfo *point = scan.edit->pointInfo(scan.edit->state, info->vertices[v]);
        if (point == nullptr)
            continue;
        for (int axis = 0; axis < 3; ++axis)
            sum[axis] += point->position[axis];
        ++found;
    }
    if (found > 0)
        for (int axis = 0; axis < 3; ++axis)
            targets.centres[index][axis] = sum[axis] / found;
    return 0;
}

SelectedCounts countSelected(Host &host)
{
    SelectedCounts counts = {0, 0};
    if (!beginEdit(host))
        return counts;
    counts.points = host.edit->pointCount(host.edit->state, MH_LAYER_PRIMARY, MH_COUNT_SELECTED);
    counts.polygons = host.edit->polygonCount(host.edit->state, MH_LAYER_PRIMARY, MH_COUNT_SELECTED);
    endEdit(host);
    return counts;
}

// Zero-filled storage for `count` entries, or null after the "MemoryError" warning.
void *allocateTargets(const Host &host, int count, std::size_t entrySize)
{
    void *memory = std::calloc(static_cast<std::size_t>(count), entrySize);
    if (memory == nullptr)
        showWarning(host, "warning", "MemoryError");
    return memory;
}

// Runs one point scan under its own edit; false when no edit could be opened.
template <typename Entry> bool scanPoints(Host &host, MhPointScanFn callback, Entry *entries, int count)
{
    if (!beginEdit(host))
        return false;
    ScanInto<Entry> scan = {entries, count, 0, host.edit};
    host.edit->pointScan(host.edit->state, callback, &scan, MH_LAYER_PRIMARY);
    endEdit(host);
    return true;
}

void capturePoints(Host &host, Targets &targets, int count)
{
    auto *positions = static_cast<double(*)[3]>(allocateTargets(host, count, sizeof(double[3])));
    auto *weights = static_cast<float *>(allocateTargets(host, count, sizeof(float)));
    targets.points = {positions, weights, count};
    if (positions == nullptr || weights == nullptr || !scanPoints(host, capturePosition, positions, count) ||
        !scanPoints(host, captureWeight, weights, count))
        freeTargets(targets);
}

void capturePolygons(Host &host, Targets &targets, int count)
{
    auto *centres = static_cast<double(*)[3]>(allocateTargets(host, count, sizeof(double[3])));
    auto *ids = static_cast<MhPolygonId *>(allocateTargets(host, count, sizeof(MhPolygonId)));
    targets.polygons = {ids, centres, count};
    if (ids == nullptr || centres == nullptr || !beginEdit(host)) {
        freeTargets(targets);
        return;
    }
    ScanInto<PolygonTargets> scan = {&targets.polygons, count, 0, host.edit};
    host.edit->polygonScan(host.edit->state, capturePolygon, &scan, MH_LAYER_PRIMARY);
    endEdit(host);
}

} // namespace

float capturedWeight(float mapValue)
{
    char text[64];
    std::snprintf(text, sizeof text, "%f", static_cast<double>(mapValue));
    return static_cast<float>(std::strtod(text, nullptr));
}

void captureTargets(Host &host, Targets &targets)
{
    const int mode = hostSelectionMode(host);
    const SelectedCounts counts = countSelected(host);
    if (mode == 0 && counts.points > 0)
        capturePoints(host, targets, counts.points);
    else if (mode == 1 && counts.polygons > 0)
        capturePolygons(host, targets, counts.polygons);
}

void freeTargets(Targets &targets)
{
    std::free(targets.points.positions);
    std::free(targets.points.weights);
    std::free(targets.polygons.ids);
    std::free(targets.polygons.centres);
    targets = Targets{};
}

} // namespace tuft
