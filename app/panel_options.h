// The command line's names for the panel's controls, declared once: the options that set
// a control, and the names of the three profile sliders that have no label.
#pragma once

#include <cstddef>
#include <string>

namespace tuft::app {

struct PanelOption {
    enum class Value { kInteger, kNumber, kSwitch, kMode };
    const char *flag;
    const char *control; // the control's label, as --set takes it
    Value value;
    double minimum, maximum; // checked when minimum < maximum
    const char *help;
};

extern const PanelOption kPanelOptions[];
extern const std::size_t kPanelOptionCount;

// The option of that flag ("--number"), or null.
const PanelOption *findPanelOption(const std::string &flag);

// The toolkit's address of a control named as a user names it: labels stand as they are;
// the unlabeled profile sliders P2(y), P2(z) and P3(z) go by their place on the panel.
std::string controlAddress(const std::string &name);
// The user's name for a toolkit address ("#16" is "P3(z)"), for messages.
std::string controlName(const std::string &address);

// The Mode item a --mode word chooses: " Ground", " Point " or "Polygon".
std::string modeItem(const std::string &word);

} // namespace tuft::app
