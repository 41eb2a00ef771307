// The progress monitor of a planting mode: opened at its start, stepped once a blade,
// closed at its end.
#pragma once

#include "plugin/entry/host.h"

namespace tuft {

struct Monitor {
    MhMonitor *open; // null when none is open (or the host gave none)
};

void openMonitor(const Host &host, Monitor &monitor, const char *title, const char *caption, unsigned total);
void stepMonitor(Monitor &monitor);
void closeMonitor(const Host &host, Monitor &monitor);

} // namespace tuft
