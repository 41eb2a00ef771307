// What draws: pictures of the object, the blade preview and the window. They need
// OpenGL without a display (EGL), PNG files and a window toolkit, which the Windows
// build does not have yet; there each of them refuses with a UsageError
// (drawing_unavailable.cpp), and the command line asks requireDrawing first.
#pragma once

#include "meshio/meshio.h"
#include "meshio/output_set.h"
#include "toolkit/headless.h"
#include "view/picture.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tuft::app {

// Throws UsageError, naming `what` the user asked for, when this build cannot draw.
void requireDrawing(const std::string &what);

// A picture of the chosen layers as a PNG file, added complete to `outputs`.
void writePicture(meshio::OutputSet &outputs, const std::string &path, const host::Object &object,
                  meshio::LayerChoice layers, const view::PictureOptions &options);

// The panel's blade preview drawn offscreen while the panel is open, kept as it stood
// when the panel closed.
class PreviewCapture {
public:
    // Gives the panels a context to draw the preview in; throws when none can be had.
    explicit PreviewCapture(toolkit::HeadlessPanels &panels);
    ~PreviewCapture();
    // Keeps the preview as it stands now (the panel is closing).
    void keep();
    // Writes what was kept as a PNG file, added complete to `outputs`.
    void write(meshio::OutputSet &outputs, const std::string &path) const;

private:
    struct Context;
    std::unique_ptr<Context> context_;
    std::vector<std::uint8_t> pixels_;
};

} // namespace tuft::app
