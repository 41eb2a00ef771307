// What the toolkits share behind the "LWPanelServices" table: panels and their controls,
// values and conversions, placement, draws, callbacks, and replaying a user's actions.
// A toolkit derives from it and decides how a panel opens.
#pragma once

#include "sdk/modeler_host.h"
#include "toolkit/control_model.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tuft::toolkit {

struct UserAction {
    enum class Type { kSet, kPress, kOk, kCancel };
    Type type;
    std::string control;   // a label, or "#N" for the N-th control (from 0)
    std::string value;     // as a user types it: degrees for angles, item text or index for choices
    std::string name = {}; // what the user calls the control, for messages; empty: `control`
};

// What a control shows, for callers that inspect the panel.
struct ControlView {
    std::string kind;
    std::string label;
    int x, y, width, height;
    int integer;      // choices, booleans, integer fields and the integer slider
    double number;    // float fields, percentages, angles (radians)
    std::string text; // edit fields
    int drawMode;     // the last draw: 1 normal, 2 ghosted
    std::vector<int> draws;
    bool hasCallback;

    // The value as a number or a quoted text, by the control's kind.
    std::string value() const;
};

struct PanelView {
    std::string title;
    std::vector<ControlView> controls;
    const ControlView *find(const std::string &label) const;
    // One line per control: label, kind, value as shown, drawing.
    std::string describe() const;
};

// Layout metrics shared by the toolkits, in panel units (pixels in the window).
constexpr int kCharWidth = 7;
constexpr int kRowHeight = 20;
constexpr int kRowGap = 4;
constexpr int kSliderWidth = 70;
// Width of one item of a choice: a radio button and its text.
int choiceItemWidth(const std::string &item);
// Width of a control's label part, and of the whole control.
int labelWidthOf(const ControlModel &model);
int widthOf(const ControlModel &model);

class PanelToolkit {
public:
    PanelToolkit();
    virtual ~PanelToolkit();
    PanelToolkit(const PanelToolkit &) = delete;
    PanelToolkit &operator=(const PanelToolkit &) = delete;

    // The table to hand to a host as "LWPanelServices"; one toolkit serves at a time.
    const MhPanelServices *services();

    // Runs every drawing-area callback; the default calls it directly. A caller with an
    // OpenGL context makes it current around `draw`.
    void setDrawRunner(std::function<void(const std::function<void()> &draw)> runner)
    {
        drawRunner_ = std::move(runner);
    }

    // Called with the panel as it stands when it opens and right before open returns.
    std::function<void(const PanelView &)> onOpened;
    std::function<void(const PanelView &)> onClosing;
    // Asked while actions are replayed, after each action and before OK (with the panel
    // as it stands then): an answer that is not empty stops the replay there, as Cancel
    // would, and becomes the replay's error.
    std::function<std::string(const UserAction &)> afterAction;
    std::function<std::string(const PanelView &)> beforeOk;

    int panelsCreated() const { return created_; }
    int panelsDestroyed() const { return destroyed_; }
    int previewDraws() const { return previewDraws_; }
    // What the last open returned: 1 for OK, 0 for Cancel; -1 before any open.
    int lastOpenResult() const { return lastOpenResult_; }

    struct Panel;
    struct Control;

    // Reached from the C table.
    static PanelToolkit *serving();
    MhPanel create(const char *title);
    MhControl *addControl(MhPanel panel, const char *kind, const MhControlDescriptor *descriptor, const char *label);
    int open(MhPanel panel, int flags);
    void destroy(MhPanel panel);
    void drawArea(Control &control);
    void controlChanged(Control &control);
    void controlDrawn(Control &control, int mode);

protected:
    // Shows the panel and returns 1 for OK, 0 for Cancel.
    virtual int run(Panel &panel) = 0;
    // A control's value or drawing changed from the plug-in's side.
    virtual void valueSet(Control &) {}
    virtual void drawSet(Control &, int) {}
    // Draws an area now; the default runs the callback through the draw runner.
    virtual void paintArea(Control &control);

    // Replays actions as a user's changes, firing callbacks. Stops at OK (true), Cancel
    // (false) or the end (true). Sets error when an action cannot be carried out, and
    // when a choice the actions made was turned back by the panel.
    bool replay(Panel &panel, const std::vector<UserAction> &actions, std::string &error);
    // Fires a control's callback as a user's change would.
    void userChanged(Control &control);

    PanelView view(const Panel &panel) const;
    std::function<void(const std::function<void()> &)> drawRunner_;

private:
    int created_ = 0, destroyed_ = 0, previewDraws_ = 0, lastOpenResult_ = -1;
};

struct PanelToolkit::Control {
    MhControl table; // first: the handle the plug-in holds
    Panel *panel;
    ControlModel model;
    int x = 0, y = 0, width = 0, height = kRowHeight;
    std::vector<int> draws;
    MhControlCallback callback = nullptr;
    void *userData = nullptr;
    void *widget = nullptr; // the window toolkit's widget while the panel is shown

    int drawMode() const { return draws.empty() ? MH_DRAW_NORMAL : draws.back(); }
    static Control &of(MhControl *control) { return *reinterpret_cast<Control *>(control); }
};

struct PanelToolkit::Panel {
    PanelToolkit *owner;
    std::string title;
    std::vector<std::unique_ptr<Control>> controls;
    bool open = false;

    Control *find(const std::string &name);
};

} // namespace tuft::toolkit
