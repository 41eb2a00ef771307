// Builds without OpenGL offscreen, PNG or a window toolkit (Windows, for now): every
// drawing refuses, as a usage error, before anything is read or written.
#include "app/drawing.h"

#include "app/gui_session.h"

namespace tuft::app {

void requireDrawing(const std::string &what)
{
    throw UsageError(what + " draws with OpenGL, which this build of tuftsprout cannot do yet; "
                            "the Linux build can");
}

void writePicture(meshio::OutputSet &, const std::string &path, const host::Object &, meshio::LayerChoice,
                  const view::PictureOptions &)
{
    requireDrawing("--picture " + path);
}

struct PreviewCapture::Context {};

PreviewCapture::PreviewCapture(toolkit::HeadlessPanels &) { requireDrawing("--preview"); }

PreviewCapture::~PreviewCapture() = default;

void PreviewCapture::keep() {}

void PreviewCapture::write(meshio::OutputSet &, const std::string &) const {}

int runGuiSession(const PlantJob &)
{
    requireDrawing("gui");
    return 2;
}

} // namespace tuft::app
