// What a picture of a big lawn costs: the scene built from the object (a vertex per
// point and surface, smooth normals), and the whole offscreen picture (context, buffers,
// drawing at twice the size, reading back, averaging down).
#include "sdk/modeler_host.h"
#include "view/picture.h"
#include "view/scene.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

using namespace tuft;

// N blades of 11 points and 5 polygons each, bent and turned, over a square field.
host::Object lawn(std::int64_t blades)
{
    host::Object object;
    host::Mesh &mesh = object.layer(1)->mesh.flat();
    const std::uint32_t grass = object.surfaceIndex("Grass");
    const int side = static_cast<int>(std::ceil(std::sqrt(double(blades))));
    for (std::int64_t b = 0; b < blades; ++b) {
        const double x = double(b % side) / side * 10, z = double(b / side) / side * 10;
        const double turn = 2.399963 * double(b); // the golden angle: every way round
        const double c = std::cos(turn), s = std::sin(turn);
        const auto first = static_cast<std::uint32_t>(mesh.pointCount());
        // Five pairs of points up the blade, then its tip: four quads and a triangle.
        for (int i = 0; i < 11; ++i) {
            const int row = i / 2;
            const double up = 0.04 * row, lean = 0.0004 * row * row, across = i == 10 ? 0 : i % 2 ? 0.004 : -0.004;
            mesh.addPoint({x + c * across + s * lean, up, z - s * across + c * lean});
        }
        for (std::uint32_t q = 0; q < 4; ++q) {
            const std::uint32_t quad[4] = {first + 2 * q, first + 2 * q + 1, first + 2 * q + 3, first + 2 * q + 2};
            mesh.addPolygon(MH_POLY_FACE, grass, quad, 4);
        }
        const std::uint32_t tip[3] = {first + 8, first + 9, first + 10};
        mesh.addPolygon(MH_POLY_FACE, grass, tip, 3);
    }
    return object;
}

void sceneOfBlades(benchmark::State &state)
{
    host::Object object = lawn(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(view::sceneOf(object, {object.layer(1)}, {"Grass"}));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(sceneOfBlades)->Arg(1000000)->Iterations(3)->Unit(benchmark::kMillisecond);

void pictureOfBlades(benchmark::State &state)
{
    host::Object object = lawn(state.range(0));
    view::PictureOptions grassPicture;
    grassPicture.plantedSurfaces = {"Grass"};
    for (auto _ : state)
        benchmark::DoNotOptimize(view::renderPicture(object, {object.layer(1)}, grassPicture));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(pictureOfBlades)->Arg(1000)->Arg(1000000)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
