// What host commands and whole runs cost as the object grows.
#include "clock.h"
#include "headless.h"
#include "loader.h"
#include "modeler.h"

#include <benchmark/benchmark.h>

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
BENCHMARK(groundRun)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)->Iterations(2)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
