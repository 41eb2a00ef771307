// The Modeler stand-in: runs a plug-in's command against an Object through the host
// interface (commands, mesh edits and the services looked up by name).
#pragma once

#include "host/object.h"
#include "host/progress.h"
#include "sdk/modeler_host.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tuft::host {

class PluginLibrary;

// One argument record as the host decoded it.
struct DecodedArgument {
    int type;
    std::string text; // string records
    double values[3]; // float (values[0]) and vector records
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

// A text a plug-in passed, for records and messages: "(null)" for none.
inline std::string printable(const char *text) { return text != nullptr ? text : "(null)"; }

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

    // What failed in the host itself while the plug-in ran (running out of memory,
    // say); empty when nothing did. After a failure every command and edit is refused
    // at once, so that the run ends quickly; nothing is thrown into the plug-in.
    const std::string &failure() const { return failure_; }
    // The path the last file dialog answered, empty after a cancel.
    const std::string &lastFileAnswer() const { return lastFileAnswer_; }

private:
    struct Tables;        // the services' C tables and their trampolines (services.cpp)
    struct MeshEditState; // an open mesh edit (mesh_edit.cpp)
    struct MonitorState;  // an open progress monitor (monitor.cpp)
    // Each state is complete only in its own file, which frees it there.
    struct FreeEdit {
        void operator()(MeshEditState *edit) const;
    };
    struct FreeMonitor {
        void operator()(MonitorState *monitor) const;
    };

    // The host whose activation is running: the service tables carry no context.
    static Modeler *current();
    static MhGlobalFn globalFunction();
    static MhCommandSequence sequenceFor(Modeler *host);

    // Services (services.cpp).
    void *globalLookup(const char *name);
    void message(MessageKind kind, const char *first, const char *second);
    int fileRequest(int version, MhFileRequest *request);
    const char *directory(const char *name);
    const char *layerList(int which);
    int selectionModeQuery(int which);
    int weightMapCount(std::uint32_t type);
    const char *weightMapName(std::uint32_t type, int index);

    // Commands (commands.cpp).
    int lookupCommand(const char *name);
    int execute(int code, int count, const MhArgRecord *records, int selectionMode);
    int runCommand(int code, int count, const MhArgRecord *records);
    [[gnu::noinline]] int executeRecorded(int code, int count, const MhArgRecord *records, int selectionMode);
    int selectLayer(const char *text);

    MhMeshEdit *beginMeshEdit(); // mesh_edit.cpp
    void endOpenEdit();
    MhMonitor *createMonitor(const char *title, const char *caption); // monitor.cpp
    void destroyMonitor(MhMonitor *monitor);
    void closeOpenMonitor();

    void note(std::string event);

    // Runs work for a plug-in's call: `refused` once the host has failed, or when work
    // throws, which records the failure.
    template <typename Result, typename Work> Result guarded(Result refused, Work &&work) noexcept
    {
        if (!failure_.empty())
            return refused;
        try {
            return work();
        } catch (const std::bad_alloc &) {
            failure_ = "out of memory";
        } catch (const std::exception &error) {
            failure_ = error.what();
        }
        return refused;
    }

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
    std::unique_ptr<MeshEditState, FreeEdit> edit_;
    std::unique_ptr<MonitorState, FreeMonitor> monitor_;
    std::string layerText_;
    bool recording_ = false;
    std::vector<CommandCall> calls_;
    std::vector<std::string> events_;
    int commandLookups_ = 0;
    int refusedCommands_ = 0;
    std::string failure_;
    std::string lastFileAnswer_;
};

} // namespace tuft::host
