// An OpenGL context without a display, for drawing areas of a headless panel: EGL on
// Mesa's surfaceless platform, with a compatibility profile so immediate mode draws.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tuft::toolkit {

class OffscreenGl {
public:
    // Makes a context with a width x height pixel buffer; check ok() before use.
    OffscreenGl(int width, int height);
    ~OffscreenGl();
    OffscreenGl(const OffscreenGl &) = delete;
    OffscreenGl &operator=(const OffscreenGl &) = delete;

    bool ok() const { return ok_; }
    // Why there is no context.
    const std::string &error() const { return error_; }

    // Runs `draw` with the context current, then leaves the picture in the buffer; throws
    // std::runtime_error when OpenGL ran out of memory for it.
    void run(const std::function<void()> &draw);

    // The buffer as RGB rows, top row first.
    std::vector<std::uint8_t> pixels() const;
    // `count` rows of the buffer from row `top` (0 the top row) as RGB into `rgb`, top row
    // first; read a band at a time, so that the driver's own copies stay small.
    void readRows(int top, int count, std::uint8_t *rgb) const;
    int width() const { return width_; }
    int height() const { return height_; }

private:
    struct State;
    std::unique_ptr<State> state_;
    int width_, height_;
    bool ok_ = false;
    std::string error_;
};

} // namespace tuft::toolkit
