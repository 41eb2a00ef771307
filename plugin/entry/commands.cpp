#include "plugin/entry/commands.h"

#include "plugin/entry/leading_integer.h"

#include <charconv>
#include <cstring>

namespace tuft {

namespace {

const char *const kCommandNames[kCommandCount] = {
    "SETLAYER", "COPY", "PASTE", "CUT", "DELETE", "MOVE", "ROTATE", "SCALE",
};

constexpr long long kLargestLayerNumber = 9999999; // 7 digits and the terminating zero

bool runCommand(Host &host, Command command, int count, const MhArgRecord *arguments)
{
    const MhCommandSequence *commands = host.commands;
    int &code = host.codes->code[command];
    if (code == 0)
        code = commands->lookup(commands->data, kCommandNames[command]);
    return commands->execute(commands->data, code, count, count > 0 ? arguments : nullptr, host.commandSelectionMode,
                             &host.result) == 0;
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

bool writeNumber(long long value, char (&out)[8])
{
    if (value < 0 || value > kLargestLayerNumber)
        return false;
    const auto written = std::to_chars(out, out + 7, value);
    *written.ptr = '\0';
    return true;
}

} // namespace

bool formatLayerNumbers(long long current, long long background, LayerNumbers &out)
{
    std::memset(&out, 0, sizeof out);
    const bool fits = current >= 0 && current <= kLargestLayerNumber - 407 && writeNumber(current, out.current) &&
                      writeNumber(current + 406, out.work) && writeNumber(current + 407, out.templ) &&
                      writeNumber(background, out.background);
    if (!fits)
        std::memset(&out, 0, sizeof out);
    return fits;
}

bool deriveLayerNumbers(Host &host)
{
    const MhStateQuery *query = host.layerQuery;
    const long long current = leadingInteger(query->layerList(0, nullptr));
    const long long background = leadingInteger(query->layerList(2, nullptr));
    return formatLayerNumbers(current, background, host.layers);
}

bool setLayer(Host &host, const char *layerNumber)
{
    const MhArgRecord argument = stringArgument(layerNumber);
    return runCommand(host, kSetLayer, 1, &argument);
}

bool copyLayer(Host &host) { return runCommand(host, kCopy, 0, nullptr); }
bool pasteLayer(Host &host) { return runCommand(host, kPaste, 0, nullptr); }
bool cutLayer(Host &host) { return runCommand(host, kCut, 0, nullptr); }
bool deleteLayer(Host &host) { return runCommand(host, kDelete, 0, nullptr); }

bool moveLayer(Host &host, double x, double y, double z)
{
    const MhArgRecord argument = vectorArgument(x, y, z);
    return runCommand(host, kMove, 1, &argument);
}

bool rotateLayer(Host &host, double degrees, const char *axis)
{
    MhArgRecord arguments[3] = {nullArgument(), stringArgument(axis), nullArgument()};
    arguments[0].number.type = MH_ARG_FLOAT;
    arguments[0].number.value = degrees;
    return runCommand(host, kRotate, 3, arguments);
}

bool scaleLayer(Host &host, double x, double y, double z)
{
    const MhArgRecord arguments[2] = {vectorArgument(x, y, z), nullArgument()};
    return runCommand(host, kScale, 2, arguments);
}

} // namespace tuft
