// What the command line checks around a run, so that a failed run never reads as a
// successful one: the files it was given, what a run will need, and why a run that
// planted nothing planted nothing.
#pragma once

#include "host/object.h"
#include "toolkit/panel_toolkit.h"

#include <cstdint>
#include <string>

namespace tuft::app {

// Why a file cannot be loaded as a preset (not a regular file, empty, not a preset,
// holding no values); empty when it can.
std::string presetProblem(const std::string &path);

// Throws UsageError for a --save-preset name that cannot name a preset file: empty, or
// a folder.
void checkPresetName(const std::string &name);
// Why a preset could not be saved under a name the user gave (its folder is missing,
// the user may not write there); empty when no reason can be told.
std::string whySaveFailed(const std::string &name);

// About how many bytes planting with the panel as it stands adds to the object.
std::uint64_t bytesToPlant(const toolkit::PanelView &panel, const host::Object &object);
// Bytes of memory the program can still use: what the machine has available (swap
// included), within the process's own limit.
std::uint64_t availableMemory();
// "1.5 GB", "640 MB": a byte count for people.
std::string sizeText(std::uint64_t bytes);

// Why a run that confirmed the panel planted nothing: no selection for the mode, no
// usable weight, an empty background layer, a Number of 0.
std::string whyNothingWasPlanted(const toolkit::PanelView &panel, const host::Object &object);

} // namespace tuft::app
