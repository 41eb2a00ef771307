#include "toolkit/headless.h"

namespace tuft::toolkit {

int HeadlessPanels::run(Panel &panel)
{
    scriptError_.clear();
    for (auto &control : panel.controls)
        if (control->model.kind == Kind::kArea)
            drawArea(*control);
    if (onOpened)
        onOpened(view(panel));
    const bool ok = replay(panel, script_, scriptError_);
    if (onClosing)
        onClosing(view(panel));
    return ok ? 1 : 0;
}

} // namespace tuft::toolkit
