// The services a plug-in looks up by name, and the C tables that reach them. The
// tables carry no context, so their trampolines reach the host whose activation runs.
#include "host/modeler.h"
#include "host/paths.h"

#include <cstring>

namespace tuft::host {

namespace {

// What command execute answers once the host itself has failed.
constexpr int kHostFailed = 4;

// Services the plug-in requires but never calls through.
const int kNeverCalled = 0;

} // namespace

struct Modeler::Tables {
    static void *global(const char *name, int) { return current()->globalLookup(name); }

    // The command-sequence interface carries its host as data.
    static int lookup(void *data, const char *name) { return static_cast<Modeler *>(data)->lookupCommand(name); }
    static int execute(void *data, int code, int count, const MhArgRecord *records, int selectionMode, MhArgRecord *)
    {
        auto *host = static_cast<Modeler *>(data);
        return host->guarded(kHostFailed, [&] { return host->execute(code, count, records, selectionMode); });
    }
    static MhMeshEdit *beginEdit(void *data, int, int, int)
    {
        auto *host = static_cast<Modeler *>(data);
        return host->guarded<MhMeshEdit *>(nullptr, [&] { return host->beginMeshEdit(); });
    }

    static const char *layerList(int which, const char *) { return current()->layerList(which); }
    static int selectionMode(int which) { return current()->selectionModeQuery(which); }
    static constexpr MhStateQuery kStateQuery = {layerList, selectionMode};

    static MhMonitor *createMonitor(const char *title, const char *caption)
    {
        return current()->createMonitor(title, caption);
    }
    static void destroyMonitor(MhMonitor *monitor) { current()->destroyMonitor(monitor); }
    static constexpr MhDynamicMonitor kDynamicMonitor = {createMonitor, destroyMonitor};

    static void info(const char *first, const char *second) { current()->message(MessageKind::kInfo, first, second); }
    static void warning(const char *first, const char *second)
    {
        current()->message(MessageKind::kWarning, first, second);
    }
    static constexpr MhInfoMessages kInfoMessages = {info, warning};

    static int fileRequest(int version, MhFileRequest *request) { return current()->fileRequest(version, request); }
    static const char *directory(const char *name) { return current()->directory(name); }

    static int mapCount(std::uint32_t type) { return current()->weightMapCount(type); }
    static const char *mapName(std::uint32_t type, int index) { return current()->weightMapName(type, index); }
    static constexpr MhSceneObjects kSceneObjects = {mapCount, mapName};
};

MhGlobalFn Modeler::globalFunction() { return Tables::global; }

MhCommandSequence Modeler::sequenceFor(Modeler *host)
{
    return {host, Tables::lookup, Tables::execute, Tables::beginEdit};
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
        return const_cast<MhDynamicMonitor *>(&Tables::kDynamicMonitor);
    if (service == "LWM: State Query 3")
        return const_cast<MhStateQuery *>(&Tables::kStateQuery);
    if (service == "Info Messages 2")
        return const_cast<MhInfoMessages *>(&Tables::kInfoMessages);
    if (service == "Directory Info")
        return reinterpret_cast<void *>(Tables::directory);
    if (service == "File Request 2")
        return reinterpret_cast<void *>(Tables::fileRequest);
    if (service == "Scene Objects 5")
        return const_cast<MhSceneObjects *>(&Tables::kSceneObjects);
    if (service == "LWPanelServices")
        return const_cast<MhPanelServices *>(panels_);
    if (service == "Surface Functions 3" || service == "LWM: Font List" || service == "Host Display Info" ||
        service == "File Request")
        return const_cast<int *>(&kNeverCalled);
    return nullptr;
}

void Modeler::message(MessageKind kind, const char *first, const char *second)
{
    note(std::string(kind == MessageKind::kInfo ? "info " : "warning ") + printable(first) + " | " + printable(second));
    if (messages_)
        messages_(kind, first, second);
}

int Modeler::fileRequest(int version, MhFileRequest *request)
{
    if (request == nullptr)
        return 0;
    note("file request " + std::to_string(version) + " type " + std::to_string(request->type) + " " +
         printable(request->title) + " | " + printable(request->fileType) + " | " + printable(request->path) + " | " +
         printable(request->baseName));
    request->result = 0;
    std::optional<std::string> answer;
    lastFileAnswer_.clear();
    if (!fileAnswers_.empty()) {
        answer = std::move(fileAnswers_.front());
        fileAnswers_.pop_front();
    } else if (fileDialog_) {
        answer = fileDialog_(*request);
    }
    if (!answer)
        return 1;
    lastFileAnswer_ = *answer;
    const int length = request->bufferLength;
    if (request->fullName == nullptr || length <= 0 || answer->size() >= static_cast<std::size_t>(length)) {
        message(MessageKind::kWarning, "File name too long for the plug-in", answer->c_str());
        return 1;
    }
    std::memcpy(request->fullName, answer->c_str(), answer->size() + 1);
    const std::size_t slash = lastSeparator(*answer);
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
