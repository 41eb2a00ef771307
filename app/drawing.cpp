#include "app/drawing.h"

#include "app/job_steps.h"
#include "app/png_file.h"
#include "host/loader.h"
#include "toolkit/offscreen_gl.h"

namespace tuft::app {

namespace {

constexpr int kPreviewWidth = 500;
constexpr int kPreviewHeight = 250;

} // namespace

void requireDrawing(const std::string &) {}

void writePicture(meshio::OutputSet &outputs, const std::string &path, const host::Object &object,
                  meshio::LayerChoice layers, const view::PictureOptions &options)
{
    const std::vector<std::uint8_t> rgb = during(
        "drawing " + path, [&] { return view::renderPicture(object, meshio::chosenLayers(object, layers), options); });
    writePng(outputs, path, rgb, options.width, options.height);
}

struct PreviewCapture::Context {
    toolkit::OffscreenGl gl{kPreviewWidth, kPreviewHeight};
};

PreviewCapture::PreviewCapture(toolkit::HeadlessPanels &panels) : context_(std::make_unique<Context>())
{
    if (!context_->gl.ok())
        throw host::PluginError("cannot render the preview: " + context_->gl.error());
    panels.setDrawRunner([this](const std::function<void()> &draw) { context_->gl.run(draw); });
}

PreviewCapture::~PreviewCapture() = default;

void PreviewCapture::keep() { pixels_ = context_->gl.pixels(); }

void PreviewCapture::write(meshio::OutputSet &outputs, const std::string &path) const
{
    writePng(outputs, path, pixels_, kPreviewWidth, kPreviewHeight);
}

} // namespace tuft::app
