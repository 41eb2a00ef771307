#include "grow/run.h"

#include "blade/tables.h"
#include "entry/capture.h"
#include "entry/commands.h"
#include "entry/services.h"
#include "grow/planting.h"
#include "panel/controls.h"

namespace tuft {

namespace {

void prepareTemplate(bool useBackground)
{
    if (useBackground) {
        setLayer(g_layers.background);
        copyLayer();
        setLayer(g_layers.templ);
        pasteLayer();
    } else {
        setLayer(g_layers.templ);
        buildBladeTemplate();
    }
}

void plant(int mode)
{
    switch (mode) {
    case kGround:
        plantGround();
        break;
    case kPoint:
        plantPoints(g_pointTargets.positions, g_pointTargets.count, g_pointTargets.weights);
        break;
    case kPolygon:
        plantPolygons(g_polygonTargets.count);
        break;
    default:
        break;
    }
}

} // namespace

void runGeneration()
{
    MhPanel panel = buildOptionsPanel();
    if (panel == nullptr)
        return;
    if (g_host.panels->open(panel, MH_OPEN_MODAL | MH_OPEN_OK_CANCEL) == 1) {
        const int mode = getInt(kMode);
        const bool useBackground = getInt(kBgLayer) != 0;
        captureTargets();
        if (deriveLayerNumbers()) {
            prepareTemplate(useBackground);
            plant(mode);
        } else {
            showWarning("warning", "Layer number out of range.");
        }
        freeTargets();
    }
    destroyOptionsPanel(panel);
}

} // namespace tuft
