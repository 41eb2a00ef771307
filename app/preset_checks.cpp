#include "app/preset_checks.h"

#include "app/folders.h"
#include "app/plant_job.h"
#include "host/paths.h"
#include "meshio/file_system.h"

#include <cerrno>

namespace tuft::app {

namespace {

constexpr char kPresetHeader[] = "ZELTUFTSPROUT";
constexpr std::size_t kPresetHeaderCompared = 12;

std::string folderOf(const std::string &path)
{
    const std::size_t slash = host::lastSeparator(path);
    if (slash == std::string::npos)
        return ".";
    return slash == 0 || path[slash] == ':' ? path.substr(0, slash + 1) : path.substr(0, slash); // "/", "C:"
}

} // namespace

std::string presetProblem(const std::string &path)
{
    std::uint64_t size = 0;
    std::string problem;
    const int fd = meshio::files::openInput(path, size, problem);
    if (fd < 0)
        return problem;
    char head[64] = {};
    const long long got = meshio::files::readSome(fd, head, sizeof head - 1);
    meshio::files::closeFile(fd);
    if (got < 0)
        return meshio::files::errorText(errno);
    if (got == 0)
        return "it is empty";
    const std::string text(head, static_cast<std::size_t>(got));
    if (text.compare(0, kPresetHeaderCompared, kPresetHeader, kPresetHeaderCompared) != 0)
        return "it is not a preset: its first line is not " + std::string(kPresetHeader);
    const std::size_t lineEnd = text.find('\n');
    if (lineEnd == std::string::npos || text.find_first_not_of(" \t\r\n", lineEnd) == std::string::npos)
        return "it holds no values, only its first line";
    return {};
}

std::string presetFileName(const std::string &name)
{
    return name.find(".zts") == std::string::npos ? name + ".zts" : name;
}

void checkPresetName(const std::string &name)
{
    if (name.empty())
        throw UsageError("--save-preset needs a file name");
    if (name.back() == '/' || isFolder(name))
        throw UsageError("--save-preset " + name + ": that is a folder; name the preset file in it");
}

std::string whySaveFailed(const std::string &name)
{
    const std::string file = presetFileName(name);
    const std::string folder = folderOf(file);
    if (!isFolder(folder))
        return "the folder " + folder + " does not exist";
    meshio::files::Target target;
    const std::string refused = meshio::files::inspectTarget(file, target);
    if (!refused.empty())
        return file + ": " + refused;
    const std::string refusal = whyFolderRefusesFiles(folder);
    if (!refusal.empty())
        return "the folder " + folder + ": " + refusal;
    return {};
}

} // namespace tuft::app
