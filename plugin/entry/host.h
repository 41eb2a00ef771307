// What one activation has of the host: its services, the command-sequence interface,
// the mesh edit that is open and the layer-number strings.
#pragma once

#include "sdk/modeler_host.h"

namespace tuft {

// Decimal texts of the user's layer, the work layer (+406), the template layer (+407)
// and the first background layer (0 when none); at most 7 digits each.
struct LayerNumbers {
    char current[8];
    char work[8];
    char templ[8];
    char background[8];
};

enum Command { kSetLayer, kCopy, kPaste, kCut, kDelete, kMove, kRotate, kScale, kCommandCount };

// The host's code of each command, looked up on first use; 0 means "not yet". The
// codes last while the library stays loaded, across activations.
struct CommandCodes {
    int code[kCommandCount];
};

struct Host {
    const MhDynamicMonitor *monitor;    // progress of the planting modes
    const MhStateQuery *layerQuery;     // layer lists behind the layer-number strings
    const MhInfoMessages *messages;     // info and warning boxes
    MhDirectoryInfoFn directoryInfo;    // start directory of the preset dialogs
    const MhPanelServices *panels;      // the options panel
    const MhStateQuery *selectionQuery; // selection-mode queries (a second handle)
    MhFileRequestFn fileRequest;        // preset file dialogs
    const MhSceneObjects *sceneObjects; // the weight-map check
    const MhCommandSequence *commands;  // commands and mesh edits
    int commandSelectionMode;           // passed with every command execute
    CommandCodes *codes;                // the plug-in's lasting command codes
    MhMeshEdit *edit;                   // the mesh edit that is open, or null
    LayerNumbers layers;
    MhArgRecord result; // handed to every execute as the place for a result; never read
};

// Shows an info or warning box when the host offers one.
void showInfo(const Host &host, const char *firstLine, const char *secondLine);
void showWarning(const Host &host, const char *firstLine, const char *secondLine);

// The host's selection mode: 0 points, 1 polygons.
int hostSelectionMode(const Host &host);

// Opens a mesh edit into host.edit; true when the host gave one.
bool beginEdit(Host &host);
// Closes host.edit, keeping its edits, when one is open.
void endEdit(Host &host);

} // namespace tuft
