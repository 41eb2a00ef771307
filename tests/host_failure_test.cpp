// The host's own failures while a plug-in runs: recorded, never thrown into the plug-in.
#include "tests/plugin_fixture.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

namespace tuft::testing {
namespace {

using HostFailure = PluginTest;

std::uint64_t addressSpaceInUse()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    std::uint64_t kilobytes = 0;
    while (status >> key) {
        if (key == "VmSize:" && status >> kilobytes)
            return kilobytes * 1024;
        status.ignore(256, '\n');
    }
    return 0;
}

TEST_F(HostFailure, RunningOutOfMemoryWhilePlantingEndsTheRunWithTheReason)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers reserve more address space than the limit leaves";
#endif
    modeler.setRecording(false);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Room for a few hundred thousand blades, not ten million.
        const rlimit limit{addressSpaceInUse() + (std::uint64_t(256) << 20), RLIM_INFINITY};
        setrlimit(RLIMIT_AS, &limit);
        const int status = run({set("Number", "10000000"), ok()});
        // Every command after the failure is refused at once, so the run ends soon.
        _exit(status == 0 && modeler.failure() == "out of memory" ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the run died instead of ending";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
} // namespace tuft::testing
