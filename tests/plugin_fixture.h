// A host with the built plug-in loaded, a headless panel and a recording of the run.
#pragma once

#include "host/clock.h"
#include "host/loader.h"
#include "host/modeler.h"
#include "toolkit/headless.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tuft::testing {

using toolkit::UserAction;

inline UserAction set(const std::string &control, const std::string &value)
{
    return {UserAction::Type::kSet, control, value};
}
inline UserAction press(const std::string &control) { return {UserAction::Type::kPress, control, ""}; }
inline UserAction ok() { return {UserAction::Type::kOk, "", ""}; }
inline UserAction cancel() { return {UserAction::Type::kCancel, "", ""}; }

// The clock that makes the random state start at 1.
constexpr std::int64_t kStateOneClock = 1 ^ 0x075BD924;

class PluginTest : public ::testing::Test {
public:
    PluginTest()
    {
        object.layer(1);
        modeler.setPanelServices(panels.services());
        modeler.setRecording(true);
        modeler.setMessageSink([this](host::MessageKind, const char *a, const char *b) {
            messages.push_back(std::string(a) + " | " + b);
        });
        modeler.setProgressDisplay(nullptr);
        host::pinClock(kStateOneClock);
        panels.onOpened = [this](const toolkit::PanelView &view) { opened = view; };
        panels.onClosing = [this](const toolkit::PanelView &view) { closing = view; };
    }
    ~PluginTest() override { host::pinClock(std::nullopt); }

    int run(std::vector<UserAction> actions)
    {
        panels.setScript(std::move(actions));
        return modeler.activate(*library);
    }

    // The executes of the last run, by name.
    std::vector<std::string> commandNames() const
    {
        std::vector<std::string> names;
        for (const host::CommandCall &call : modeler.commandCalls())
            names.push_back(call.name);
        return names;
    }

    const host::LayerMesh &layer(int number) { return object.layer(number)->mesh; }

    // The executes of one command in the last run, in order.
    std::vector<const host::CommandCall *> calls(const std::string &name) const
    {
        std::vector<const host::CommandCall *> found;
        for (const host::CommandCall &call : modeler.commandCalls())
            if (call.name == name)
                found.push_back(&call);
        return found;
    }
    const host::CommandCall &nth(const std::string &name, std::size_t index) const
    {
        const auto found = calls(name);
        if (index >= found.size())
            throw std::runtime_error("no " + name + " number " + std::to_string(index));
        return *found[index];
    }

    // The monitor's events of the last run, in order.
    std::vector<std::string> monitorEvents() const
    {
        std::vector<std::string> found;
        for (const std::string &event : modeler.events())
            if (event.rfind("monitor", 0) == 0)
                found.push_back(event);
        return found;
    }

    // The draws after a state of 1, computed independently of the plug-in.
    static std::vector<double> drawsFromOne(int count)
    {
        std::vector<double> draws;
        std::uint64_t state = 1;
        for (int i = 0; i < count; ++i) {
            state = state * 69069u % 4294967296u;
            draws.push_back(double(state) / 4294967296.0);
        }
        return draws;
    }

    host::Object object;
    toolkit::HeadlessPanels panels;
    host::Modeler modeler{object};
    // Loaded afresh for every test, so no state carries over from another test.
    std::unique_ptr<host::PluginLibrary> library = std::make_unique<host::PluginLibrary>(TUFT_PLUGIN_PATH);
    std::vector<std::string> messages;
    toolkit::PanelView opened, closing;
};

} // namespace tuft::testing
