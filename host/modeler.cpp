// The Modeler stand-in's life: set-up, one activation at a time, and its records.
#include "host/modeler.h"

#include "host/loader.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace tuft::host {

namespace {

thread_local Modeler *t_current = nullptr;

} // namespace

Modeler::Modeler(Object &object) : object_(object), sequence_(sequenceFor(this))
{
    messages_ = [](MessageKind kind, const char *first, const char *second) {
        std::fprintf(stderr, "%s: %s: %s\n", kind == MessageKind::kInfo ? "info" : "warning", printable(first).c_str(),
                     printable(second).c_str());
    };
    progress_ = makeTerminalProgress();
}

Modeler::~Modeler() = default;

void Modeler::setProgressDisplay(std::unique_ptr<ProgressDisplay> display) { progress_ = std::move(display); }

Modeler *Modeler::current() { return t_current; }

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
    const int result = library.activate(version, globalFunction(), &sequence_, serverData);
    // Edits and monitors the plug-in left open end with the command.
    endOpenEdit();
    closeOpenMonitor();
    t_current = previous;
    return result;
}

} // namespace tuft::host
