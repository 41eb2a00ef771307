// The host services acquired at activation, and the command-sequence interface.
#pragma once

#include "modeler_host.h"

namespace tuft {

struct HostServices {
    const MhDynamicMonitor *monitor;      // progress of the planting modes
    const MhStateQuery *layerQuery;       // layer lists behind the layer-number strings
    const MhInfoMessages *messages;       // info and warning boxes
    MhDirectoryInfoFn directoryInfo;      // start directory of the preset dialogs
    const MhPanelServices *panels;        // the options panel
    const MhStateQuery *selectionQuery;   // selection-mode queries (a second handle)
    MhFileRequestFn fileRequest;          // preset file dialogs
    const MhSceneObjects *sceneObjects;   // the weight-map check
    const MhCommandSequence *commands;    // commands and mesh edits
    int commandSelectionMode;             // passed with every command execute
};

// Written by activation; read by every part that talks to the host.
extern HostServices g_host;

// Shows an info or warning box when the host offers one.
void showInfo(const char *firstLine, const char *secondLine);
void showWarning(const char *firstLine, const char *secondLine);

// The host's selection mode: 0 points, 1 polygons.
int hostSelectionMode();

} // namespace tuft
