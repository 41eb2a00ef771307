#include "view/picture.h"

#include "toolkit/offscreen_gl.h"
#include "view/renderer.h"

#include <stdexcept>

namespace tuft::view {

namespace {

constexpr int kSamples = 2; // drawn at twice the size each way, four samples a pixel

std::vector<std::uint8_t> averagedDown(const std::vector<std::uint8_t> &large, int width, int height)
{
    std::vector<std::uint8_t> small(static_cast<std::size_t>(width) * height * 3);
    const int largeWidth = width * kSamples;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int dy = 0; dy < kSamples; ++dy)
                    for (int dx = 0; dx < kSamples; ++dx)
                        sum +=
                            large[(static_cast<std::size_t>(y * kSamples + dy) * largeWidth + x * kSamples + dx) * 3 +
                                  c];
                small[(static_cast<std::size_t>(y) * width + x) * 3 + c] =
                    static_cast<std::uint8_t>((sum + kSamples * kSamples / 2) / (kSamples * kSamples));
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
    gl.run([&] {
        Renderer renderer;
        renderer.upload(sceneOf(object, layers, options.plantedSurface)); // the scene goes once uploaded
        renderer.draw(options.camera, gl.width(), gl.height());
    });
    return averagedDown(gl.pixels(), options.width, options.height);
}

} // namespace tuft::view
