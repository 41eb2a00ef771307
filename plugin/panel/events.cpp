#include "plugin/panel/events.h"

#include "plugin/panel/preset.h"

#include <cstring>

namespace tuft {

namespace {

void drawAll(const Panel &panel, const ControlId *ids, int count, int mode)
{
    for (int i = 0; i < count; ++i)
        drawControl(panel, ids[i], mode);
}

// Back to Ground after a mode the host's selection does not allow.
void refuseMode(const Panel &panel, const char *reason)
{
    showInfo(panel.host, "It can't be carried out.", reason);
    drawControl(panel, kNumber, MH_DRAW_NORMAL);
    drawControl(panel, kField, MH_DRAW_NORMAL);
    drawControl(panel, kWeightMap, MH_DRAW_GHOSTED);
    drawControl(panel, kRoughness, MH_DRAW_NORMAL);
    setInt(panel, kMode, kGround);
}

bool sceneHasZtswWeightMap(const Host &host)
{
    const MhSceneObjects *scene = host.sceneObjects;
    const int count = scene->mapCount(MH_MAP_WEIGHT);
    for (int i = 0; i < count; ++i) {
        const char *name = scene->mapName(MH_MAP_WEIGHT, i);
        if (name != nullptr && std::strncmp(name, "ZTSW", 4) == 0)
            return true;
    }
    return false;
}

} // namespace

void modeChanged(Panel &panel)
{
    const int weightMap = getInt(panel, kWeightMap);
    const int mode = getInt(panel, kMode);
    const int selection = hostSelectionMode(panel.host);
    if (mode == kGround) {
        drawControl(panel, kWeightMap, MH_DRAW_GHOSTED);
        drawControl(panel, kNumber, MH_DRAW_NORMAL);
        drawControl(panel, kRoughness, MH_DRAW_NORMAL);
        drawControl(panel, kField, MH_DRAW_NORMAL);
    } else if (mode == kPoint) {
        if (selection != 0) {
            refuseMode(panel, "Please, the Point select");
            return;
        }
        drawControl(panel, kNumber, MH_DRAW_GHOSTED);
        drawControl(panel, kField, MH_DRAW_GHOSTED);
        drawControl(panel, kWeightMap, MH_DRAW_NORMAL);
        drawControl(panel, kRoughness, weightMap == 1 ? MH_DRAW_GHOSTED : MH_DRAW_NORMAL);
    } else if (mode == kPolygon) {
        if (selection != 1) {
            refuseMode(panel, "Please, the Polygon select");
            return;
        }
        drawControl(panel, kNumber, MH_DRAW_GHOSTED);
        drawControl(panel, kField, MH_DRAW_GHOSTED);
        drawControl(panel, kWeightMap, MH_DRAW_GHOSTED);
    }
}

void bgLayerChanged(Panel &panel)
{
    static const ControlId kBladeControls[] = {kDivision, kSize, kP1x,   kP2x,   kP2y,  kP2z,
                                               kP3y,      kP3z,  kAddUv, kUName, kSName};
    const int mode = getInt(panel, kBgLayer) == 0 ? MH_DRAW_NORMAL : MH_DRAW_GHOSTED;
    drawAll(panel, kBladeControls, sizeof kBladeControls / sizeof kBladeControls[0], mode);
}

void savePressed(Panel &panel)
{
    savePreset(panel);
    redrawPreview(panel);
}

void loadPressed(Panel &panel)
{
    loadPreset(panel);
    storeDivision(panel.shape, getInt(panel, kDivision));
    setCurveFromSliders(panel);
}

void divisionChanged(Panel &panel)
{
    storeDivision(panel.shape, getInt(panel, kDivision));
    redrawPreview(panel);
}

void weightMapChanged(Panel &panel)
{
    if (getInt(panel, kWeightMap) != 1) {
        drawControl(panel, kRoughness, MH_DRAW_NORMAL);
        return;
    }
    if (sceneHasZtswWeightMap(panel.host)) {
        drawControl(panel, kRoughness, MH_DRAW_GHOSTED);
        return;
    }
    showWarning(panel.host, "ERORR", "Add VMAP of the name of 'ZTSW'");
    setInt(panel, kWeightMap, 0);
    drawControl(panel, kRoughness, MH_DRAW_NORMAL);
}

void addUvChanged(Panel &panel)
{
    drawControl(panel, kUName, getInt(panel, kAddUv) == 1 ? MH_DRAW_NORMAL : MH_DRAW_GHOSTED);
}

void profileSliderChanged(Panel &panel, MhControl *slider)
{
    for (int i = 0; i < kSliderCount; ++i) {
        if (panel.controls[kProfileSliders[i]] != slider)
            continue;
        panel.shape.curve[kSliderCoordinate[i]] = sliderToCoordinate(i, getDouble(panel, kProfileSliders[i]));
        redrawPreview(panel);
        return;
    }
}

} // namespace tuft
