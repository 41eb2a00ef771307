#include "toolkit/offscreen_gl.h"

#include <algorithm>
#include <stdexcept>

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

namespace tuft::toolkit {

struct OffscreenGl::State {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLSurface surface = EGL_NO_SURFACE;
    EGLContext context = EGL_NO_CONTEXT;
};

namespace {

// One display for the whole process, initialised on first use and kept: initialising
// loads the driver, which is slow, and unloading it mid-process would gain nothing.
EGLDisplay surfacelessDisplay()
{
    static const EGLDisplay display = [] {
        auto getPlatformDisplay =
            reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (getPlatformDisplay == nullptr)
            return EGL_NO_DISPLAY;
        EGLDisplay made = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        return made != EGL_NO_DISPLAY && eglInitialize(made, nullptr, nullptr) ? made : EGL_NO_DISPLAY;
    }();
    return display;
}

} // namespace

OffscreenGl::OffscreenGl(int width, int height) : state_(std::make_unique<State>()), width_(width), height_(height)
{
    State &s = *state_;
    s.display = surfacelessDisplay();
    if (s.display == EGL_NO_DISPLAY) {
        error_ = "no EGL display (Mesa's surfaceless platform is missing)";
        return;
    }
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE,
                                       EGL_PBUFFER_BIT,
                                       EGL_RENDERABLE_TYPE,
                                       EGL_OPENGL_BIT,
                                       EGL_RED_SIZE,
                                       8,
                                       EGL_GREEN_SIZE,
                                       8,
                                       EGL_BLUE_SIZE,
                                       8,
                                       EGL_DEPTH_SIZE,
                                       16,
                                       EGL_NONE};
    EGLConfig config;
    EGLint configs = 0;
    if (!eglBindAPI(EGL_OPENGL_API) || !eglChooseConfig(s.display, configAttributes, &config, 1, &configs) ||
        configs < 1) {
        error_ = "no EGL configuration for desktop OpenGL with a pixel buffer";
        return;
    }
    const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    s.surface = eglCreatePbufferSurface(s.display, config, surfaceAttributes);
    // A core profile would refuse the immediate mode the preview draws with.
    const EGLint contextAttributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                        EGL_NONE};
    s.context = eglCreateContext(s.display, config, EGL_NO_CONTEXT, contextAttributes);
    if (s.surface == EGL_NO_SURFACE || s.context == EGL_NO_CONTEXT ||
        !eglMakeCurrent(s.display, s.surface, s.surface, s.context)) {
        error_ = "cannot make an offscreen OpenGL context current";
        return;
    }
    // Short of memory, Mesa makes the buffer empty rather than failing: its first viewport,
    // the buffer's size, says so.
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    if (viewport[2] != width || viewport[3] != height) {
        error_ = "OpenGL has no memory for a buffer of " + std::to_string(width) + " x " + std::to_string(height) +
                 " pixels";
        return;
    }
    ok_ = true;
}

OffscreenGl::~OffscreenGl()
{
    State &s = *state_;
    if (s.display == EGL_NO_DISPLAY)
        return;
    eglMakeCurrent(s.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (s.context != EGL_NO_CONTEXT)
        eglDestroyContext(s.display, s.context);
    if (s.surface != EGL_NO_SURFACE)
        eglDestroySurface(s.display, s.surface);
}

void OffscreenGl::run(const std::function<void()> &draw)
{
    if (!ok_) {
        draw();
        return;
    }
    eglMakeCurrent(state_->display, state_->surface, state_->surface, state_->context);
    draw();
    glFinish();
    if (glGetError() == GL_OUT_OF_MEMORY)
        throw std::runtime_error("OpenGL ran out of memory drawing " + std::to_string(width_) + " x " +
                                 std::to_string(height_) + " pixels");
}

std::vector<std::uint8_t> OffscreenGl::pixels() const
{
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width_) * height_ * 3);
    if (ok_)
        readRows(0, height_, rgb.data());
    return rgb;
}

void OffscreenGl::readRows(int top, int count, std::uint8_t *rgb) const
{
    constexpr int kBand = 64;
    eglMakeCurrent(state_->display, state_->surface, state_->surface, state_->context);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    const std::size_t row = static_cast<std::size_t>(width_) * 3;
    std::vector<std::uint8_t> band(row * std::min(kBand, count));
    for (int first = 0; first < count; first += kBand) {
        const int rows = std::min(kBand, count - first);
        // OpenGL counts rows from the bottom.
        glReadPixels(0, height_ - top - first - rows, width_, rows, GL_RGB, GL_UNSIGNED_BYTE, band.data());
        if (glGetError() == GL_OUT_OF_MEMORY)
            throw std::runtime_error("OpenGL ran out of memory reading the picture back");
        for (int y = 0; y < rows; ++y)
            std::copy_n(&band[(rows - 1 - y) * row], row, rgb + (first + y) * row);
    }
}

} // namespace tuft::toolkit
