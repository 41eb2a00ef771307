// A panel toolkit with a real window (FLTK): every control kind as a widget, the drawing
// area as an OpenGL window with a legacy context, ghosted controls drawn disabled, and a
// modal open with OK and Cancel.
#pragma once

#include "toolkit/panel_toolkit.h"

#include <functional>
#include <utility>

namespace tuft::toolkit {

class WindowPanels final : public PanelToolkit {
public:
    // Changes applied, as a user's, when a panel opens and before it is shown: the
    // initial values a front end asks for. Errors end the open with Cancel.
    void setInitialActions(std::vector<UserAction> actions) { initial_ = std::move(actions); }
    const std::string &actionError() const { return actionError_; }
    // Where a panel of that size is put on the screen when it opens; unset: where the
    // window system puts it.
    std::function<std::pair<int, int>(int width, int height)> placePanel;
    // A widget changed by the person at the window.
    void controlChangedByUser(Control &control);

protected:
    int run(Panel &panel) override;
    void valueSet(Control &control) override;
    void drawSet(Control &control, int mode) override;
    void paintArea(Control &control) override;

private:
    std::vector<UserAction> initial_;
    std::string actionError_;
};

// Whether a window can be shown (an X display can be opened); `why` says why not.
bool displayAvailable(std::string &why);

} // namespace tuft::toolkit
