#include "app/run_facts.h"

#include "sdk/modeler_host.h"

namespace tuft::app {

int controlInteger(const toolkit::PanelView &panel, const char *label)
{
    const toolkit::ControlView *control = panel.find(label);
    return control != nullptr ? control->integer : 0;
}

bool isOn(const toolkit::PanelView &panel, const char *label) { return controlInteger(panel, label) != 0; }

const host::LayerMesh *currentMesh(const host::Object &object)
{
    const host::Layer *layer = object.findLayer(object.currentLayer);
    return layer != nullptr ? &layer->mesh : nullptr;
}

const host::LayerMesh *backgroundMesh(const host::Object &object)
{
    const host::Layer *layer = object.background.empty() ? nullptr : object.findLayer(object.background.front());
    return layer != nullptr ? &layer->mesh : nullptr;
}

std::size_t selectedPoints(const host::LayerMesh &mesh) { return mesh.selectedPointCount(); }

std::size_t selectedPolygons(const host::LayerMesh &mesh) { return mesh.selectedPolygonCount(); }

} // namespace tuft::app
