#include "app/nothing_planted.h"

#include "app/run_facts.h"
#include "sdk/modeler_host.h"

namespace tuft::app {

std::string whyNothingWasPlanted(const toolkit::PanelView &panel, const host::Object &object)
{
    const host::LayerMesh *layer = currentMesh(object);
    const bool byBackground = isOn(panel, "BGLayer Object");
    const host::LayerMesh *background = backgroundMesh(object);
    if (byBackground && (background == nullptr || background->empty()))
        return "\"BGLayer Object\" plants copies of the background layer, and it is empty";
    switch (controlInteger(panel, "Mode")) {
    case kGround:
        return "\"Number\" is " + std::to_string(controlInteger(panel, "Number"));
    case kPoint: {
        if (layer == nullptr || object.selectionMode != host::SelectionMode::kPoints || selectedPoints(*layer) == 0)
            return "Point mode plants on selected points, and none is selected (--select points:WHICH)";
        if (!isOn(panel, "(WeightMap)"))
            break;
        const long key = object.findMapKey(MH_MAP_WEIGHT, "ZTSW");
        if (key < 0 || !layer->findMap(static_cast<std::uint32_t>(key))) {
            std::string others;
            for (const host::LayerMap &map : layer->maps())
                if (object.mapInfo(map.key).type == MH_MAP_WEIGHT)
                    others += (others.empty() ? "" : ", ") + object.mapInfo(map.key).name;
            return "\"(WeightMap)\" sizes blades by the weight map \"ZTSW\", and the layer has none" +
                   (others.empty() ? std::string() : " (its weight maps: " + others + ")");
        }
        return "\"(WeightMap)\" plants only where the weight \"ZTSW\" is above 0, and no selected point's is";
    }
    case kPolygon:
        if (layer == nullptr || object.selectionMode != host::SelectionMode::kPolygons || selectedPolygons(*layer) == 0)
            return "Polygon mode plants on selected polygons, and none is selected (--select polygons:WHICH)";
        break;
    default:
        break;
    }
    return "the run added no geometry";
}

} // namespace tuft::app
