// The binary layout on a real 32-bit target: the descriptor's six words, and the
// argument records exactly as the plug-in fills them.
#include "host/clock.h"
#include "host/loader.h"
#include "host/modeler.h"
#include "toolkit/headless.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

int g_failures = 0;
int g_checks = 0;

void check(bool ok, const char *what)
{
    ++g_checks;
    if (!ok) {
        ++g_failures;
        std::fprintf(stderr, "FAIL: %s\n", what);
    }
}

// Every record of the run seen as raw bytes, so the offsets are checked, not the fields.
struct RawRecorder {
    int (*forward)(void *, int, int, const MhArgRecord *, int, MhArgRecord *);
    std::vector<std::vector<unsigned char>> records;
};
RawRecorder g_raw;

int rawExecute(void *data, int code, int count, const MhArgRecord *records, int mode, MhArgRecord *result)
{
    for (int i = 0; records != nullptr && i < count; ++i) {
        const auto *bytes = reinterpret_cast<const unsigned char *>(&records[i]);
        g_raw.records.emplace_back(bytes, bytes + 40);
    }
    return g_raw.forward(data, code, count, records, mode, result);
}

} // namespace

int main()
{
    // The offsets themselves are proven at compile time (sdk/modeler_host_layout.h); this
    // checks what the built plug-in actually fills in.
    static_assert(sizeof(void *) == 4, "this check is for 32-bit targets");

    tuft::host::PluginLibrary library(TUFT_PLUGIN_PATH);
    const auto *words = reinterpret_cast<const std::uint32_t *>(&library.descriptor());
    check(words[0] == 0x04121994u && words[1] == 3 && words[2] == 0x300, "descriptor words 1 to 3");
    check(words[5] != 0, "server table pointer in word 6");

    tuft::host::Object object;
    object.layer(1);
    tuft::host::Modeler modeler(object);
    tuft::toolkit::HeadlessPanels panels;
    modeler.setPanelServices(panels.services());
    modeler.setProgressDisplay(nullptr);
    modeler.setRecording(true);
    tuft::host::pinClock(1 ^ 0x075BD924);
    panels.setScript({{tuft::toolkit::UserAction::Type::kSet, "Number", "1"},
                      {tuft::toolkit::UserAction::Type::kSet, "Field", "2"},
                      {tuft::toolkit::UserAction::Type::kOk, "", ""}});
    // Every execute passes through rawExecute on its way to the host.
    MhCommandSequence *sequence = modeler.commandSequence();
    g_raw.forward = sequence->execute;
    sequence->execute = rawExecute;
    check(modeler.activate(library) == 0, "activation returns 0");
    check(!g_raw.records.empty(), "records were passed");

    bool sawVector = false, sawString = false;
    for (const auto &bytes : g_raw.records) {
        std::int32_t tag;
        std::memcpy(&tag, bytes.data(), 4);
        if (tag == MH_ARG_VECTOR) {
            double x, y, z;
            std::memcpy(&x, bytes.data() + 8, 8);
            std::memcpy(&y, bytes.data() + 16, 8);
            std::memcpy(&z, bytes.data() + 24, 8);
            sawVector |= y == 0.0 && x >= 0.0 && x < 2.0; // MOVE (x, 0, z) over the field
        } else if (tag == MH_ARG_STRING) {
            const char *text;
            std::memcpy(&text, bytes.data() + 4, 4);
            sawString |= text != nullptr && std::strcmp(text, "408") == 0;
        }
    }
    check(sawVector, "vector doubles at offsets 8, 16, 24");
    check(sawString, "string pointer at offset 4");
    std::printf("layout32: %d passed, %d failed\n", g_checks - g_failures, g_failures);
    return g_failures == 0 ? 0 : 1;
}
