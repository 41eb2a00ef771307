#include "plugin/grow/monitor.h"

namespace tuft {

void openMonitor(const Host &host, Monitor &monitor, const char *title, const char *caption, unsigned total)
{
    if (monitor.open != nullptr)
        return;
    monitor.open = host.monitor->create(title, caption);
    if (monitor.open != nullptr)
        monitor.open->init(monitor.open->data, total);
}

void stepMonitor(Monitor &monitor)
{
    if (monitor.open != nullptr)
        monitor.open->step(monitor.open->data, 1);
}

void closeMonitor(const Host &host, Monitor &monitor)
{
    if (monitor.open == nullptr)
        return;
    monitor.open->done(monitor.open->data);
    host.monitor->destroy(monitor.open);
    monitor.open = nullptr;
}

} // namespace tuft
