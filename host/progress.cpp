// The terminal progress bar of the dynamic monitor, and when to redraw a display.
#include "host/progress.h"

#include <chrono>
#include <cstdio>
#include <unistd.h>

namespace tuft::host {

void RedrawThrottle::start(std::uint64_t total)
{
    nextCheck_ = 0;
    stride_ = total / 512 + 1;
    drawn_ = false;
}

bool RedrawThrottle::due(std::uint64_t done)
{
    if (done < nextCheck_)
        return false;
    nextCheck_ = done + stride_;
    const std::int64_t now =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    if (drawn_ && now - lastMilliseconds_ < interval_)
        return false;
    drawn_ = true;
    lastMilliseconds_ = now;
    return true;
}

namespace {

class TerminalProgress final : public ProgressDisplay {
public:
    explicit TerminalProgress(std::FILE *out) : out_(out) {}

    void start(const char *, const char *caption, std::uint32_t total) override
    {
        caption_ = displayText(caption);
        total_ = total;
        throttle_.start(total);
        draw(0);
    }

    void advance(std::uint64_t done) override
    {
        if (throttle_.due(done))
            draw(done);
    }

    void finish() override
    {
        draw(total_);
        std::fputc('\n', out_);
    }

private:
    void draw(std::uint64_t done)
    {
        const double fraction = total_ > 0 ? std::min(1.0, double(done) / total_) : 1.0;
        const int filled = static_cast<int>(fraction * kWidth);
        std::fprintf(out_, "\r%s [%.*s%*s] %3d%%", caption_.c_str(), filled,
                     "##################################################", kWidth - filled, "",
                     static_cast<int>(fraction * 100));
        std::fflush(out_);
    }

    static constexpr int kWidth = 50;
    std::FILE *out_;
    std::string caption_;
    std::uint32_t total_ = 0;
    RedrawThrottle throttle_{200};
};

} // namespace

std::unique_ptr<ProgressDisplay> makeTerminalProgress()
{
    if (!isatty(fileno(stderr)))
        return nullptr;
    return makeProgressBar(stderr);
}

std::unique_ptr<ProgressDisplay> makeProgressBar(std::FILE *out) { return std::make_unique<TerminalProgress>(out); }

} // namespace tuft::host
