// A panel toolkit without a window: controls hold values, draws are recorded, and a
// modal open replays the user's actions (set a control, press a button, OK or Cancel).
#pragma once

#include "modeler_host.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tuft::toolkit {

struct UserAction {
    enum class Type { kSet, kPress, kOk, kCancel };
    Type type;
    std::string control; // a label, or "#N" for the N-th control (from 0)
    std::string value;   // as a user types it: degrees for angles, item text or index for choices
};

// What a control shows, for callers that inspect the panel.
struct ControlView {
    std::string kind;
    std::string label;
    int x, y, width, height;
    int integer;       // choices, booleans, integer fields and the integer slider
    double number;     // float fields, percentages, angles (radians)
    std::string text;  // edit fields
    int drawMode;      // the last draw: 1 normal, 2 ghosted
    std::vector<int> draws;
    bool hasCallback;
};

struct PanelView {
    std::string title;
    std::vector<ControlView> controls;
    const ControlView *find(const std::string &label) const;
};

class HeadlessPanels {
public:
    HeadlessPanels();
    ~HeadlessPanels();
    HeadlessPanels(const HeadlessPanels &) = delete;
    HeadlessPanels &operator=(const HeadlessPanels &) = delete;

    // The table to hand to a host as "LWPanelServices"; only one toolkit serves at a time.
    const MhPanelServices *services();

    // The actions the next open replays; without OK or Cancel it ends with OK.
    void setScript(std::vector<UserAction> actions) { script_ = std::move(actions); }
    // Why the last replay stopped early (an unknown control, a value that does not parse,
    // a change to a ghosted control); empty when it ran through. Such a replay cancels.
    const std::string &scriptError() const { return scriptError_; }

    // Runs every drawing-area callback; the default calls it directly. A caller with an
    // OpenGL context makes it current around `draw`.
    void setDrawRunner(std::function<void(const std::function<void()> &draw)> runner)
    {
        drawRunner_ = std::move(runner);
    }

    // Called with the panel as it stands when it opens and right before open returns.
    std::function<void(const PanelView &)> onOpened;
    std::function<void(const PanelView &)> onClosing;

    int panelsCreated() const { return created_; }
    int panelsDestroyed() const { return destroyed_; }
    int previewDraws() const { return previewDraws_; }
    // What the last open returned: 1 for OK, 0 for Cancel; -1 before any open.
    int lastOpenResult() const { return lastOpenResult_; }

    struct Panel;
    struct Control;

    // Used by the C table's trampolines.
    static HeadlessPanels *serving();
    MhPanel create(const char *title);
    MhControl *addControl(MhPanel panel, const char *kind, const MhControlDescriptor *descriptor,
                          const char *label);
    int open(MhPanel panel, int flags);
    void destroy(MhPanel panel);
    void drawArea(Control &control);

private:
    bool replay(Panel &panel);
    bool choicesStand(const std::vector<std::pair<Control *, int>> &chosen);
    PanelView view(const Panel &panel) const;

    std::vector<UserAction> script_;
    std::string scriptError_;
    std::function<void(const std::function<void()> &)> drawRunner_;
    int created_ = 0, destroyed_ = 0, previewDraws_ = 0, lastOpenResult_ = -1;
};

} // namespace tuft::toolkit
