#include "entry/capture.h"

#include "entry/services.h"

#include <cstdio>
#include <cstdlib>

namespace tuft {

PointTargets g_pointTargets;
PolygonTargets g_polygonTargets;
MhMeshEdit *g_meshEdit;

namespace {

int g_pointCounter;
int g_polygonCounter;

struct SelectedCounts {
    int points;
    int polygons;
};

bool isSelected(int flags) { return (flags & MH_FLAG_SELECTED) != 0; }

int capturePosition(void *userData, const MhPointInfo *info)
{
    if (!isSelected(info->flags) || g_pointCounter >= g_pointTargets.count)
        return 0;
    double *entry = static_cast<double(*)[3]>(userData)[g_pointCounter++];
    entry[0] = info->position[0];
    entry[1] = info->position[1];
    entry[2] = info->position[2];
    return 0;
}

int captureWeight(void *userData, const MhPointInfo *info)
{
    if (!isSelected(info->flags) || g_pointCounter >= g_pointTargets.count)
        return 0;
    g_meshEdit->selectPointMap(g_meshEdit->state, nullptr, MH_MAP_WEIGHT, "ZTSW");
    // A point without a value in the map weighs 0: it gets no blade when weights decide.
    float value = 0.0f;
    g_meshEdit->readPointMapValue(g_meshEdit->state, info->id, &value);
    static_cast<float *>(userData)[g_pointCounter++] = capturedWeight(value);
    return 0;
}

int capturePolygon(void *, const MhPolygonInfo *info)
{
    if (!isSelected(info->flags) || g_polygonCounter >= g_polygonTargets.count)
        return 0;
    const int index = g_polygonCounter++;
    g_polygonTargets.ids[index] = info->id;
    double sum[3] = {0.0, 0.0, 0.0};
    int found = 0;
    for (int v = 0; v < info->vertexCount; ++v) {
        const MhPointInfo *point = g_meshEdit->pointInfo(g_meshEdit->state, info->vertices[v]);
        if (point == nullptr)
            continue;
        for (int axis = 0; axis < 3; ++axis)
            sum[axis] += point->position[axis];
        ++found;
    }
    if (found > 0)
        for (int axis = 0; axis < 3; ++axis)
            g_polygonTargets.centres[index][axis] = sum[axis] / found;
    return 0;
}

SelectedCounts countSelected()
{
    SelectedCounts counts = {0, 0};
    if (!beginEdit())
        return counts;
    counts.points = g_meshEdit->pointCount(g_meshEdit->state, MH_LAYER_PRIMARY, MH_COUNT_SELECTED);
    counts.polygons = g_meshEdit->polygonCount(g_meshEdit->state, MH_LAYER_PRIMARY, MH_COUNT_SELECTED);
    endEdit();
    return counts;
}

// Zero-filled storage for `count` entries, or null after the "MemoryError" warning.
void *allocateTargets(int count, std::size_t entrySize)
{
    void *memory = std::calloc(static_cast<std::size_t>(count), entrySize);
    if (memory == nullptr)
        showWarning("warning", "MemoryError");
    return memory;
}

// Runs one point scan under its own edit; false when no edit could be opened.
bool scanPoints(MhPointScanFn callback, void *userData)
{
    g_pointCounter = 0;
    if (!beginEdit())
        return false;
    g_meshEdit->pointScan(g_meshEdit->state, callback, userData, MH_LAYER_PRIMARY);
    endEdit();
    return true;
}

void capturePoints(int count)
{
    auto *positions = static_cast<double(*)[3]>(allocateTargets(count, sizeof(double[3])));
    auto *weights = static_cast<float *>(allocateTargets(count, sizeof(float)));
    g_pointTargets = {positions, weights, count};
    if (positions == nullptr || weights == nullptr || !scanPoints(capturePosition, positions) ||
        !scanPoints(captureWeight, weights))
        freeTargets();
}

void capturePolygons(int count)
{
    auto *centres = static_cast<double(*)[3]>(allocateTargets(count, sizeof(double[3])));
    auto *ids = static_cast<MhPolygonId *>(allocateTargets(count, sizeof(MhPolygonId)));
    g_polygonTargets = {ids, centres, count};
    g_polygonCounter = 0;
    if (ids == nullptr || centres == nullptr || !beginEdit()) {
        freeTargets();
        return;
    }
    g_meshEdit->polygonScan(g_meshEdit->state, capturePolygon, nullptr, MH_LAYER_PRIMARY);
    endEdit();
}

} // namespace

bool beginEdit()
{
    const MhCommandSequence *commands = g_host.commands;
    g_meshEdit = commands->meshEditBegin(commands->data, 0, 0, 1);
    return g_meshEdit != nullptr;
}

void endEdit()
{
    if (g_meshEdit == nullptr)
        return;
    g_meshEdit->done(g_meshEdit->state, 0, 0);
    g_meshEdit = nullptr;
}

float capturedWeight(float mapValue)
{
    char text[64];
    std::snprintf(text, sizeof text, "%f", static_cast<double>(mapValue));
    return static_cast<float>(std::strtod(text, nullptr));
}

void captureTargets()
{
    const int mode = hostSelectionMode();
    const SelectedCounts counts = countSelected();
    if (mode == 0 && counts.points > 0)
        capturePoints(counts.points);
    else if (mode == 1 && counts.polygons > 0)
        capturePolygons(counts.polygons);
}

void freeTargets()
{
    std::free(g_pointTargets.positions);
    std::free(g_pointTargets.weights);
    std::free(g_polygonTargets.ids);
    std::free(g_polygonTargets.centres);
    g_pointTargets = PointTargets{};
    g_polygonTargets = PolygonTargets{};
}

} // namespace tuft
