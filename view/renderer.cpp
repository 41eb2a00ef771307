#define GL_GLEXT_PROTOTYPES
#include "view/renderer.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>

namespace tuft::view {

namespace {

constexpr float kGridColour[3] = {0.66f, 0.72f, 0.78f};
constexpr float kSunDirection[4] = {0.45f, 0.8f, 0.35f, 0.0f}; // toward the sun
constexpr float kSun[4] = {0.72f, 0.70f, 0.64f, 1.0f};
constexpr float kSky[4] = {0.42f, 0.45f, 0.50f, 1.0f};

void bindArray(unsigned buffer, std::size_t bytes, const void *data)
{
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(bytes), data, GL_STATIC_DRAW);
}

} // namespace

Renderer::~Renderer()
{
    if (buffers_[0] != 0)
        glDeleteBuffers(4, buffers_);
}

void Renderer::upload(const Scene &scene)
{
    if (buffers_[0] == 0)
        glGenBuffers(4, buffers_);
    bindArray(buffers_[0], scene.positions.size() * sizeof(float), scene.positions.data());
    bindArray(buffers_[1], scene.normals.size() * sizeof(std::int16_t), scene.normals.data());
    bindArray(buffers_[2], scene.colours.size(), scene.colours.data());
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers_[3]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(scene.triangles.size() * sizeof(std::uint32_t)),
                 scene.triangles.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    indices_ = scene.triangles.size();
    std::copy_n(scene.low, 3, low_);
    std::copy_n(scene.high, 3, high_);
}

// Lines on the ground plane under the object, a round number apart; none seen from
// straight above, where they would cross everything.
void Renderer::drawGrid(const View &) const
{
    const double size = std::max({double(high_[0]) - low_[0], double(high_[2]) - low_[2], 1e-3});
    const double step = std::pow(10.0, std::floor(std::log10(size / 2)));
    const double reach = std::ceil(0.75 * size / step) * step;
    const double cx = std::round((low_[0] + high_[0]) / 2 / step) * step;
    const double cz = std::round((low_[2] + high_[2]) / 2 / step) * step;
    const double y = std::min(0.0, double(low_[1]));
    glDisable(GL_LIGHTING);
    glColor3fv(kGridColour);
    glBegin(GL_LINES);
    for (double d = -reach; d <= reach + step / 2; d += step) {
        glVertex3d(cx + d, y, cz - reach);
        glVertex3d(cx + d, y, cz + reach);
        glVertex3d(cx - reach, y, cz + d);
        glVertex3d(cx + reach, y, cz + d);
    }
    glEnd();
}

void Renderer::draw(const Camera &camera, int width, int height) const
{
    glViewport(0, 0, width, height);
    glClearColor(kBackground[0], kBackground[1], kBackground[2], 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const View view = frame(camera, low_, high_, double(width) / std::max(1, height));
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(view.projection);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixd(view.modelView);
    glEnable(GL_DEPTH_TEST);
    if (!camera.top)
        drawGrid(view);
    if (indices_ == 0)
        return;
    // A sun, the sky's light from everywhere, and both sides of a blade lit alike.
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glLightfv(GL_LIGHT0, GL_POSITION, kSunDirection);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, kSun);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, kSky);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_NORMALIZE);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glBindBuffer(GL_ARRAY_BUFFER, buffers_[0]);
    glVertexPointer(3, GL_FLOAT, 0, nullptr);
    glBindBuffer(GL_ARRAY_BUFFER, buffers_[1]);
    glNormalPointer(GL_SHORT, 0, nullptr);
    glBindBuffer(GL_ARRAY_BUFFER, buffers_[2]);
    glColorPointer(3, GL_UNSIGNED_BYTE, 0, nullptr);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers_[3]);
    // Polygons lying on the ground plane cover the grid rather than fight it.
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(-1.0f, -2.0f);
    // In pieces, each handed on before the next: a software rasterizer then holds one
    // piece's work at a time rather than the whole object's.
    constexpr std::size_t kPiece = 3 << 19;
    for (std::size_t first = 0; first < indices_; first += kPiece) {
        const std::size_t count = std::min(kPiece, indices_ - first);
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(count), GL_UNSIGNED_INT,
                       reinterpret_cast<const void *>(first * sizeof(std::uint32_t)));
        glFlush();
    }
    glDisable(GL_POLYGON_OFFSET_FILL);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_LIGHTING);
}

} // namespace tuft::view
