// Any bytes as a preset file: the reader never reads or writes out of bounds, and
// stores nothing beyond the twelve values.
#include "plugin/panel/preset_format.h"

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const char *bytes = reinterpret_cast<const char *>(data);
    if (size > tuft::kPresetBytesRead)
        size = tuft::kPresetBytesRead;
    tuft::PresetValues values = {};
    std::size_t position = 0;
    char read[tuft::kPresetReadLength + 1];
    for (int index = 0; index < tuft::kPresetReads && tuft::nextPresetRead(bytes, size, position, read); ++index) {
        if (std::strlen(read) > tuft::kPresetReadLength)
            __builtin_trap();
        if (index == 0 && !tuft::isPresetHeader(read))
            return 0;
        tuft::applyPresetRead(index, read, values);
    }
    char out[512];
    tuft::formatPreset(values, out);
    return 0;
}
