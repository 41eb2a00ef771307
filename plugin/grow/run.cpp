// The generation run: the panel, then, after OK, the template and one planting mode.
#include "plugin/blade/template.h"
#include "plugin/entry/activation.h"
#include "plugin/entry/commands.h"
#include "plugin/grow/planting.h"

namespace tuft {

namespace {

// The one object that outlives an activation; constant-initialized, so nothing runs
// before the host calls in.
Plugin g_plugin = {{}, initialBladeShape(), "UV_Name"};

// The blade options, read in the order the builder has always read them; the Division
// and the UV map name are stored on the way.
BladeOptions readBladeOptions(const Panel &panel, char (&surface)[kTextLength])
{
    BladeOptions options;
    options.size = getDouble(panel, kSize);
    storeDivision(panel.shape, getInt(panel, kDivision));
    options.division = panel.shape.division;
    options.addUv = getInt(panel, kAddUv) == 1;
    getText(panel, kUName, panel.storedUvName, kTextLength);
    options.uvName = panel.storedUvName;
    surface[0] = '\0';
    getText(panel, kSName, surface, kTextLength);
    options.surface = surface;
    return options;
}

RunValues readRunValues(const Panel &panel)
{
    const bool ratioFixation = getInt(panel, kRatioFixation) != 0;
    const double rotation = getDouble(panel, kRotation);
    const double roughness = getDouble(panel, kRoughness);
    return makeRunValues(roughness, rotation, ratioFixation);
}

void prepareTemplate(Host &host, const Panel &panel, bool useBackground)
{
    if (useBackground) {
        setLayer(host, host.layers.background);
        copyLayer(host);
        setLayer(host, host.layers.templ);
        pasteLayer(host);
    } else {
        setLayer(host, host.layers.templ);
        char surface[kTextLength];
        buildBladeTemplate(host, panel.shape, readBladeOptions(panel, surface));
    }
}

void plant(Run &run, const Panel &panel, int mode)
{
    switch (mode) {
    case kGround: {
        const int number = getInt(panel, kNumber);
        const RunValues values = readRunValues(panel);
        plantGround(run, {number, getDouble(panel, kField)}, values);
        break;
    }
    case kPoint: {
        const bool byWeight = getInt(panel, kWeightMap) == 1;
        plantPoints(run, run.targets.points, byWeight, readRunValues(panel));
        break;
    }
    case kPolygon:
        plantPolygons(run, run.targets.polygons, readRunValues(panel));
        break;
    default:
        break;
    }
}

} // namespace

void runGeneration(Host &host)
{
    host.codes = &g_plugin.commands;
    Panel panel = {host, g_plugin.shape, g_plugin.storedUvName, nullptr, {}};
    if (!buildOptionsPanel(panel))
        return;
    if (host.panels->open(panel.handle, MH_OPEN_MODAL | MH_OPEN_OK_CANCEL) == 1) {
        Run run = {host, {}, {}, {}};
        const int mode = getInt(panel, kMode);
        const bool useBackground = getInt(panel, kBgLayer) != 0;
        captureTargets(host, run.targets);
        if (deriveLayerNumbers(host)) {
            prepareTemplate(host, panel, useBackground);
            plant(run, panel, mode);
        } else {
            showWarning(host, "warning", "Layer number out of range.");
        }
        freeTargets(run.targets);
    }
    destroyOptionsPanel(panel);
}

} // namespace tuft
