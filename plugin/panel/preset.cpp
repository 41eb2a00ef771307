#include "plugin/panel/preset.h"

#include "plugin/panel/preset_format.h"
#include "plugin/panel/whole_file.h"

#include <cstdio>
#include <cstring>

namespace tuft {

namespace {

constexpr int kNameLength = 256;
constexpr const char *kExtension = ".zts";

// The controls of lines 4 to 13, in file order.
const ControlId kPresetDoubleControls[kPresetDoubles] = {
    kSize, kField, kRoughness, kRotation, kP1x, kP2x, kP2y, kP2z, kP3y, kP3z,
};

struct FileDialog {
    char path[kNameLength];
    char baseName[kNameLength];
    char fullName[kNameLength];
};

PresetValues readControls(const Panel &panel)
{
    PresetValues values;
    values.number = getInt(panel, kNumber);
    values.division = getInt(panel, kDivision);
    for (int i = 0; i < kPresetDoubles; ++i)
        values.doubles[i] = getDouble(panel, kPresetDoubleControls[i]);
    return values;
}

void writeControls(const Panel &panel, const PresetValues &values)
{
    setInt(panel, kNumber, values.number);
    setInt(panel, kDivision, values.division);
    for (int i = 0; i < kPresetDoubles; ++i)
        setDouble(panel, kPresetDoubleControls[i], values.doubles[i]);
}

// Asks the user for a file; true when one was confirmed.
bool askForFile(const Host &host, int type, const char *title, FileDialog &dialog)
{
    std::memset(&dialog, 0, sizeof dialog);
    const char *content = host.directoryInfo("Content");
    if (content != nullptr && std::strlen(content) < kNameLength - 1)
        std::strcpy(dialog.path, content);
    std::strcpy(dialog.baseName, "*.zts");
    MhFileRequest request;
    std::memset(&request, 0, sizeof request);
    request.type = type;
    request.title = title;
    request.fileType = "ZTS";
    request.path = dialog.path;
    request.baseName = dialog.baseName;
    request.fullName = dialog.fullName;
    request.bufferLength = kNameLength;
    request.pickName = nullptr;
    host.fileRequest(3, &request);
    dialog.fullName[kNameLength - 1] = '\0';
    return request.result == 1;
}

void cannotOpen(const Host &host) { showWarning(host, "warning", "Can't Open File."); }

} // namespace

int savePreset(Panel &panel)
{
    const PresetValues values = readControls(panel);
    FileDialog dialog;
    if (!askForFile(panel.host, MH_FREQ_SAVE, "Save ZEL_Tuftsprout File", dialog))
        return -1;
    char name[kNameLength + 4];
    std::strcpy(name, dialog.fullName);
    if (std::strstr(name, kExtension) == nullptr)
        std::strcat(name, kExtension);
    char bytes[512];
    const std::size_t size = formatPreset(values, bytes);
    if (!writeFileWhole(name, bytes, size)) {
        cannotOpen(panel.host);
        return -1;
    }
    return 0;
}

namespace {

// A line read from a preset, echoed as it was read, but for control characters (a
// terminal's escape sequences among them) and bytes past ASCII (a single 0x9B starts one
// on some terminals), which are shown as \xHH: a preset holds numbers.
void echoRead(const char *read)
{
    for (const char *c = read; *c != '\0'; ++c) {
        const unsigned char byte = static_cast<unsigned char>(*c);
        if (byte == '\n' || (byte >= 0x20 && byte < 0x7F))
            std::fputc(byte, stdout);
        else
            std::fprintf(stdout, "\\x%02X", byte);
    }
}

} // namespace

int loadPreset(Panel &panel)
{
    PresetValues values = readControls(panel);
    FileDialog dialog;
    if (!askForFile(panel.host, MH_FREQ_LOAD, "Load ZEL_Tuftsprout File", dialog))
        return -1;
    std::FILE *file = std::fopen(dialog.fullName, "rb");
    if (file == nullptr) {
        cannotOpen(panel.host);
        return -1;
    }
    char data[kPresetBytesRead];
    const std::size_t size = std::fread(data, 1, sizeof data, file);
    std::fclose(file);

    std::size_t position = 0;
    char read[kPresetReadLength + 1];
    for (int index = 0; index < kPresetReads && nextPresetRead(data, size, position, read); ++index) {
        if (index == 0) {
            if (!isPresetHeader(read)) {
                cannotOpen(panel.host);
                return -1;
            }
            continue;
        }
        echoRead(read);
        applyPresetRead(index, read, values);
    }
    std::fflush(stdout);
    // The preview and the blade are sized for Division 1..8.
    values.division = clampDivision(values.division);
    writeControls(panel, values);
    return 0;
}

} // namespace tuft
