#include "grow/transfer.h"

#include "entry/commands.h"
#include "entry/services.h"
#include "panel/controls.h"

#include <ctime>

namespace tuft {

RandomSource g_random;

namespace {

MhMonitor *g_monitor;

} // namespace

void seedFromClock()
{
    g_random.seed(static_cast<std::uint64_t>(std::time(nullptr)));
}

void bladeIntake()
{
    setLayer(g_layers.templ);
    copyLayer();
    setLayer(g_layers.work);
    pasteLayer();
}

void bladeHandOver()
{
    cutLayer();
    setLayer(g_layers.current);
    pasteLayer();
}

void disposeTemplate(Disposal disposal)
{
    setLayer(g_layers.templ);
    if (disposal == Disposal::kCut)
        cutLayer();
    else
        deleteLayer();
    setLayer(g_layers.current);
}

void openMonitor(const char *title, const char *caption, unsigned total)
{
    if (g_monitor != nullptr)
        return;
    g_monitor = g_host.monitor->create(title, caption);
    if (g_monitor != nullptr)
        g_monitor->init(g_monitor->data, total);
}

void stepMonitor()
{
    if (g_monitor != nullptr)
        g_monitor->step(g_monitor->data, 1);
}

void closeMonitor()
{
    if (g_monitor == nullptr)
        return;
    g_monitor->done(g_monitor->data);
    g_host.monitor->destroy(g_monitor);
    g_monitor = nullptr;
}

RunValues readRunValues()
{
    const bool ratioFixation = getInt(kRatioFixation) != 0;
    const double rotation = getDouble(kRotation);
    const double roughness = getDouble(kRoughness);
    return makeRunValues(roughness, rotation, ratioFixation);
}

} // namespace tuft
