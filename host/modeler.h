// The Modeler stand-in: runs a plug-in's command against an Object through the host
// interface (commands, mesh edits and the services looked up by name).
#pragma once

#include "sdk/modeler_host.h"
#include "host/object.h"

#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tuft::host {

class PluginLibrary;

// One argument record as the host decoded it.
struct DecodedArgument {
    int type;
    std::string text;     // string records
    double values[3];     // float (values[0]) and vector records
};

// One command execute, as the plug-in issued it.
struct CommandCall {
    std::string name; // empty for an unknown code
    int code;
    int count;
    bool recordsGiven; // false when the plug-in passed no record array
    int selectionMode;
    std::vector<DecodedArgument> arguments;
    int result;
};

// Where progress goes: the terminal by default, a window in the GUI.
class ProgressDisplay {
public:
    virtual ~ProgressDisplay() = default;
    virtual void start(const char *title, const char *caption, std::uint32_t total) = 0;
    virtual void advance(std::uint64_t done) = 0;
    virtual void finish() = 0;
};

// A monitor text for showing: Shift-JIS bytes (as the point-mode texts are) in UTF-8,
// anything that does not convert as it is.
std::string displayText(const char *text);

// A bar on standard error when it is a terminal, redrawn a few times a second at most;
// nothing otherwise.
std::unique_ptr<ProgressDisplay> makeTerminalProgress();
// The same bar drawn on `out` whatever it is.
std::unique_ptr<ProgressDisplay> makeProgressBar(std::FILE *out);

enum class MessageKind { kInfo, kWarning };
using MessageSink = std::function<void(MessageKind, const char *firstLine, const char *secondLine)>;

class Modeler {
public:
    explicit Modeler(Object &object);
    ~Modeler();
    Modeler(const Modeler &) = delete;
    Modeler &operator=(const Modeler &) = delete;

    Object &object() { return object_; }

    // --- what the host offers -----------------------------------------------------
    void setPanelServices(const MhPanelServices *panels) { panels_ = panels; }
    // Makes the global lookup answer null for that service name.
    void withholdService(const std::string &name) { withheld_.insert(name); }
    void setProductInfo(std::uintptr_t value) { productInfo_ = value; }
    void setContentDirectory(std::string directory) { contentDirectory_ = std::move(directory); }
    // Answers for the file dialogs, in order: a path confirms, nullopt cancels. With no
    // answer left a dialog is cancelled.
    void queueFileAnswer(std::optional<std::string> path) { fileAnswers_.push_back(std::move(path)); }
    void setMessageSink(MessageSink sink) { messages_ = std::move(sink); }
    // Asks a person for a file when no queued answer is left; nullopt means cancelled.
    using FileDialog = std::function<std::optional<std::string>(const MhFileRequest &request)>;
    void setFileDialog(FileDialog dialog) { fileDialog_ = std::move(dialog); }
    void setProgressDisplay(std::unique_ptr<ProgressDisplay> display);

    // --- running a command ----------------------------------------------------------
    // Calls the library's server with this host's services; returns what activate returned.
    int activate(const PluginLibrary &library, int version = 3, void *serverData = nullptr);
    MhCommandSequence *commandSequence() { return &sequence_; }

    // --- what happened, for tests and diagnostics --------------------------------------
    // Keeps every command execute and service call from now on (costly for big runs).
    void setRecording(bool on) { recording_ = on; }
    const std::vector<CommandCall> &commandCalls() const { return calls_; }
    // One line per service call: "lookup Product Info", "monitor init 100", ...
    const std::vector<std::string> &events() const { return events_; }
    void clearRecords();
    int commandLookups() const { return commandLookups_; }
    int refusedCommands() const { return refusedCommands_; }

    // The layer the last SETLAYER chose (the user's layer at the start); null after a
    // refused SETLAYER, until the next good one.
    Layer *activeLayer() { return active_; }

    // Element ids as handed to the plug-in.
    static MhPointId pointId(int slot, std::uint32_t index);
    static MhPolygonId polygonId(int slot, std::uint32_t index);
    struct Element {
        Layer *layer;
        std::uint32_t index;
    };
    std::optional<Element> point(MhPointId id);
    std::optional<Element> polygon(MhPolygonId id);

    // The unit normal by Newell's method; nullopt for fewer than three points or a
    // degenerate polygon.
    static std::optional<Vec3> polygonNormal(const Mesh &mesh, std::uint32_t polygon);

    // Services reached through the C tables; public for the tables' trampolines.
    static Modeler *current();
    void *globalLookup(const char *name);
    int lookupCommand(const char *name);
    int execute(int code, int count, const MhArgRecord *records, int selectionMode);
    MhMeshEdit *beginMeshEdit();
    void note(std::string event);
    bool recording() const { return recording_; }
    void message(MessageKind kind, const char *first, const char *second);
    int fileRequest(int version, MhFileRequest *request);
    const char *directory(const char *name);
    const char *layerList(int which);
    int selectionModeQuery(int which);
    MhMonitor *createMonitor(const char *title, const char *caption);
    void destroyMonitor(MhMonitor *monitor);
    int weightMapCount(std::uint32_t type);
    const char *weightMapName(std::uint32_t type, int index);

    struct MeshEditState;
    struct MonitorState;

private:
    int runCommand(int code, int count, const MhArgRecord *records);
    [[gnu::noinline]] int executeRecorded(int code, int count, const MhArgRecord *records, int selectionMode);
    int selectLayer(const char *text);

    // The layers SETLAYER named last, by their text: a run names the same few layers
    // millions of times. Layers are never removed, so an entry stays true; it is
    // emptied on each activation all the same.
    struct NamedLayer {
        char text[8];
        Layer *layer;
    };
    static constexpr std::size_t kNamedLayers = 4;

    Object &object_;
    Layer *active_ = nullptr;
    NamedLayer namedLayers_[kNamedLayers] = {};
    std::size_t nextNamedLayer_ = 0;
    MhCommandSequence sequence_;
    const MhPanelServices *panels_ = nullptr;
    std::set<std::string> withheld_;
    std::uintptr_t productInfo_ = 0x20;
    std::string contentDirectory_ = ".";
    std::deque<std::optional<std::string>> fileAnswers_;
    MessageSink messages_;
    FileDialog fileDialog_;
    std::unique_ptr<ProgressDisplay> progress_;
    std::unique_ptr<MeshEditState> edit_;
    std::unique_ptr<MonitorState> monitor_;
    std::string layerText_;
    bool recording_ = false;
    std::vector<CommandCall> calls_;
    std::vector<std::string> events_;
    int commandLookups_ = 0;
    int refusedCommands_ = 0;
};

} // namespace tuft::host
