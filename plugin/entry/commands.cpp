#include "entry/commands.h"

#include "entry/services.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <cstring>

namespace tuft {

LayerNumbers g_layers;

namespace {

enum Command { kSetLayer, kCopy, kPaste, kCut, kDelete, kMove, kRotate, kScale, kCommandCount };

const char *const kCommandNames[kCommandCount] = {
    "SETLAYER", "COPY", "PASTE", "CUT", "DELETE", "MOVE", "ROTATE", "SCALE",
};

// Looked up on first use and kept while the library stays loaded; 0 means "not yet".
int g_commandCodes[kCommandCount];

// Handed to every execute as the place for a result; never read.
MhArgRecord g_result;

constexpr long kLargestLayerNumber = 9999999; // 7 digits and the terminating zero

bool runCommand(Command command, int count, const MhArgRecord *arguments)
{
    const MhCommandSequence *commands = g_host.commands;
    int &code = g_commandCodes[command];
    if (code == 0)
        code = commands->lookup(commands->data, kCommandNames[command]);
    return commands->execute(commands->data, code, count, count > 0 ? arguments : nullptr,
                             g_host.commandSelectionMode, &g_result) == 0;
}

MhArgRecord stringArgument(const char *text)
{
    MhArgRecord record;
    std::memset(&record, 0, sizeof record);
    record.string.type = MH_ARG_STRING;
    record.string.text = text;
    record.string.length = 0;
    return record;
}

MhArgRecord vectorArgument(double x, double y, double z)
{
    MhArgRecord record;
    std::memset(&record, 0, sizeof record);
    record.vector.type = MH_ARG_VECTOR;
    record.vector.value[0] = x;
    record.vector.value[1] = y;
    record.vector.value[2] = z;
    return record;
}

MhArgRecord nullArgument()
{
    MhArgRecord record;
    std::memset(&record, 0, sizeof record);
    record.type = MH_ARG_NULL;
    return record;
}

bool writeNumber(long value, char (&out)[8])
{
    if (value < 0 || value > kLargestLayerNumber)
        return false;
    const auto written = std::to_chars(out, out + 7, value);
    *written.ptr = '\0';
    return true;
}

} // namespace

long leadingInteger(const char *text)
{
    if (text == nullptr)
        return 0;
    while (std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+')
        ++text;
    long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        const int digit = *text - '0';
        value = value > (LONG_MAX - digit) / 10 ? LONG_MAX : value * 10 + digit;
    }
    return negative ? -value : value;
}

bool formatLayerNumbers(long current, long background, LayerNumbers &out)
{
    std::memset(&out, 0, sizeof out);
    const bool fits = current >= 0 && current <= kLargestLayerNumber - 407 &&
                      writeNumber(current, out.current) && writeNumber(current + 406, out.work) &&
                      writeNumber(current + 407, out.templ) && writeNumber(background, out.background);
    if (!fits)
        std::memset(&out, 0, sizeof out);
    return fits;
}

bool deriveLayerNumbers()
{
    const MhStateQuery *query = g_host.layerQuery;
    const long current = leadingInteger(query->layerList(0, nullptr));
    const long background = leadingInteger(query->layerList(2, nullptr));
    return formatLayerNumbers(current, background, g_layers);
}

bool setLayer(const char *layerNumber)
{
    const MhArgRecord argument = stringArgument(layerNumber);
    return runCommand(kSetLayer, 1, &argument);
}

bool copyLayer() { return runCommand(kCopy, 0, nullptr); }
bool pasteLayer() { return runCommand(kPaste, 0, nullptr); }
bool cutLayer() { return runCommand(kCut, 0, nullptr); }
bool deleteLayer() { return runCommand(kDelete, 0, nullptr); }

bool moveLayer(double x, double y, double z)
{
    const MhArgRecord argument = vectorArgument(x, y, z);
    return runCommand(kMove, 1, &argument);
}

bool rotateLayer(double degrees, const char *axis)
{
    MhArgRecord arguments[3] = {nullArgument(), stringArgument(axis), nullArgument()};
    arguments[0].number.type = MH_ARG_FLOAT;
    arguments[0].number.value = degrees;
    return runCommand(kRotate, 3, arguments);
}

bool scaleLayer(double x, double y, double z)
{
    const MhArgRecord arguments[2] = {vectorArgument(x, y, z), nullArgument()};
    return runCommand(kScale, 2, arguments);
}

} // namespace tuft
