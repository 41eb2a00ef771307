// The options panel, declared once as a table and built by walking it.
#include "plugin/panel/controls.h"

#include "plugin/panel/events.h"

#include <cstring>

namespace tuft {

const ControlId kProfileSliders[6] = {kP1x, kP2x, kP2y, kP2z, kP3y, kP3z};

namespace {

// The panel the callbacks act on. The toolkit calls them with a user data of 0, the
// documented value, so they find their panel here; it is set from build to destroy,
// which all happens within one activation.
Panel *g_panelInUse;

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

const char *const kModeItems[] = {" Ground", " Point ", "Polygon", nullptr};

// Every control in creation order. A slider's descriptor is (width, minimum, maximum).
const ControlRow kPanel[kControlCount] = {
    {"", "OpenGLControl", MH_DESC_AREA, 500, 250, 0, kAsPlaced, kPreview, 0, 0, kPreview},
    {"Mode", "ChoiceControl", MH_DESC_CHOICE, 0, 0, 0, kAsPlaced, kPreview, 0, 0, kPreview},
    {"BGLayer Object", "BoolControl", MH_DESC_BOOL, 0, 0, 0, kBesideAnchor, kMode, 1, 200, kMode},
    {"Number", "NumControl", MH_DESC_PLAIN, 0, 0, 0, kRightEdgeAt200, kPreview, 0, 0, kPreview},
    {"Division", "MiniSliderControl", MH_DESC_RANGE, 10, 1, 8, kRightEdgeAt219, kPreview, 0, 0, kPreview},
    {"Size", "FloatControl", MH_DESC_FLOAT, 0, 0, 0, kRightEdgeAt200, kPreview, 0, 0, kPreview},
    {"Field", "FloatControl", MH_DESC_FLOAT, 0, 0, 0, kRightEdgeAt200, kPreview, 0, 0, kPreview},
    {"Roughness(random)", "PercentControl", MH_DESC_RANGE, 10, 0, 100, kRightEdgeAt219, kPreview, 0, 0, kPreview},
    {"(WeightMap)", "BoolControl", MH_DESC_BOOL, 0, 0, 0, kBesideAnchor, kRoughness, 1, 200, kRoughness},
    {"Ratio fixation", "BoolControl", MH_DESC_BOOL, 0, 0, 0, kBesideAnchor, kWeightMap, 1, 100, kWeightMap},
    {"Rotation(random)", "AngleControl", MH_DESC_RANGE, 10, 0, 360, kRightEdgeAt219, kPreview, 0, 0, kPreview},
    {"P1(x)", "PercentControl", MH_DESC_RANGE, 10, 0, 100, kRightEdgeAt219, kPreview, 0, 0, kPreview},
    {"P2(x)", "PercentControl", MH_DESC_RANGE, 10, 0, 100, kRightEdgeAt219, kPreview, 0, 0, kPreview},
    {"", "PercentControl", MH_DESC_RANGE, 10, 0, 100, kBesideAnchor, kP2x, 2, 15, kP2x},
    {"", "PercentControl", MH_DESC_RANGE, 10, 0, 100, kBesideAnchor, kP2x, 3, 3, kP2x},
    {"P3(y)", "PercentControl", MH_DESC_RANGE, 10, 0, 100, kRightEdgeAt219, kPreview, 0, 0, kPreview},
    {"", "PercentControl", MH_DESC_RANGE, 10, 0, 100, kBesideAnchor, kP3y, 2, 15, kP3y},
    {"Add_UV", "BoolControl", MH_DESC_BOOL, 0, 0, 0, kAsPlaced, kPreview, 0, 0, kPreview},
    {"U_NAME", "EditControl", MH_DESC_EDIT, kTextLength, 0, 0, kAsPlaced, kPreview, 0, 0, kPreview},
    {"S_NAME", "EditControl", MH_DESC_EDIT, kTextLength, 0, 0, kUnderAnchor, kUName, 0, 0, kUName},
    {"Save", "ButtonControl", MH_DESC_PLAIN, 0, 0, 0, kButtonColumn, kNumber, 1, 200, kNumber},
    {"Load", "ButtonControl", MH_DESC_PLAIN, 0, 0, 0, kButtonColumn, kNumber, 1, 200, kDivision},
};

// The C callbacks the toolkit calls: each hands the panel in use to its event.
void onPreviewDraw(MhControl *, void *) { drawPreview(g_panelInUse->shape); }
void onMode(MhControl *, void *) { modeChanged(*g_panelInUse); }
void onBgLayer(MhControl *, void *) { bgLayerChanged(*g_panelInUse); }
void onSave(MhControl *, void *) { savePressed(*g_panelInUse); }
void onLoad(MhControl *, void *) { loadPressed(*g_panelInUse); }
void onDivision(MhControl *, void *) { divisionChanged(*g_panelInUse); }
void onWeightMap(MhControl *, void *) { weightMapChanged(*g_panelInUse); }
void onAddUv(MhControl *, void *) { addUvChanged(*g_panelInUse); }
void onProfileSlider(MhControl *control, void *) { profileSliderChanged(*g_panelInUse, control); }

struct CallbackSpec {
    ControlId control;
    MhControlCallback callback;
};

// Attached in this order, after the initial values are set.
const CallbackSpec kCallbacks[] = {
    {kPreview, onPreviewDraw}, {kMode, onMode},         {kBgLayer, onBgLayer},     {kSave, onSave},
    {kLoad, onLoad},           {kDivision, onDivision}, {kWeightMap, onWeightMap}, {kP1x, onProfileSlider},
    {kP2x, onProfileSlider},   {kP2y, onProfileSlider}, {kP2z, onProfileSlider},   {kP3y, onProfileSlider},
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

int getAttribute(const Panel &panel, ControlId id, int attribute)
{
    MhValue v = intValue(0);
    panel.controls[id]->get(panel.controls[id], attribute, &v);
    return v.v.integer;
}

void setAttribute(const Panel &panel, ControlId id, int attribute, int value)
{
    const MhValue v = intValue(value);
    panel.controls[id]->set(panel.controls[id], attribute, &v);
}

MhControlDescriptor descriptorOf(const ControlRow &row)
{
    MhControlDescriptor descriptor;
    std::memset(&descriptor, 0, sizeof descriptor);
    descriptor.type = row.descriptorType;
    if (row.descriptorType == MH_DESC_CHOICE) {
        descriptor.d.choice.items = kModeItems;
        descriptor.d.choice.orientation = 0;
    } else {
        descriptor.d.ints.a = row.a;
        descriptor.d.ints.b = row.b;
        descriptor.d.ints.c = row.c;
    }
    return descriptor;
}

void place(const Panel &panel, ControlId id, const ControlRow &row)
{
    switch (row.placement) {
    case kAsPlaced:
        break;
    case kRightEdgeAt200:
        setAttribute(panel, id, MH_ATTR_X, 200 - getAttribute(panel, id, MH_ATTR_WIDTH));
        break;
    case kRightEdgeAt219:
        setAttribute(panel, id, MH_ATTR_X, 219 - getAttribute(panel, id, MH_ATTR_WIDTH));
        break;
    case kBesideAnchor:
        setAttribute(panel, id, MH_ATTR_X, getAttribute(panel, row.anchor, MH_ATTR_X) * row.factor + row.offset);
        setAttribute(panel, id, MH_ATTR_Y, getAttribute(panel, row.rowAnchor, MH_ATTR_Y));
        break;
    case kUnderAnchor:
        setAttribute(panel, id, MH_ATTR_X, getAttribute(panel, row.anchor, MH_ATTR_X));
        break;
    case kButtonColumn:
        setAttribute(panel, id, MH_ATTR_X, getAttribute(panel, row.anchor, MH_ATTR_X) + row.offset);
        setAttribute(panel, id, MH_ATTR_Y, getAttribute(panel, row.rowAnchor, MH_ATTR_Y));
        break;
    }
}

// False when the panel services refuse a control; the panel is then unusable.
bool addControls(Panel &panel)
{
    for (int i = 0; i < kControlCount; ++i) {
        const ControlRow &row = kPanel[i];
        const MhControlDescriptor descriptor = descriptorOf(row);
        panel.controls[i] = panel.host.panels->addControl(panel.handle, row.kind, &descriptor, row.label);
        if (panel.controls[i] == nullptr)
            return false;
        place(panel, static_cast<ControlId>(i), row);
    }
    return true;
}

void setInitialValues(Panel &panel)
{
    setInt(panel, kNumber, 100);
    setInt(panel, kDivision, panel.shape.division);
    setDouble(panel, kSize, 0.4);
    setDouble(panel, kField, 1.0);
    setDouble(panel, kRoughness, 0.0);
    setDouble(panel, kRotation, 0.0);
    setText(panel, kUName, panel.storedUvName, kTextLength);
}

void setSlidersFromCurve(const Panel &panel)
{
    for (int slider = 0; slider < kSliderCount; ++slider)
        setDouble(panel, kProfileSliders[slider],
                  coordinateToSlider(slider, panel.shape.curve[kSliderCoordinate[slider]]));
}

void attachCallbacks(const Panel &panel)
{
    for (const CallbackSpec &entry : kCallbacks) {
        MhControl *control = panel.controls[entry.control];
        const MhValue userData = pointerValue(nullptr);
        control->set(control, MH_ATTR_USER_DATA, &userData);
        const MhValue callback = pointerValue(reinterpret_cast<void *>(entry.callback));
        control->set(control, MH_ATTR_CALLBACK, &callback);
    }
}

} // namespace

bool buildOptionsPanel(Panel &panel)
{
    panel.handle = panel.host.panels->create("ZEL_Tuftsprout", nullptr);
    if (panel.handle == nullptr)
        return false;
    g_panelInUse = &panel;
    if (!addControls(panel)) {
        // Every later step assumes all controls exist: give the panel back instead.
        destroyOptionsPanel(panel);
        return false;
    }
    setInitialValues(panel);
    drawControl(panel, kUName, MH_DRAW_GHOSTED);
    drawControl(panel, kWeightMap, MH_DRAW_GHOSTED);
    setSlidersFromCurve(panel);
    attachCallbacks(panel);
    return true;
}

void destroyOptionsPanel(Panel &panel)
{
    panel.host.panels->destroy(panel.handle);
    panel.handle = nullptr;
    std::memset(panel.controls, 0, sizeof panel.controls);
    g_panelInUse = nullptr;
}

int getInt(const Panel &panel, ControlId id)
{
    MhValue v = intValue(0);
    panel.controls[id]->get(panel.controls[id], MH_ATTR_VALUE, &v);
    return v.v.integer;
}

double getDouble(const Panel &panel, ControlId id)
{
    MhValue v;
    std::memset(&v, 0, sizeof v);
    v.type = MH_VAL_DOUBLE;
    panel.controls[id]->get(panel.controls[id], MH_ATTR_VALUE, &v);
    return v.v.number;
}

void getText(const Panel &panel, ControlId id, char *buffer, int length)
{
    MhValue v;
    std::memset(&v, 0, sizeof v);
    v.type = MH_VAL_TEXT;
    v.v.text.buffer = buffer;
    v.v.text.length = length;
    panel.controls[id]->get(panel.controls[id], MH_ATTR_VALUE, &v);
    buffer[length - 1] = '\0';
}

void setInt(const Panel &panel, ControlId id, int value)
{
    const MhValue v = intValue(value);
    panel.controls[id]->set(panel.controls[id], MH_ATTR_VALUE, &v);
}

void setDouble(const Panel &panel, ControlId id, double value)
{
    MhValue v;
    std::memset(&v, 0, sizeof v);
    v.type = MH_VAL_DOUBLE;
    v.v.number = value;
    panel.controls[id]->set(panel.controls[id], MH_ATTR_VALUE, &v);
}

void setText(const Panel &panel, ControlId id, char *text, int length)
{
    MhValue v;
    std::memset(&v, 0, sizeof v);
    v.type = MH_VAL_TEXT;
    v.v.text.buffer = text;
    v.v.text.length = length;
    panel.controls[id]->set(panel.controls[id], MH_ATTR_VALUE, &v);
}

void drawControl(const Panel &panel, ControlId id, int mode) { panel.controls[id]->draw(panel.controls[id], mode); }

void redrawPreview(const Panel &panel) { drawControl(panel, kPreview, MH_DRAW_NORMAL); }

void setCurveFromSliders(Panel &panel)
{
    for (int slider = 0; slider < kSliderCount; ++slider)
        panel.shape.curve[kSliderCoordinate[slider]] =
            sliderToCoordinate(slider, getDouble(panel, kProfileSliders[slider]));
    redrawPreview(panel);
}

} // namespace tuft
