// The eight commands a plug-in runs through command execute, and their decoding.
#include "host/modeler.h"

#include <charconv>
#include <cstring>

namespace tuft::host {

namespace {

// Command codes are positions in this table plus one; 0 means unknown.
const char *const kCommandNames[] = {"SETLAYER", "COPY", "PASTE", "CUT", "DELETE", "MOVE", "ROTATE", "SCALE"};
enum Code { kSetLayer = 1, kCopy, kPaste, kCut, kDelete, kMove, kRotate, kScale, kCodeEnd };

enum CommandResult { kOk = 0, kUnknownCommand = 1, kBadArguments = 2, kNoLayer = 3 };

bool parseLayerNumber(const char *text, int &number)
{
    if (text == nullptr)
        return false;
    const char *end = text + std::strlen(text);
    const auto parsed = std::from_chars(text, end, number);
    return parsed.ec == std::errc() && parsed.ptr == end;
}

// Whether `text` is the remembered text, reading it no further than its end.
bool sameText(const char (&kept)[8], const char *text)
{
    for (std::size_t i = 0; i < sizeof kept; ++i) {
        if (kept[i] != text[i])
            return false;
        if (text[i] == '\0')
            return true;
    }
    return false;
}

int axisOf(const char *text)
{
    if (text == nullptr || text[0] == '\0' || text[1] != '\0')
        return -1;
    switch (text[0]) {
    case 'X':
    case 'x':
        return 0;
    case 'Y':
    case 'y':
        return 1;
    case 'Z':
    case 'z':
        return 2;
    default:
        return -1;
    }
}

Vec3 vectorOf(const MhArgRecord &record)
{
    return {record.vector.value[0], record.vector.value[1], record.vector.value[2]};
}

// A centre argument: null means the origin, a vector names the point.
bool centreOf(int count, const MhArgRecord *records, int index, Vec3 &centre)
{
    centre = {0.0, 0.0, 0.0};
    if (index >= count || records[index].type == MH_ARG_NULL)
        return true;
    if (records[index].type != MH_ARG_VECTOR)
        return false;
    centre = vectorOf(records[index]);
    return true;
}

DecodedArgument decode(const MhArgRecord &record)
{
    DecodedArgument argument{record.type, {}, {0.0, 0.0, 0.0}};
    switch (record.type) {
    case MH_ARG_STRING:
        argument.text = printable(record.string.text);
        break;
    case MH_ARG_INTEGER:
        argument.values[0] = record.integer.value;
        break;
    case MH_ARG_FLOAT:
        argument.values[0] = record.number.value;
        break;
    case MH_ARG_VECTOR:
        for (int i = 0; i < 3; ++i)
            argument.values[i] = record.vector.value[i];
        break;
    default:
        break;
    }
    return argument;
}

} // namespace

int Modeler::lookupCommand(const char *name)
{
    ++commandLookups_;
    if (recording_) // a lookup a command, many a run
        note("command lookup " + printable(name));
    if (name == nullptr)
        return 0;
    for (int code = kSetLayer; code < kCodeEnd; ++code)
        if (std::strcmp(name, kCommandNames[code - 1]) == 0)
            return code;
    return 0;
}

int Modeler::execute(int code, int count, const MhArgRecord *records, int selectionMode)
{
    if (recording_)
        return executeRecorded(code, count, records, selectionMode);
    const int result = runCommand(code, count, records);
    refusedCommands_ += result != kOk;
    return result;
}

// Kept out of execute(), which runs millions of times a run and records only in tests.
int Modeler::executeRecorded(int code, int count, const MhArgRecord *records, int selectionMode)
{
    const int result = runCommand(code, count, records);
    refusedCommands_ += result != kOk;
    events_.push_back("command executed");
    CommandCall call{code >= kSetLayer && code < kCodeEnd ? kCommandNames[code - 1] : "",
                     code,
                     count,
                     records != nullptr,
                     selectionMode,
                     {},
                     result};
    for (int i = 0; records != nullptr && i < count; ++i)
        call.arguments.push_back(decode(records[i]));
    calls_.push_back(std::move(call));
    return result;
}

int Modeler::runCommand(int code, int count, const MhArgRecord *records)
{
    if (code < kSetLayer || code >= kCodeEnd)
        return kUnknownCommand;
    if (count < 0 || (count > 0 && records == nullptr))
        return kBadArguments;
    if (code == kSetLayer) {
        if (count != 1 || records[0].type != MH_ARG_STRING) {
            active_ = nullptr;
            return kBadArguments;
        }
        return selectLayer(records[0].string.text);
    }
    if (active_ == nullptr)
        return kNoLayer;
    LayerMesh &mesh = active_->mesh;
    Vec3 centre;
    switch (code) {
    case kCopy:
        if (count != 0)
            return kBadArguments;
        object_.clipboard = mesh;
        return kOk;
    case kPaste:
        if (count != 0)
            return kBadArguments;
        mesh.append(object_.clipboard);
        return kOk;
    case kCut:
        if (count != 0)
            return kBadArguments;
        object_.clipboard.swap(mesh);
        mesh.clear();
        return kOk;
    case kDelete:
        if (count != 0)
            return kBadArguments;
        mesh.clear();
        return kOk;
    case kMove:
        if (count != 1 || records[0].type != MH_ARG_VECTOR)
            return kBadArguments;
        mesh.translate(vectorOf(records[0]));
        return kOk;
    case kRotate: {
        const int axis = count >= 2 && records[1].type == MH_ARG_STRING ? axisOf(records[1].string.text) : -1;
        if (count < 2 || count > 3 || records[0].type != MH_ARG_FLOAT || axis < 0 ||
            !centreOf(count, records, 2, centre))
            return kBadArguments;
        mesh.rotate(axis, records[0].number.value, centre);
        return kOk;
    }
    case kScale: {
        if (count < 1 || count > 2 || !centreOf(count, records, 1, centre))
            return kBadArguments;
        Vec3 factors;
        if (records[0].type == MH_ARG_VECTOR)
            factors = vectorOf(records[0]);
        else if (records[0].type == MH_ARG_FLOAT)
            factors = {records[0].number.value, records[0].number.value, records[0].number.value};
        else
            return kBadArguments;
        mesh.scale(factors, centre);
        return kOk;
    }
    default:
        return kUnknownCommand;
    }
}

// Makes the layer a SETLAYER text names the active one: kBadArguments when the text is
// no layer number, kNoLayer when the number is no layer's (no layer is active then).
int Modeler::selectLayer(const char *text)
{
    active_ = nullptr;
    if (text == nullptr)
        return kBadArguments;
    for (const NamedLayer &named : namedLayers_)
        if (named.layer != nullptr && sameText(named.text, text)) {
            active_ = named.layer;
            return kOk;
        }
    int number = 0;
    if (!parseLayerNumber(text, number))
        return kBadArguments;
    active_ = object_.layer(number);
    if (active_ == nullptr)
        return kNoLayer;
    const std::size_t length = strnlen(text, sizeof(NamedLayer::text));
    if (length < sizeof(NamedLayer::text)) {
        NamedLayer &named = namedLayers_[nextNamedLayer_++ % kNamedLayers];
        std::memcpy(named.text, text, length + 1);
        named.layer = active_;
    }
    return kOk;
}

} // namespace tuft::host
