// Where a run's progress shows: a bar on the terminal, or a window in the GUI.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace tuft::host {

class ProgressDisplay {
public:
    virtual ~ProgressDisplay() = default;
    virtual void start(const char *title, const char *caption, std::uint32_t total) = 0;
    virtual void advance(std::uint64_t done) = 0;
    virtual void finish() = 0;
};

// Decides when a display is worth redrawing: not more often than `interval`, and
// looking at the clock only every few steps, since that would cost more than a step.
class RedrawThrottle {
public:
    explicit RedrawThrottle(int intervalMilliseconds) : interval_(intervalMilliseconds) {}
    // Starts counting toward `total` steps; the next due() is true.
    void start(std::uint64_t total);
    bool due(std::uint64_t done);

private:
    int interval_;
    std::uint64_t nextCheck_ = 0, stride_ = 1;
    std::int64_t lastMilliseconds_ = 0;
    bool drawn_ = false;
};

// A monitor text for showing: Shift-JIS bytes (as the point-mode texts are) in UTF-8,
// anything that does not convert as it is.
std::string displayText(const char *text);

// A bar on standard error when it is a terminal, redrawn a few times a second at most;
// nothing otherwise.
std::unique_ptr<ProgressDisplay> makeTerminalProgress();
// The same bar drawn on `out` whatever it is.
std::unique_ptr<ProgressDisplay> makeProgressBar(std::FILE *out);

} // namespace tuft::host
