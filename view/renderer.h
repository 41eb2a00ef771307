// Draws a scene with OpenGL: the object's polygons from buffers on the GPU, lit from
// both sides by a sun and the sky, over a grid on the ground. Needs an OpenGL context
// (a compatibility profile) current for every call, the destructor included.
#pragma once

#include "view/camera.h"
#include "view/scene.h"

#include <cstddef>

namespace tuft::view {

// The colour behind the object, red, green and blue in 0..1.
constexpr float kBackground[3] = {0.80f, 0.86f, 0.92f};

class Renderer {
public:
    Renderer() = default;
    ~Renderer();
    Renderer(const Renderer &) = delete;
    Renderer &operator=(const Renderer &) = delete;

    // Hands the scene's arrays to the GPU; the scene may go afterwards.
    void upload(const Scene &scene);
    // Draws into the current framebuffer of that size.
    void draw(const Camera &camera, int width, int height) const;

private:
    void drawGrid(const View &view) const;

    unsigned buffers_[4] = {0, 0, 0, 0}; // positions, normals, colours, triangles
    std::size_t indices_ = 0;
    float low_[3] = {0, 0, 0}, high_[3] = {0, 0, 0};
};

} // namespace tuft::view
