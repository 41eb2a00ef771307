#include "host/modeler.h"

#include "host/loader.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace tuft::host {

namespace {

thread_local Modeler *t_current = nullptr;

// Command codes are positions in this table plus one; 0 means unknown.
const char *const kCommandNames[] = {"SETLAYER", "COPY", "PASTE", "CUT", "DELETE", "MOVE", "ROTATE", "SCALE"};
enum Code { kSetLayer = 1, kCopy, kPaste, kCut, kDelete, kMove, kRotate, kScale, kCodeEnd };

enum CommandResult { kOk = 0, kUnknownCommand = 1, kBadArguments = 2, kNoLayer = 3 };

constexpr int kIndexBits = sizeof(void *) == 8 ? 40 : 26;
constexpr std::uintptr_t kIndexMask = (std::uintptr_t(1) << kIndexBits) - 1;
constexpr int kMaxSlots = sizeof(void *) == 8 ? (1 << 20) : 63;

std::uintptr_t encodeId(int slot, std::uint32_t index)
{
    return (std::uintptr_t(slot + 1) << kIndexBits) | index;
}

bool decodeId(std::uintptr_t id, int &slot, std::uint32_t &index)
{
    if (id == 0)
        return false;
    slot = static_cast<int>(id >> kIndexBits) - 1;
    index = static_cast<std::uint32_t>(id & kIndexMask);
    return slot >= 0;
}

// --- C trampolines: the tables carry no context, so they reach the active host ---------

void *globalTrampoline(const char *name, int) { return Modeler::current()->globalLookup(name); }

int lookupTrampoline(void *data, const char *name) { return static_cast<Modeler *>(data)->lookupCommand(name); }

int executeTrampoline(void *data, int code, int count, const MhArgRecord *records, int selectionMode,
                      MhArgRecord *)
{
    return static_cast<Modeler *>(data)->execute(code, count, records, selectionMode);
}

MhMeshEdit *editBeginTrampoline(void *data, int, int, int)
{
    return static_cast<Modeler *>(data)->beginMeshEdit();
}

const char *layerListTrampoline(int which, const char *) { return Modeler::current()->layerList(which); }
int selectionModeTrampoline(int which) { return Modeler::current()->selectionModeQuery(which); }
const MhStateQuery kStateQuery = {layerListTrampoline, selectionModeTrampoline};

MhMonitor *monitorCreateTrampoline(const char *title, const char *caption)
{
    return Modeler::current()->createMonitor(title, caption);
}
void monitorDestroyTrampoline(MhMonitor *monitor) { Modeler::current()->destroyMonitor(monitor); }
const MhDynamicMonitor kDynamicMonitor = {monitorCreateTrampoline, monitorDestroyTrampoline};

void infoTrampoline(const char *first, const char *second)
{
    Modeler::current()->message(MessageKind::kInfo, first, second);
}
void warningTrampoline(const char *first, const char *second)
{
    Modeler::current()->message(MessageKind::kWarning, first, second);
}
const MhInfoMessages kInfoMessages = {infoTrampoline, warningTrampoline};

int fileRequestTrampoline(int version, MhFileRequest *request)
{
    return Modeler::current()->fileRequest(version, request);
}
const char *directoryTrampoline(const char *name) { return Modeler::current()->directory(name); }

int mapCountTrampoline(std::uint32_t type) { return Modeler::current()->weightMapCount(type); }
const char *mapNameTrampoline(std::uint32_t type, int index)
{
    return Modeler::current()->weightMapName(type, index);
}
const MhSceneObjects kSceneObjects = {mapCountTrampoline, mapNameTrampoline};

// Services the plug-in requires but never calls through.
const int kNeverCalled = 0;

std::string printable(const char *text) { return text != nullptr ? text : "(null)"; }

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
    case 'X': case 'x': return 0;
    case 'Y': case 'y': return 1;
    case 'Z': case 'z': return 2;
    default: return -1;
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

// --- mesh edits --------------------------------------------------------------------------

struct Modeler::MeshEditState {
    MhMeshEdit table;
    Modeler *host;
    Layer *layer; // the active layer when the edit began; additions go here
    std::size_t points, polygons, vertices;
    struct Undo {
        Layer *layer;
        std::uint32_t key, index;
        std::uint8_t had;
        float old[4];
    };
    std::vector<Undo> journal;
    long selectedMap = -1;
    MhPointInfo scanInfo, info;
    MhPolygonInfo polygonInfo;
    std::vector<MhPointId> polygonVertices;

    static MeshEditState &of(void *state) { return *static_cast<MeshEditState *>(state); }

    Mesh *mesh() { return layer != nullptr ? &layer->mesh : nullptr; }

    void fillPointInfo(MhPointInfo &out, const Layer &owner, std::uint32_t index)
    {
        out.id = pointId(owner.slot, index);
        out.userData = nullptr;
        out.layer = owner.number;
        out.flags = owner.mesh.pointFlags[index];
        const Vec3 &p = owner.mesh.positions[index];
        out.position[0] = p.x;
        out.position[1] = p.y;
        out.position[2] = p.z;
    }

    static void done(void *state, int error, int)
    {
        MeshEditState &edit = of(state);
        if (error != 0)
            edit.rollBack();
        if (edit.host->recording())
            edit.host->note("edit done " + std::to_string(error));
        edit.host->edit_.reset();
    }

    void rollBack()
    {
        for (auto undo = journal.rbegin(); undo != journal.rend(); ++undo) {
            PointMap *map = undo->layer->mesh.findMap(undo->key);
            if (map == nullptr || undo->index >= map->has.size())
                continue;
            map->has[undo->index] = undo->had;
            std::memcpy(&map->values[std::size_t(undo->index) * map->dimension], undo->old,
                        sizeof(float) * map->dimension);
        }
        if (Mesh *target = mesh())
            target->truncate(points, polygons, vertices);
    }

    static int count(void *state, int layer, int mode, bool polygons)
    {
        MeshEditState &edit = of(state);
        const Mesh *target = edit.mesh();
        if (target == nullptr || layer != MH_LAYER_PRIMARY)
            return 0;
        if (mode != MH_COUNT_SELECTED)
            return static_cast<int>(polygons ? target->polygonCount() : target->pointCount());
        int selected = 0;
        if (polygons) {
            for (const Polygon &polygon : target->polygons)
                selected += polygon.flags & MH_FLAG_SELECTED;
        } else {
            for (std::uint8_t flags : target->pointFlags)
                selected += flags & MH_FLAG_SELECTED;
        }
        return selected;
    }
    static int pointCount(void *state, int layer, int mode) { return count(state, layer, mode, false); }
    static int polygonCount(void *state, int layer, int mode) { return count(state, layer, mode, true); }

    static int pointScan(void *state, MhPointScanFn callback, void *userData, int layer)
    {
        MeshEditState &edit = of(state);
        if (edit.layer == nullptr || layer != MH_LAYER_PRIMARY || callback == nullptr)
            return 0;
        const std::size_t count = edit.layer->mesh.pointCount();
        for (std::size_t i = 0; i < count; ++i) {
            edit.fillPointInfo(edit.scanInfo, *edit.layer, static_cast<std::uint32_t>(i));
            if (const int stop = callback(userData, &edit.scanInfo))
                return stop;
        }
        return 0;
    }

    static int polygonScan(void *state, MhPolygonScanFn callback, void *userData, int layer)
    {
        MeshEditState &edit = of(state);
        if (edit.layer == nullptr || layer != MH_LAYER_PRIMARY || callback == nullptr)
            return 0;
        const Mesh &mesh = edit.layer->mesh;
        for (std::size_t i = 0; i < mesh.polygonCount(); ++i) {
            const Polygon &polygon = mesh.polygons[i];
            edit.polygonVertices.resize(polygon.vertexCount);
            for (std::uint32_t v = 0; v < polygon.vertexCount; ++v)
                edit.polygonVertices[v] = pointId(edit.layer->slot, mesh.vertices[polygon.firstVertex + v]);
            edit.polygonInfo = {polygonId(edit.layer->slot, static_cast<std::uint32_t>(i)), nullptr,
                                edit.layer->number, polygon.flags, static_cast<int>(polygon.vertexCount),
                                edit.polygonVertices.data()};
            if (const int stop = callback(userData, &edit.polygonInfo))
                return stop;
        }
        return 0;
    }

    static const MhPointInfo *pointInfo(void *state, MhPointId id)
    {
        MeshEditState &edit = of(state);
        const auto found = edit.host->point(id);
        if (!found)
            return nullptr;
        edit.fillPointInfo(edit.info, *found->layer, found->index);
        return &edit.info;
    }

    static int polygonNormal(void *state, MhPolygonId id, double normal[3])
    {
        MeshEditState &edit = of(state);
        const auto found = edit.host->polygon(id);
        if (edit.host->recording())
            edit.host->note("polygon normal");
        if (!found || normal == nullptr)
            return 0;
        const auto n = Modeler::polygonNormal(found->layer->mesh, found->index);
        if (!n)
            return 0;
        normal[0] = n->x;
        normal[1] = n->y;
        normal[2] = n->z;
        return 1;
    }

    static MhPointId addPoint(void *state, const double position[3])
    {
        MeshEditState &edit = of(state);
        Mesh *target = edit.mesh();
        if (target == nullptr || position == nullptr || target->pointCount() > kIndexMask)
            return nullptr;
        const std::uint32_t index = target->addPoint({position[0], position[1], position[2]});
        return pointId(edit.layer->slot, index);
    }

    static MhPolygonId addPolygon(void *state, std::uint32_t type, MhPolygonId, const char *surface, int count,
                                  const MhPointId *points)
    {
        MeshEditState &edit = of(state);
        Mesh *target = edit.mesh();
        if (target == nullptr || count < 1 || points == nullptr || target->polygonCount() > kIndexMask)
            return nullptr;
        std::vector<std::uint32_t> indices(static_cast<std::size_t>(count));
        for (int v = 0; v < count; ++v) {
            const auto found = edit.host->point(points[v]);
            if (!found || found->layer != edit.layer)
                return nullptr; // a polygon joins points of its own layer only
            indices[v] = found->index;
        }
        const std::uint32_t surfaceIndex = edit.host->object_.surfaceIndex(surface != nullptr ? surface : "");
        const std::uint32_t index =
            target->addPolygon(type, surfaceIndex, indices.data(), static_cast<std::uint32_t>(count));
        return polygonId(edit.layer->slot, index);
    }

    static int setPointMapValue(void *state, MhPointId id, std::uint32_t type, const char *name, int dimension,
                                const float *values)
    {
        MeshEditState &edit = of(state);
        const auto found = edit.host->point(id);
        if (!found || name == nullptr || values == nullptr || dimension < 1 || dimension > 4)
            return 0;
        const long key = edit.host->object_.mapKey(type, name, dimension);
        if (key < 0)
            return 0;
        PointMap &map = found->layer->mesh.mapFor(static_cast<std::uint32_t>(key), dimension);
        float *slot = &map.values[std::size_t(found->index) * dimension];
        Undo undo{found->layer, static_cast<std::uint32_t>(key), found->index, map.has[found->index], {}};
        std::memcpy(undo.old, slot, sizeof(float) * dimension);
        edit.journal.push_back(undo);
        std::memcpy(slot, values, sizeof(float) * dimension);
        map.has[found->index] = 1;
        return 1;
    }

    static void *selectPointMap(void *state, void *, std::uint32_t type, const char *name)
    {
        MeshEditState &edit = of(state);
        edit.selectedMap = name != nullptr ? edit.host->object_.findMapKey(type, name) : -1;
        return edit.selectedMap < 0 ? nullptr : reinterpret_cast<void *>(edit.selectedMap + 1);
    }

    static int readPointMapValue(void *state, MhPointId id, float *values)
    {
        MeshEditState &edit = of(state);
        const auto found = edit.host->point(id);
        if (!found || edit.selectedMap < 0 || values == nullptr)
            return 0;
        const PointMap *map = found->layer->mesh.findMap(static_cast<std::uint32_t>(edit.selectedMap));
        if (map == nullptr || !map->has[found->index])
            return 0;
        std::memcpy(values, &map->values[std::size_t(found->index) * map->dimension],
                    sizeof(float) * map->dimension);
        return 1;
    }
};

// --- monitors ------------------------------------------------------------------------------

struct Modeler::MonitorState {
    MhMonitor table;
    Modeler *host;
    std::uint64_t done = 0;

    static MonitorState &of(void *data) { return *static_cast<MonitorState *>(data); }

    static void init(void *data, std::uint32_t total)
    {
        MonitorState &monitor = of(data);
        monitor.host->note("monitor init " + std::to_string(total));
        if (monitor.host->progress_)
            monitor.host->progress_->start(monitor.title.c_str(), monitor.caption.c_str(), total);
    }
    static int step(void *data, std::uint32_t increment)
    {
        MonitorState &monitor = of(data);
        monitor.done += increment;
        if (monitor.host->recording_)
            monitor.host->note("monitor step " + std::to_string(increment));
        if (monitor.host->progress_)
            monitor.host->progress_->advance(monitor.done);
        return 0;
    }
    static void finish(void *data)
    {
        MonitorState &monitor = of(data);
        monitor.host->note("monitor done");
        if (monitor.host->progress_)
            monitor.host->progress_->finish();
    }

    std::string title, caption;
};

// --- the host --------------------------------------------------------------------------------

Modeler::Modeler(Object &object) : object_(object)
{
    sequence_ = {this, lookupTrampoline, executeTrampoline, editBeginTrampoline};
    messages_ = [](MessageKind kind, const char *first, const char *second) {
        std::fprintf(stderr, "%s: %s: %s\n", kind == MessageKind::kInfo ? "info" : "warning",
                     printable(first).c_str(), printable(second).c_str());
    };
    progress_ = makeTerminalProgress();
}

Modeler::~Modeler() = default;

void Modeler::setProgressDisplay(std::unique_ptr<ProgressDisplay> display) { progress_ = std::move(display); }

Modeler *Modeler::current() { return t_current; }

MhPointId Modeler::pointId(int slot, std::uint32_t index)
{
    return reinterpret_cast<MhPointId>(encodeId(slot, index));
}

MhPolygonId Modeler::polygonId(int slot, std::uint32_t index)
{
    return reinterpret_cast<MhPolygonId>(encodeId(slot, index));
}

std::optional<Modeler::Element> Modeler::point(MhPointId id)
{
    int slot;
    std::uint32_t index;
    if (!decodeId(reinterpret_cast<std::uintptr_t>(id), slot, index))
        return std::nullopt;
    Layer *layer = object_.layerBySlot(slot);
    if (layer == nullptr || index >= layer->mesh.pointCount())
        return std::nullopt;
    return Element{layer, index};
}

std::optional<Modeler::Element> Modeler::polygon(MhPolygonId id)
{
    int slot;
    std::uint32_t index;
    if (!decodeId(reinterpret_cast<std::uintptr_t>(id), slot, index))
        return std::nullopt;
    Layer *layer = object_.layerBySlot(slot);
    if (layer == nullptr || index >= layer->mesh.polygonCount())
        return std::nullopt;
    return Element{layer, index};
}

std::optional<Vec3> Modeler::polygonNormal(const Mesh &mesh, std::uint32_t index)
{
    const Polygon &polygon = mesh.polygons[index];
    if (polygon.vertexCount < 3)
        return std::nullopt;
    Vec3 n{0.0, 0.0, 0.0};
    for (std::uint32_t v = 0; v < polygon.vertexCount; ++v) {
        const Vec3 &a = mesh.positions[mesh.vertices[polygon.firstVertex + v]];
        const Vec3 &b = mesh.positions[mesh.vertices[polygon.firstVertex + (v + 1) % polygon.vertexCount]];
        n.x += (a.y - b.y) * (a.z + b.z);
        n.y += (a.z - b.z) * (a.x + b.x);
        n.z += (a.x - b.x) * (a.y + b.y);
    }
    const double length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    if (!(length > 0.0) || !std::isfinite(length))
        return std::nullopt;
    return Vec3{n.x / length, n.y / length, n.z / length};
}

void Modeler::clearRecords()
{
    calls_.clear();
    events_.clear();
}

void Modeler::note(std::string event)
{
    if (recording_)
        events_.push_back(std::move(event));
}

int Modeler::activate(const PluginLibrary &library, int version, void *serverData)
{
    Modeler *previous = t_current;
    t_current = this;
    active_ = object_.layer(object_.currentLayer);
    std::fill(std::begin(namedLayers_), std::end(namedLayers_), NamedLayer{});
    const int result = library.activate(version, globalTrampoline, &sequence_, serverData);
    // Edits and monitors the plug-in left open end with the command.
    if (edit_)
        MeshEditState::done(edit_.get(), 0, 0);
    monitor_.reset();
    t_current = previous;
    return result;
}

void *Modeler::globalLookup(const char *name)
{
    const std::string service = printable(name);
    note("lookup " + service);
    if (withheld_.count(service) != 0)
        return nullptr;
    if (service == "Product Info")
        return reinterpret_cast<void *>(productInfo_);
    if (service == "LWM: Dynamic Monitor")
        return const_cast<MhDynamicMonitor *>(&kDynamicMonitor);
    if (service == "LWM: State Query 3")
        return const_cast<MhStateQuery *>(&kStateQuery);
    if (service == "Info Messages 2")
        return const_cast<MhInfoMessages *>(&kInfoMessages);
    if (service == "Directory Info")
        return reinterpret_cast<void *>(directoryTrampoline);
    if (service == "File Request 2")
        return reinterpret_cast<void *>(fileRequestTrampoline);
    if (service == "Scene Objects 5")
        return const_cast<MhSceneObjects *>(&kSceneObjects);
    if (service == "LWPanelServices")
        return const_cast<MhPanelServices *>(panels_);
    if (service == "Surface Functions 3" || service == "LWM: Font List" || service == "Host Display Info" ||
        service == "File Request")
        return const_cast<int *>(&kNeverCalled);
    return nullptr;
}

int Modeler::lookupCommand(const char *name)
{
    ++commandLookups_;
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
                     code, count, records != nullptr, selectionMode, {}, result};
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
    Mesh &mesh = active_->mesh;
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

MhMeshEdit *Modeler::beginMeshEdit()
{
    if (recording_)
        note("edit begin");
    if (edit_)
        return nullptr; // one edit at a time
    edit_ = std::make_unique<MeshEditState>();
    MeshEditState &edit = *edit_;
    edit.table = {&edit,
                  MeshEditState::done,
                  MeshEditState::pointCount,
                  MeshEditState::polygonCount,
                  MeshEditState::pointScan,
                  MeshEditState::polygonScan,
                  MeshEditState::pointInfo,
                  MeshEditState::polygonNormal,
                  MeshEditState::addPoint,
                  MeshEditState::addPolygon,
                  MeshEditState::setPointMapValue,
                  MeshEditState::selectPointMap,
                  MeshEditState::readPointMapValue};
    edit.host = this;
    // Ids carry the layer's slot in their top bits; a layer past them cannot be edited.
    edit.layer = active_ != nullptr && active_->slot < kMaxSlots ? active_ : nullptr;
    edit.points = edit.layer != nullptr ? edit.layer->mesh.pointCount() : 0;
    edit.polygons = edit.layer != nullptr ? edit.layer->mesh.polygonCount() : 0;
    edit.vertices = edit.layer != nullptr ? edit.layer->mesh.vertices.size() : 0;
    return &edit.table;
}

void Modeler::message(MessageKind kind, const char *first, const char *second)
{
    note(std::string(kind == MessageKind::kInfo ? "info " : "warning ") + printable(first) + " | " +
         printable(second));
    if (messages_)
        messages_(kind, first, second);
}

int Modeler::fileRequest(int version, MhFileRequest *request)
{
    if (request == nullptr)
        return 0;
    note("file request " + std::to_string(version) + " type " + std::to_string(request->type) + " " +
         printable(request->title) + " | " + printable(request->fileType) + " | " + printable(request->path) +
         " | " + printable(request->baseName));
    request->result = 0;
    std::optional<std::string> answer;
    if (!fileAnswers_.empty()) {
        answer = std::move(fileAnswers_.front());
        fileAnswers_.pop_front();
    } else if (fileDialog_) {
        answer = fileDialog_(*request);
    }
    if (!answer)
        return 1;
    const int length = request->bufferLength;
    if (request->fullName == nullptr || length <= 0 || answer->size() >= static_cast<std::size_t>(length)) {
        message(MessageKind::kWarning, "File name too long for the plug-in", answer->c_str());
        return 1;
    }
    std::memcpy(request->fullName, answer->c_str(), answer->size() + 1);
    const std::size_t slash = answer->find_last_of('/');
    const std::string base = slash == std::string::npos ? *answer : answer->substr(slash + 1);
    const std::string dir = slash == std::string::npos ? std::string() : answer->substr(0, slash);
    if (request->baseName != nullptr)
        std::memcpy(request->baseName, base.c_str(), base.size() + 1);
    if (request->path != nullptr)
        std::memcpy(request->path, dir.c_str(), dir.size() + 1);
    request->result = 1;
    return 1;
}

const char *Modeler::directory(const char *name)
{
    note("directory " + printable(name));
    if (name != nullptr && std::strcmp(name, "Content") == 0)
        return contentDirectory_.c_str();
    return nullptr;
}

const char *Modeler::layerList(int which)
{
    note("layer list " + std::to_string(which));
    layerText_.clear();
    if (which == 0) {
        layerText_ = std::to_string(object_.currentLayer);
    } else if (which == 2) {
        for (int layer : object_.background)
            layerText_ += (layerText_.empty() ? "" : " ") + std::to_string(layer);
    }
    return layerText_.c_str();
}

int Modeler::selectionModeQuery(int which)
{
    note("selection mode " + std::to_string(which));
    return which == 0 ? static_cast<int>(object_.selectionMode) : 0;
}

MhMonitor *Modeler::createMonitor(const char *title, const char *caption)
{
    note("monitor create " + printable(title) + " | " + printable(caption));
    if (monitor_)
        return nullptr;
    monitor_ = std::make_unique<MonitorState>();
    monitor_->table = {monitor_.get(), MonitorState::init, MonitorState::step, MonitorState::finish};
    monitor_->host = this;
    monitor_->title = printable(title);
    monitor_->caption = printable(caption);
    return &monitor_->table;
}

void Modeler::destroyMonitor(MhMonitor *monitor)
{
    note("monitor destroy");
    if (monitor_ && monitor == &monitor_->table)
        monitor_.reset();
}

int Modeler::weightMapCount(std::uint32_t type)
{
    int count = 0;
    for (std::size_t key = 0; key < object_.mapCount(); ++key)
        count += object_.mapInfo(static_cast<std::uint32_t>(key)).type == type;
    return count;
}

const char *Modeler::weightMapName(std::uint32_t type, int index)
{
    for (std::size_t key = 0; key < object_.mapCount(); ++key) {
        const MapInfo &info = object_.mapInfo(static_cast<std::uint32_t>(key));
        if (info.type == type && index-- == 0)
            return info.name.c_str();
    }
    return nullptr;
}

} // namespace tuft::host
