// Control events: keep the panel consistent with the chosen options and the host.
#include "blade/tables.h"
#include "entry/services.h"
#include "panel/controls.h"
#include "panel/preset.h"

#include <cstring>

namespace tuft {

namespace {

void drawAll(const ControlId *ids, int count, int mode)
{
    for (int i = 0; i < count; ++i)
        drawControl(ids[i], mode);
}

// Back to Ground after a mode the host's selection does not allow.
void refuseMode(const char *reason)
{
    showInfo("It can't be carried out.", reason);
    drawControl(kNumber, MH_DRAW_NORMAL);
    drawControl(kField, MH_DRAW_NORMAL);
    drawControl(kWeightMap, MH_DRAW_GHOSTED);
    drawControl(kRoughness, MH_DRAW_NORMAL);
    setInt(kMode, kGround);
}

bool sceneHasZtswWeightMap()
{
    const MhSceneObjects *scene = g_host.sceneObjects;
    const int count = scene->mapCount(MH_MAP_WEIGHT);
    for (int i = 0; i < count; ++i) {
        const char *name = scene->mapName(MH_MAP_WEIGHT, i);
        if (name != nullptr && std::strncmp(name, "ZTSW", 4) == 0)
            return true;
    }
    return false;
}

} // namespace

void onMode(MhControl *, void *)
{
    const int weightMap = getInt(kWeightMap);
    const int mode = getInt(kMode);
    const int selection = hostSelectionMode();
    if (mode == kGround) {
        drawControl(kWeightMap, MH_DRAW_GHOSTED);
        drawControl(kNumber, MH_DRAW_NORMAL);
        drawControl(kRoughness, MH_DRAW_NORMAL);
        drawControl(kField, MH_DRAW_NORMAL);
    } else if (mode == kPoint) {
        if (selection != 0) {
            refuseMode("Please, the Point select");
            return;
        }
        drawControl(kNumber, MH_DRAW_GHOSTED);
        drawControl(kField, MH_DRAW_GHOSTED);
        drawControl(kWeightMap, MH_DRAW_NORMAL);
        drawControl(kRoughness, weightMap == 1 ? MH_DRAW_GHOSTED : MH_DRAW_NORMAL);
    } else if (mode == kPolygon) {
        if (selection != 1) {
            refuseMode("Please, the Polygon select");
            return;
        }
        drawControl(kNumber, MH_DRAW_GHOSTED);
        drawControl(kField, MH_DRAW_GHOSTED);
        drawControl(kWeightMap, MH_DRAW_GHOSTED);
    }
}

void onBgLayer(MhControl *, void *)
{
    static const ControlId kBladeControls[] = {kDivision, kSize, kP1x,   kP2x,   kP2y,  kP2z,
                                               kP3y,      kP3z, kAddUv, kUName, kSName};
    const int mode = getInt(kBgLayer) == 0 ? MH_DRAW_NORMAL : MH_DRAW_GHOSTED;
    drawAll(kBladeControls, sizeof kBladeControls / sizeof kBladeControls[0], mode);
}

void onSave(MhControl *, void *)
{
    savePreset();
    redrawPreview();
}

void onLoad(MhControl *, void *)
{
    loadPreset();
    storeDivision(getInt(kDivision));
    setCurveFromSliders();
}

void onDivision(MhControl *, void *)
{
    storeDivision(getInt(kDivision));
    redrawPreview();
}

void onWeightMap(MhControl *, void *)
{
    if (getInt(kWeightMap) != 1) {
        drawControl(kRoughness, MH_DRAW_NORMAL);
        return;
    }
    if (sceneHasZtswWeightMap()) {
        drawControl(kRoughness, MH_DRAW_GHOSTED);
        return;
    }
    showWarning("ERORR", "Add VMAP of the name of 'ZTSW'");
    setInt(kWeightMap, 0);
    drawControl(kRoughness, MH_DRAW_NORMAL);
}

void onAddUv(MhControl *, void *)
{
    drawControl(kUName, getInt(kAddUv) == 1 ? MH_DRAW_NORMAL : MH_DRAW_GHOSTED);
}

} // namespace tuft
