// The presets a run loads and saves, checked before anything is read or planted, and
// the reason a save failed told in the file system's words.
#pragma once

#include <string>

namespace tuft::app {

// Why a file cannot be loaded as a preset (not a regular file, empty, not a preset,
// holding no values); empty when it can.
std::string presetProblem(const std::string &path);

// The file a preset of that name is saved in: ".zts" added, as the plug-in adds it, to a
// name that has none.
std::string presetFileName(const std::string &name);

// Throws UsageError for a --save-preset name that cannot name a preset file: empty, or
// a folder.
void checkPresetName(const std::string &name);
// Why a preset could not be saved under a name the user gave (its folder is missing,
// the user may not write there); empty when no reason can be told.
std::string whySaveFailed(const std::string &name);

} // namespace tuft::app
