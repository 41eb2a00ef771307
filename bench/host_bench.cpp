// What host commands and whole runs cost as the object grows.
#include "clock.h"
#include "headless.h"
#include "loader.h"
#include "modeler.h"

#include <benchmark/benchmark.h>

#include <cmath>

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
    const host::Mesh one = blade();
    host::Mesh &target = object.layer(1)->mesh;
    for (std::int64_t i = 0; i < state.range(0); ++i)
        target.append(one);
    object.clipboard = one;
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

// A whole Ground run through the plug-in: ten host commands per blade.
void groundRun(benchmark::State &state)
{
    static host::PluginLibrary library(TUFT_PLUGIN_PATH);
    host::pinClock(0);
    for (auto _ : state) {
        state.PauseTiming();
        host::Object object;
        host::Modeler modeler(object);
        modeler.setProgressDisplay(nullptr);
        toolkit::HeadlessPanels panels;
        modeler.setPanelServices(panels.services());
        panels.setScript({{toolkit::UserAction::Type::kSet, "Number", std::to_string(state.range(0))},
                          {toolkit::UserAction::Type::kSet, "Add_UV", "on"},
                          {toolkit::UserAction::Type::kOk, "", ""}});
        state.ResumeTiming();
        modeler.activate(library);
        state.PauseTiming();
        benchmark::DoNotOptimize(object.layer(1)->mesh.pointCount());
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(groundRun)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)->Arg(10000000)->Iterations(2)->Unit(benchmark::kMillisecond);

// A grid of selected points (and, for polygons, a selected quad on each cell).
void selectedGrid(host::Object &object, std::int64_t count, bool polygons)
{
    host::Mesh &mesh = object.layer(1)->mesh;
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

void pointRun(benchmark::State &state) { selectionRun(state, false); }
void polygonRun(benchmark::State &state) { selectionRun(state, true); }
BENCHMARK(pointRun)->Arg(1000000)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(polygonRun)->Arg(1000000)->Iterations(2)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
