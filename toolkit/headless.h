// A panel toolkit without a window: controls hold values, draws are recorded, and a
// modal open replays the user's actions (set a control, press a button, OK or Cancel).
#pragma once

#include "toolkit/panel_toolkit.h"

namespace tuft::toolkit {

class HeadlessPanels final : public PanelToolkit {
public:
    // The actions the next open replays; without OK or Cancel it ends with OK.
    void setScript(std::vector<UserAction> actions) { script_ = std::move(actions); }
    // Why the last replay stopped early (an unknown control, a value that does not parse,
    // a change to a ghosted control, a choice the panel turned back); empty when it ran
    // through. Such a replay cancels.
    const std::string &scriptError() const { return scriptError_; }

protected:
    int run(Panel &panel) override;

private:
    std::vector<UserAction> script_;
    std::string scriptError_;
};

} // namespace tuft::toolkit
