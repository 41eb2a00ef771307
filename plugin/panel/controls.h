// The options panel: its 22 controls, their handles and typed access to their values.
#pragma once

#include "modeler_host.h"

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

// The UV map name offered in "U_NAME"; outlives the panel.
extern char g_storedUvName[kTextLength];

// Builds the panel with its controls, initial values and callbacks; null when the panel
// services give no panel. The handles stay valid until destroyOptionsPanel.
MhPanel buildOptionsPanel();
void destroyOptionsPanel(MhPanel panel);

int getInt(ControlId id);
double getDouble(ControlId id);
// Reads a text control into a buffer of `length` bytes, always zero-terminated.
void getText(ControlId id, char *buffer, int length);
void setInt(ControlId id, int value);
void setDouble(ControlId id, double value);
void setText(ControlId id, char *text, int length);
void drawControl(ControlId id, int mode);

// Asks the panel to redraw the preview.
void redrawPreview();

// Event callbacks registered by the build.
void onMode(MhControl *, void *);
void onBgLayer(MhControl *, void *);
void onSave(MhControl *, void *);
void onLoad(MhControl *, void *);
void onDivision(MhControl *, void *);
void onWeightMap(MhControl *, void *);
void onAddUv(MhControl *, void *);
void onProfileSlider(MhControl *, void *);
void onPreviewDraw(MhControl *, void *);

// Sets the six sliders from the curve, and the curve from the six sliders (then redraws).
void setSlidersFromCurve();
void setCurveFromSliders();

} // namespace tuft
