// The options panel: its 22 controls, their handles and typed access to their values.
#pragma once

#include "plugin/blade/preview.h"
#include "plugin/entry/host.h"

namespace tuft {

// The controls in creation order.
enum ControlId {
    kPreview,
    kMode,
    kBgLayer,
    kNumber,
    kDivision,
    kSize,
    kField,
    kRoughness,
    kWeightMap,
    kRatioFixation,
    kRotation,
    kP1x,
    kP2x,
    kP2y,
    kP2z,
    kP3y,
    kP3z,
    kAddUv,
    kUName,
    kSName,
    kSave,
    kLoad,
    kControlCount
};

// The six profile sliders in panel order, matching the curve's slider numbering.
extern const ControlId kProfileSliders[6];

enum PlantingMode { kGround = 0, kPoint = 1, kPolygon = 2 };

// Text controls hold up to 31 characters and the terminating zero.
constexpr int kTextLength = 32;

// One run's panel: the handles, and what its callbacks reach (the host's services, the
// blade's shape, the stored UV map name). The handles live from the build until destroy.
struct Panel {
    Host &host;
    BladeShape &shape;
    char (&storedUvName)[kTextLength];
    MhPanel handle;
    MhControl *controls[kControlCount];
};

// Builds the panel with its controls, initial values and callbacks; false when the
// panel services give no panel. Until destroyOptionsPanel, the callbacks act on `panel`.
bool buildOptionsPanel(Panel &panel);
void destroyOptionsPanel(Panel &panel);

int getInt(const Panel &panel, ControlId id);
double getDouble(const Panel &panel, ControlId id);
// Reads a text control into a buffer of `length` bytes, always zero-terminated.
void getText(const Panel &panel, ControlId id, char *buffer, int length);
void setInt(const Panel &panel, ControlId id, int value);
void setDouble(const Panel &panel, ControlId id, double value);
void setText(const Panel &panel, ControlId id, char *text, int length);
void drawControl(const Panel &panel, ControlId id, int mode);

// Asks the panel to redraw the preview.
void redrawPreview(const Panel &panel);

// Sets the curve from the six sliders, then redraws.
void setCurveFromSliders(Panel &panel);

} // namespace tuft
