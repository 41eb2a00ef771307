// What scattering points over a terrain costs: 10^6 points over 10^5 triangles, at
// random and at least a distance apart.
#include "scatter/scatter.h"
#include "sdk/modeler_host.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace {

using namespace tuft;

// About 10^5 triangles: 224 x 224 quads over [-50, 50]^2, rolling hills, all selected.
host::Object rollingHills()
{
    constexpr int n = 224;
    host::Object object;
    host::Mesh &mesh = object.layer(1)->mesh.flat();
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i) {
            const double x = -50 + 100.0 * i / n, z = -50 + 100.0 * j / n;
            mesh.addPoint({x, 2 * std::sin(x / 7) * std::cos(z / 9), z});
        }
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const std::uint32_t a = static_cast<std::uint32_t>(j * (n + 1) + i);
            const std::uint32_t quad[4] = {a, a + n + 1, a + n + 2, a + 1};
            mesh.addPolygon(MH_POLY_FACE, 0, quad, 4, MH_FLAG_SELECTED);
        }
    object.selectionMode = host::SelectionMode::kPolygons;
    return object;
}

void scatterOverHills(benchmark::State &state, double spacing)
{
    scatter::ScatterOptions options;
    options.count = static_cast<std::uint64_t>(state.range(0));
    options.spacing = spacing;
    std::uint64_t made = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto object = std::make_unique<host::Object>(rollingHills());
        state.ResumeTiming();
        made = scatter::scatterPoints(*object, 1, options).made;
        state.PauseTiming(); // the object's freeing is no part of scattering
        object.reset();
        state.ResumeTiming();
    }
    // Points made, which spacing may leave short of those asked for.
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(made));
}

void scatterByArea(benchmark::State &state) { scatterOverHills(state, 0); }
void scatterWithSpacing(benchmark::State &state) { scatterOverHills(state, 0.05); }
BENCHMARK(scatterByArea)->Arg(1000000)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(scatterWithSpacing)->Arg(1000000)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
