// The options panel, declared once as a table and built by walking it.
#include "panel/controls.h"

#include "blade/curve.h"
#include "blade/tables.h"
#include "entry/services.h"

#include <cstring>

namespace tuft {

char g_storedUvName[kTextLength] = "UV_Name";

const ControlId kProfileSliders[6] = {kP1x, kP2x, kP2y, kP2z, kP3y, kP3z};

namespace {

MhPanel g_panel;
MhControl *g_controls[kControlCount];

enum Placement {
    kAsPlaced,
    kRightEdgeAt200, // x = 200 - own width
    kRightEdgeAt219, // x = 219 - own width
    kBesideAnchor,   // x = x(anchor) * factor + offset, y = y(anchor)
    kUnderAnchor,    // x = x(anchor)
    kButtonColumn,   // x = x(anchor) + 200, y = y(rowAnchor)
};

struct ControlRow {
    const char *label;
    const char *kind;
    int descriptorType;
    int a, b, c; // descriptor integers: width / minimum / maximum, as the kind reads them
    Placement placement;
    ControlId anchor;
    int factor;
    int offset;
    ControlId rowAnchor;
};

constexpr int kChoiceDescriptor = 9;

const char *const kModeItems[] = {" Ground", " Point ", "Polygon", nullptr};

// Every control in creation order. A slider's descriptor is (width, minimum, maximum).
const ControlRow kPanel[kControlCount] = {
    {"", "OpenGLControl", 19, 500, 250, 0, kAsPlaced, kPreview, 0, 0, kPreview},
    {"Mode", "ChoiceControl", 9, 0, 0, 0, kAsPlaced, kPreview, 0, 0, kPreview},
    {"BGLayer Object", "BoolControl", 8, 0, 0, 0, kBesideAnchor, kMode, 1, 200, kMode},
    {"Number", "NumControl", 2, 0, 0, 0, kRightEdgeAt200, kPreview, 0, 0, kPreview},
    {"Division", "MiniSliderControl", 15, 10, 1, 8, kRightEdgeAt219, kPreview, 0, 0, kPreview},
    {"Size", "FloatControl", 4, 0, 0, 0, kRightEdgeAt200, kPreview, 0, 0, kPreview},
    {"Field", "FloatControl", 4, 0, 0, 0, kRightEdgeAt200, kPreview, 0, 0, kPreview},
    {"Roughness(random)", "PercentControl", 15, 10, 0, 100, kRightEdgeAt219, kPreview, 0, 0, kPreview},
    {"(WeightMap)", "BoolControl", 8, 0, 0, 0, kBesideAnchor, kRoughness, 1, 200, kRoughness},
    {"Ratio fixation", "BoolControl", 8, 0, 0, 0, kBesideAnchor, kWeightMap, 1, 100, kWeightMap},
    {"Rotation(random)", "AngleControl", 15, 10, 0, 360, kRightEdgeAt219, kPreview, 0, 0, kPreview},
    {"P1(x)", "PercentControl", 15, 10, 0, 100, kRightEdgeAt219, kPreview, 0, 0, kPreview},
    {"P2(x)", "PercentControl", 15, 10, 0, 100, kRightEdgeAt219, kPreview, 0, 0, kPreview},
    {"", "PercentControl", 15, 10, 0, 100, kBesideAnchor, kP2x, 2, 15, kP2x},
    {"", "PercentControl", 15, 10, 0, 100, kBesideAnchor, kP2x, 3, 3, kP2x},
    {"P3(y)", "PercentControl", 15, 10, 0, 100, kRightEdgeAt219, kPreview, 0, 0, kPreview},
    {"", "PercentControl", 15, 10, 0, 100, kBesideAnchor, kP3y, 2, 15, kP3y},
    {"Add_UV", "BoolControl", 8, 0, 0, 0, kAsPlaced, kPreview, 0, 0, kPreview},
    {"U_NAME", "EditControl", 1, kTextLength, 0, 0, kAsPlaced, kPreview, 0, 0, kPreview},
    {"S_NAME", "EditControl", 1, kTextLength, 0, 0, kUnderAnchor, kUName, 0, 0, kUName},
    {"Save", "ButtonControl", 2, 0, 0, 0, kButtonColumn, kNumber, 1, 200, kNumber},
    {"Load", "ButtonControl", 2, 0, 0, 0, kButtonColumn, kNumber, 1, 200, kDivision},
};

struct CallbackSpec {
    ControlId control;
    MhControlCallback callback;
};

// Attached in this order, after the initial values are set.
const CallbackSpec kCallbacks[] = {
    {kPreview, onPreviewDraw}, {kMode, onMode},          {kBgLayer, onBgLayer},
    {kSave, onSave},           {kLoad, onLoad},          {kDivision, onDivision},
    {kWeightMap, onWeightMap}, {kP1x, onProfileSlider},  {kP2x, onProfileSlider},
    {kP2y, onProfileSlider},   {kP2z, onProfileSlider},  {kP3y, onProfileSlider},
    {kP3z, onProfileSlider},   {kAddUv, onAddUv},
};

MhValue intValue(int value)
{
    MhValue v;
    std::memset(&v, 0, sizeof v);
    v.type = MH_VAL_INT;
    v.v.integer = value;
    return v;
}

MhValue pointerValue(void *pointer)
{
    MhValue v;
    std::memset(&v, 0, sizeof v);
    v.type = MH_VAL_POINTER;
    v.v.pointer = pointer;
    return v;
}

int getAttribute(ControlId id, int attribute)
{
    MhValue v = intValue(0);
    g_controls[id]->get(g_controls[id], attribute, &v);
    return v.v.integer;
}

void setAttribute(ControlId id, int attribute, int value)
{
    const MhValue v = intValue(value);
    g_controls[id]->set(g_controls[id], attribute, &v);
}

MhControlDescriptor descriptorOf(const ControlRow &row)
{
    MhControlDescriptor descriptor;
    std::memset(&descriptor, 0, sizeof descriptor);
    descriptor.type = row.descriptorType;
    if (row.descriptorType == kChoiceDescriptor) {
        descriptor.d.choice.items = kModeItems;
        descriptor.d.choice.orientation = 0;
    } else {
        descriptor.d.ints.a = row.a;
        descriptor.d.ints.b = row.b;
        descriptor.d.ints.c = row.c;
    }
    return descriptor;
}

void place(ControlId id, const ControlRow &row)
{
    switch (row.placement) {
    case kAsPlaced:
        break;
    case kRightEdgeAt200:
        setAttribute(id, MH_ATTR_X, 200 - getAttribute(id, MH_ATTR_WIDTH));
        break;
    case kRightEdgeAt219:
        setAttribute(id, MH_ATTR_X, 219 - getAttribute(id, MH_ATTR_WIDTH));
        break;
    case kBesideAnchor:
        setAttribute(id, MH_ATTR_X, getAttribute(row.anchor, MH_ATTR_X) * row.factor + row.offset);
        setAttribute(id, MH_ATTR_Y, getAttribute(row.rowAnchor, MH_ATTR_Y));
        break;
    case kUnderAnchor:
        setAttribute(id, MH_ATTR_X, getAttribute(row.anchor, MH_ATTR_X));
        break;
    case kButtonColumn:
        setAttribute(id, MH_ATTR_X, getAttribute(row.anchor, MH_ATTR_X) + row.offset);
        setAttribute(id, MH_ATTR_Y, getAttribute(row.rowAnchor, MH_ATTR_Y));
        break;
    }
}

// False when the panel services refuse a control; the panel is then unusable.
bool addControls()
{
    for (int i = 0; i < kControlCount; ++i) {
        const ControlRow &row = kPanel[i];
        const MhControlDescriptor descriptor = descriptorOf(row);
        g_controls[i] = g_host.panels->addControl(g_panel, row.kind, &descriptor, row.label);
        if (g_controls[i] == nullptr)
            return false;
        place(static_cast<ControlId>(i), row);
    }
    return true;
}

void setInitialValues()
{
    setInt(kNumber, 100);
    setInt(kDivision, g_storedDivision);
    setDouble(kSize, 0.4);
    setDouble(kField, 1.0);
    setDouble(kRoughness, 0.0);
    setDouble(kRotation, 0.0);
    setText(kUName, g_storedUvName, kTextLength);
}

void attachCallbacks()
{
    for (const CallbackSpec &entry : kCallbacks) {
        MhControl *control = g_controls[entry.control];
        const MhValue userData = pointerValue(nullptr);
        control->set(control, MH_ATTR_USER_DATA, &userData);
        const MhValue callback = pointerValue(reinterpret_cast<void *>(entry.callback));
        control->set(control, MH_ATTR_CALLBACK, &callback);
    }
}

} // namespace

MhPanel buildOptionsPanel()
{
    g_panel = g_host.panels->create("ZEL_Tuftsprout", nullptr);
    if (g_panel == nullptr)
        return nullptr;
    if (!addControls()) {
        // Every later step assumes all controls exist: give the panel back instead.
        destroyOptionsPanel(g_panel);
        return nullptr;
    }
    setInitialValues();
    drawControl(kUName, MH_DRAW_GHOSTED);
    drawControl(kWeightMap, MH_DRAW_GHOSTED);
    setSlidersFromCurve();
    attachCallbacks();
    return g_panel;
}

void destroyOptionsPanel(MhPanel panel)
{
    g_host.panels->destroy(panel);
    g_panel = nullptr;
    std::memset(g_controls, 0, sizeof g_controls);
}

int getInt(ControlId id)
{
    MhValue v = intValue(0);
    g_controls[id]->get(g_controls[id], MH_ATTR_VALUE, &v);
    return v.v.integer;
}

double getDouble(ControlId id)
{
    MhValue v;
    std::memset(&v, 0, sizeof v);
    v.type = MH_VAL_DOUBLE;
    g_controls[id]->get(g_controls[id], MH_ATTR_VALUE, &v);
    return v.v.number;
}

void getText(ControlId id, char *buffer, int length)
{
    MhValue v;
    std::memset(&v, 0, sizeof v);
    v.type = MH_VAL_TEXT;
    v.v.text.buffer = buffer;
    v.v.text.length = length;
    g_controls[id]->get(g_controls[id], MH_ATTR_VALUE, &v);
    buffer[length - 1] = '\0';
}

void setInt(ControlId id, int value)
{
    const MhValue v = intValue(value);
    g_controls[id]->set(g_controls[id], MH_ATTR_VALUE, &v);
}

void setDouble(ControlId id, double value)
{
    MhValue v;
    std::memset(&v, 0, sizeof v);
    v.type = MH_VAL_DOUBLE;
    v.v.number = value;
    g_controls[id]->set(g_controls[id], MH_ATTR_VALUE, &v);
}

void setText(ControlId id, char *text, int length)
{
    MhValue v;
    std::memset(&v, 0, sizeof v);
    v.type = MH_VAL_TEXT;
    v.v.text.buffer = text;
    v.v.text.length = length;
    g_controls[id]->set(g_controls[id], MH_ATTR_VALUE, &v);
}

void drawControl(ControlId id, int mode) { g_controls[id]->draw(g_controls[id], mode); }

void redrawPreview() { drawControl(kPreview, MH_DRAW_NORMAL); }

void setSlidersFromCurve()
{
    for (int slider = 0; slider < kSliderCount; ++slider)
        setDouble(kProfileSliders[slider], coordinateToSlider(slider, g_curve[kSliderCoordinate[slider]]));
}

void setCurveFromSliders()
{
    for (int slider = 0; slider < kSliderCount; ++slider)
        g_curve[kSliderCoordinate[slider]] = sliderToCoordinate(slider, getDouble(kProfileSliders[slider]));
    redrawPreview();
}

void onProfileSlider(MhControl *control, void *)
{
    for (int slider = 0; slider < kSliderCount; ++slider) {
        if (g_controls[kProfileSliders[slider]] != control)
            continue;
        g_curve[kSliderCoordinate[slider]] = sliderToCoordinate(slider, getDouble(kProfileSliders[slider]));
        redrawPreview();
        return;
    }
}

void onPreviewDraw(MhControl *, void *) { drawPreview(); }

} // namespace tuft
