#include "view/picture.h"

#include "toolkit/offscreen_gl.h"
#include "view/renderer.h"

#include <algorithm>
#include <new>
#include <stdexcept>

namespace tuft::view {

namespace {

constexpr int kSamples = 2; // drawn at twice the size each way, four samples a pixel

// The buffer read back a band of rows at a time and averaged down as it comes, so that
// the picture at its drawn size is never held whole.
std::vector<std::uint8_t> averagedDown(const toolkit::OffscreenGl &gl, int width, int height)
{
    constexpr int kBand = 32; // rows of the picture a band
    std::vector<std::uint8_t> small(static_cast<std::size_t>(width) * height * 3);
    const std::size_t largeRow = static_cast<std::size_t>(gl.width()) * 3;
    std::vector<std::uint8_t> large(largeRow * kSamples * kBand);
    for (int first = 0; first < height; first += kBand) {
        const int rows = std::min(kBand, height - first);
        gl.readRows(first * kSamples, rows * kSamples, large.data());
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < 3; ++c) {
                    int sum = 0;
                    for (int dy = 0; dy < kSamples; ++dy)
                        for (int dx = 0; dx < kSamples; ++dx)
                            sum += large[(y * kSamples + dy) * largeRow + (x * kSamples + dx) * 3 + c];
                    small[(static_cast<std::size_t>(first + y) * width + x) * 3 + c] =
                        static_cast<std::uint8_t>((sum + kSamples * kSamples / 2) / (kSamples * kSamples));
                }
    }
    return small;
}

} // namespace

std::vector<std::uint8_t> renderPicture(const host::Object &object, const std::vector<const host::Layer *> &layers,
                                        const PictureOptions &options)
{
    toolkit::OffscreenGl gl(options.width * kSamples, options.height * kSamples);
    if (!gl.ok())
        throw std::runtime_error("cannot render a picture: " + gl.error());
    try {
        gl.run([&] {
            Renderer renderer;
            renderer.upload(
                sceneOf(object, layers, options.plantedSurfaces, options.colours)); // the scene goes once uploaded
            renderer.draw(options.camera, gl.width(), gl.height());
        });
        return averagedDown(gl, options.width, options.height);
    } catch (const std::bad_alloc &) {
        throw std::runtime_error("cannot render a picture of " + std::to_string(options.width) + " x " +
                                 std::to_string(options.height) + " pixels: not enough memory");
    } catch (const std::runtime_error &error) {
        throw std::runtime_error(std::string("cannot render a picture: ") + error.what());
    }
}

} // namespace tuft::view
