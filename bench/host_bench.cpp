// What host commands and whole runs cost as the object grows.
#include "host/clock.h"
#include "host/loader.h"
#include "host/modeler.h"
#include "toolkit/headless.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace tuft;

MhArgRecord layerArgument(const char *number)
{
    MhArgRecord record{};
    record.string.type = MH_ARG_STRING;
    record.string.text = number;
    return record;
}

host::Mesh blade()
{
    host::Mesh mesh;
    for (int i = 0; i < 11; ++i)
        mesh.addPoint({0.01 * i, 0.1 * i, 0.0});
    const std::uint32_t quad[4] = {0, 1, 2, 3};
    for (int i = 0; i < 5; ++i)
        mesh.addPolygon(MH_POLY_FACE, 0, quad, 4);
    return mesh;
}

// PASTE of one blade into a layer that already holds state.range(0) blades.
void pasteIntoFilledLayer(benchmark::State &state)
{
    host::Object object;
    host::Modeler modeler(object);
    object.clipboard.append(blade());
    host::LayerMesh &target = object.layer(1)->mesh;
    for (std::int64_t i = 0; i < state.range(0); ++i)
        target.append(object.clipboard);
    MhCommandSequence *sequence = modeler.commandSequence();
    const int setLayer = sequence->lookup(sequence->data, "SETLAYER");
    const int paste = sequence->lookup(sequence->data, "PASTE");
    const MhArgRecord layer = layerArgument("1");
    sequence->execute(sequence->data, setLayer, 1, &layer, 0, nullptr);
    for (auto _ : state)
        sequence->execute(sequence->data, paste, 0, nullptr, 0, nullptr);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(pasteIntoFilledLayer)->Arg(0)->Arg(1000)->Arg(1000000);

// The bytes of memory the process has resident.
double residentBytes()
{
    long pages = 0, resident = 0;
    if (std::FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE));
}

// A whole Ground run through the plug-in: ten host commands per blade. Only the run is
// timed: setting up the object and panel and freeing them afterwards are not. With
// `bar`, the monitor draws the terminal's progress bar (into /dev/null). The label says
// what the run adds to the memory the process has resident, a blade.
void timeGroundRuns(benchmark::State &state, std::FILE *bar)
{
    static host::PluginLibrary library(TUFT_PLUGIN_PATH);
    host::pinClock(0);
    for (auto _ : state) {
        state.PauseTiming();
        auto object = std::make_unique<host::Object>();
        auto modeler = std::make_unique<host::Modeler>(*object);
        modeler->setProgressDisplay(bar != nullptr ? host::makeProgressBar(bar) : nullptr);
        auto panels = std::make_unique<toolkit::HeadlessPanels>();
        modeler->setPanelServices(panels->services());
        panels->setScript({{toolkit::UserAction::Type::kSet, "Number", std::to_string(state.range(0))},
                           {toolkit::UserAction::Type::kSet, "Add_UV", "on"},
                           {toolkit::UserAction::Type::kOk, "", ""}});
        const double before = residentBytes();
        state.ResumeTiming();
        modeler->activate(library);
        state.PauseTiming();
        const double bytes = (residentBytes() - before) / double(state.range(0));
        state.SetLabel(std::to_string(static_cast<long>(std::lround(bytes))) + " B a blade");
        benchmark::DoNotOptimize(object->layer(1)->mesh.pointCount());
        modeler.reset();
        panels.reset();
        object.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void groundRun(benchmark::State &state) { timeGroundRuns(state, nullptr); }
BENCHMARK(groundRun)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(groundRun)->Arg(1000000)->Arg(10000000)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(groundRun)->Arg(100000000)->Iterations(1)->Unit(benchmark::kMillisecond);

void groundRunWithProgressBar(benchmark::State &state)
{
    std::FILE *bar = std::fopen("/dev/null", "w");
    timeGroundRuns(state, bar);
    std::fclose(bar);
}
BENCHMARK(groundRunWithProgressBar)->Arg(100000)->Unit(benchmark::kMillisecond);

// A grid of selected points (and, for polygons, a selected quad on each cell).
void selectedGrid(host::Object &object, std::int64_t count, bool polygons)
{
    host::Mesh &mesh = object.layer(1)->mesh.flat();
    const auto side = static_cast<std::int64_t>(std::ceil(std::sqrt(double(count)))) + 1;
    for (std::int64_t i = 0; i < side * side; ++i)
        mesh.addPoint({double(i % side), 0.01 * double(i % 7), double(i / side)}, polygons ? 0 : MH_FLAG_SELECTED);
    if (!polygons) {
        object.selectionMode = host::SelectionMode::kPoints;
        return;
    }
    std::int64_t made = 0;
    for (std::int64_t row = 0; row + 1 < side && made < count; ++row)
        for (std::int64_t column = 0; column + 1 < side && made < count; ++column, ++made) {
            const auto at = static_cast<std::uint32_t>(row * side + column);
            const std::uint32_t quad[4] = {at, at + static_cast<std::uint32_t>(side),
                                           at + static_cast<std::uint32_t>(side) + 1, at + 1};
            mesh.addPolygon(MH_POLY_FACE, 0, quad, 4, MH_FLAG_SELECTED);
        }
    object.selectionMode = host::SelectionMode::kPolygons;
}

// Point or Polygon planting on state.range(0) selected elements, capture included.
void selectionRun(benchmark::State &state, bool polygons)
{
    static host::PluginLibrary library(TUFT_PLUGIN_PATH);
    host::pinClock(0);
    for (auto _ : state) {
        state.PauseTiming();
        host::Object object;
        selectedGrid(object, state.range(0), polygons);
        host::Modeler modeler(object);
        modeler.setProgressDisplay(nullptr);
        toolkit::HeadlessPanels panels;
        modeler.setPanelServices(panels.services());
        panels.setScript({{toolkit::UserAction::Type::kSet, "Mode", polygons ? "Polygon" : "Point"},
                          {toolkit::UserAction::Type::kOk, "", ""}});
        state.ResumeTiming();
        modeler.activate(library);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The host's side of what the plug-in does before planting on a selection, the way it
// does it: for points, a position scan and a weight scan (each under its own edit); for
// polygons, a scan that averages each polygon's points, then one edit per normal query.
struct CaptureCounts {
    MhMeshEdit *edit = nullptr;
    std::int64_t seen = 0;
    double sum = 0;
};

int positionOf(void *data, const MhPointInfo *info)
{
    auto &counts = *static_cast<CaptureCounts *>(data);
    counts.sum += info->position[0];
    ++counts.seen;
    return 0;
}

int weightOf(void *data, const MhPointInfo *info)
{
    auto &counts = *static_cast<CaptureCounts *>(data);
    counts.edit->selectPointMap(counts.edit->state, nullptr, MH_MAP_WEIGHT, "ZTSW");
    float value = 0;
    counts.edit->readPointMapValue(counts.edit->state, info->id, &value);
    counts.sum += value;
    return 0;
}

int centreOf(void *data, const MhPolygonInfo *info)
{
    auto &counts = *static_cast<CaptureCounts *>(data);
    for (int v = 0; v < info->vertexCount; ++v)
        counts.sum += counts.edit->pointInfo(counts.edit->state, info->vertices[v])->position[0];
    ++counts.seen;
    return 0;
}

int idOf(void *data, const MhPolygonInfo *info)
{
    static_cast<std::vector<MhPolygonId> *>(data)->push_back(info->id);
    return 0;
}

void selectionCapture(benchmark::State &state, bool polygons)
{
    host::Object object;
    selectedGrid(object, state.range(0), polygons);
    host::Modeler modeler(object);
    MhCommandSequence *sequence = modeler.commandSequence();
    const MhArgRecord layer = layerArgument("1");
    sequence->execute(sequence->data, sequence->lookup(sequence->data, "SETLAYER"), 1, &layer, 0, nullptr);
    const auto scan = [&](auto run) {
        CaptureCounts counts;
        counts.edit = sequence->meshEditBegin(sequence->data, 0, 0, 1);
        run(counts);
        counts.edit->done(counts.edit->state, 0, 0);
        return counts.sum;
    };
    std::vector<MhPolygonId> ids;
    if (polygons)
        scan([&](CaptureCounts &counts) { counts.edit->polygonScan(counts.edit->state, idOf, &ids, 0); });
    for (auto _ : state) {
        if (!polygons) {
            benchmark::DoNotOptimize(
                scan([](CaptureCounts &c) { c.edit->pointScan(c.edit->state, positionOf, &c, 0); }));
            benchmark::DoNotOptimize(scan([](CaptureCounts &c) { c.edit->pointScan(c.edit->state, weightOf, &c, 0); }));
            continue;
        }
        benchmark::DoNotOptimize(scan([](CaptureCounts &c) { c.edit->polygonScan(c.edit->state, centreOf, &c, 0); }));
        double normal[3];
        for (MhPolygonId id : ids) {
            MhMeshEdit *edit = sequence->meshEditBegin(sequence->data, 0, 0, 1);
            edit->polygonNormal(edit->state, id, normal);
            edit->done(edit->state, 0, 0);
        }
        benchmark::DoNotOptimize(normal[1]);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void pointCapture(benchmark::State &state) { selectionCapture(state, false); }
void polygonCaptureAndNormals(benchmark::State &state) { selectionCapture(state, true); }
BENCHMARK(pointCapture)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(polygonCaptureAndNormals)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void pointRun(benchmark::State &state) { selectionRun(state, false); }
void polygonRun(benchmark::State &state) { selectionRun(state, true); }
BENCHMARK(pointRun)->Arg(1000000)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(polygonRun)->Arg(1000000)->Iterations(2)->Unit(benchmark::kMillisecond);

// What the machine charges for memory a process has not touched before: the floor under
// every run that grows an object (about 550 bytes a blade), whatever the host does.
void touchFreshMemory(benchmark::State &state)
{
    const std::size_t bytes = static_cast<std::size_t>(state.range(0)) << 20;
    for (auto _ : state) {
        void *memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED) {
            state.SkipWithError("mmap failed");
            return;
        }
        madvise(memory, bytes, MADV_HUGEPAGE);
        for (std::size_t at = 0; at < bytes; at += 4096)
            static_cast<volatile char *>(memory)[at] = 1;
        munmap(memory, bytes);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(bytes >> 20));
}
BENCHMARK(touchFreshMemory)->Arg(1024)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
