#include "app/job_checks.h"

#include "app/plant_job.h"
#include "host/paths.h"
#include "meshio/file_system.h"
#include "sdk/modeler_host.h"

#include <cstdio>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#endif

namespace tuft::app {

namespace {

constexpr char kPresetHeader[] = "ZELTUFTSPROUT";
constexpr std::size_t kPresetHeaderCompared = 12;

int controlInteger(const toolkit::PanelView &panel, const char *label)
{
    const toolkit::ControlView *control = panel.find(label);
    return control != nullptr ? control->integer : 0;
}

bool isOn(const toolkit::PanelView &panel, const char *label) { return controlInteger(panel, label) != 0; }

enum Mode { kGround = 0, kPoint = 1, kPolygon = 2 };

const host::Mesh *currentMesh(const host::Object &object)
{
    const host::Layer *layer = object.findLayer(object.currentLayer);
    return layer != nullptr ? &layer->mesh : nullptr;
}

const host::Mesh *backgroundMesh(const host::Object &object)
{
    const host::Layer *layer = object.background.empty() ? nullptr : object.findLayer(object.background.front());
    return layer != nullptr ? &layer->mesh : nullptr;
}

std::size_t selectedPoints(const host::Mesh &mesh) { return mesh.selectedPointCount(); }

std::size_t selectedPolygons(const host::Mesh &mesh) { return mesh.selectedPolygonCount(); }

// How many blades the run will plant at most.
std::uint64_t bladesToPlant(const toolkit::PanelView &panel, const host::Object &object)
{
    const host::Mesh *mesh = currentMesh(object);
    switch (controlInteger(panel, "Mode")) {
    case kGround:
        return static_cast<std::uint64_t>(std::max(0, controlInteger(panel, "Number")));
    case kPoint:
        return mesh != nullptr && object.selectionMode == host::SelectionMode::kPoints ? selectedPoints(*mesh) : 0;
    case kPolygon:
        return mesh != nullptr && object.selectionMode == host::SelectionMode::kPolygons ? selectedPolygons(*mesh) : 0;
    default:
        return 0;
    }
}

// A point's bytes in a layer: position, flags, and a value and flag in every map.
std::uint64_t bytesPerPoint(const host::Mesh *layer, bool withUv)
{
    std::uint64_t bytes = sizeof(host::Vec3) + 1;
    if (layer != nullptr)
        for (const host::PointMap &map : layer->pointMaps())
            bytes += 4 * map.dimension + 1;
    return bytes + (withUv ? 2 * 4 + 1 : 0);
}

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

void checkPresetName(const std::string &name)
{
    if (name.empty())
        throw UsageError("--save-preset needs a file name");
    struct stat facts;
    if (name.back() == '/' || (stat(name.c_str(), &facts) == 0 && S_ISDIR(facts.st_mode)))
        throw UsageError("--save-preset " + name + ": that is a folder; name the preset file in it");
}

std::string whySaveFailed(const std::string &name)
{
    const std::string file = name.find(".zts") == std::string::npos ? name + ".zts" : name;
    const std::string folder = folderOf(file);
    struct stat facts;
    if (stat(folder.c_str(), &facts) != 0 || !S_ISDIR(facts.st_mode))
        return "the folder " + folder + " does not exist";
    meshio::files::Target target;
    const std::string refused = meshio::files::inspectTarget(file, target);
    if (!refused.empty())
        return file + ": " + refused;
    if (access(folder.c_str(), W_OK) != 0)
        return "the folder " + folder + ": " + meshio::files::errorText(errno);
    return {};
}

std::uint64_t bytesToPlant(const toolkit::PanelView &panel, const host::Object &object)
{
    const std::uint64_t blades = bladesToPlant(panel, object);
    const host::Mesh *layer = currentMesh(object);
    std::uint64_t points, polygons, vertices;
    if (isOn(panel, "BGLayer Object")) {
        const host::Mesh *background = backgroundMesh(object);
        points = background != nullptr ? background->pointCount() : 0;
        polygons = background != nullptr ? background->polygonCount() : 0;
        vertices = background != nullptr ? background->cornerCount() : 0;
    } else {
        const std::uint64_t division = static_cast<std::uint64_t>(std::max(1, controlInteger(panel, "Division")));
        points = 2 * division + 1;
        polygons = division;
        vertices = 4 * division - 1;
    }
    const std::uint64_t perBlade = points * bytesPerPoint(layer, isOn(panel, "Add_UV")) +
                                   polygons * sizeof(host::Polygon) + vertices * sizeof(std::uint32_t);
    return blades * perBlade;
}

std::uint64_t availableMemory()
{
#ifdef _WIN32
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status))
        return 0;
    return std::min<std::uint64_t>(status.ullAvailPageFile, status.ullAvailVirtual);
#else
    std::uint64_t available = 0, swapFree = 0;
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    std::uint64_t kilobytes = 0;
    while (meminfo >> key >> kilobytes) {
        if (key == "MemAvailable:")
            available = kilobytes * 1024;
        else if (key == "SwapFree:")
            swapFree = kilobytes * 1024;
        meminfo.ignore(64, '\n');
    }
    std::uint64_t total = available + swapFree;
    rlimit limit;
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < total)
        total = limit.rlim_cur;
    return total;
#endif
}

std::string sizeText(std::uint64_t bytes)
{
    char text[32];
    if (bytes >= (std::uint64_t(1) << 30))
        std::snprintf(text, sizeof text, "%.1f GB", double(bytes) / (1 << 30));
    else
        std::snprintf(text, sizeof text, "%.0f MB", double(bytes) / (1 << 20));
    return text;
}

std::string whyNothingWasPlanted(const toolkit::PanelView &panel, const host::Object &object)
{
    const host::Mesh *layer = currentMesh(object);
    const bool byBackground = isOn(panel, "BGLayer Object");
    const host::Mesh *background = backgroundMesh(object);
    if (byBackground && (background == nullptr || background->empty()))
        return "\"BGLayer Object\" plants copies of the background layer, and it is empty";
    switch (controlInteger(panel, "Mode")) {
    case kGround:
        return "\"Number\" is " + std::to_string(controlInteger(panel, "Number"));
    case kPoint: {
        if (layer == nullptr || object.selectionMode != host::SelectionMode::kPoints || selectedPoints(*layer) == 0)
            return "Point mode plants on selected points, and none is selected (--select points:WHICH)";
        if (!isOn(panel, "(WeightMap)"))
            break;
        const long key = object.findMapKey(MH_MAP_WEIGHT, "ZTSW");
        if (key < 0 || layer->findMap(static_cast<std::uint32_t>(key)) == nullptr) {
            std::string others;
            for (const host::PointMap &map : layer->pointMaps())
                if (object.mapInfo(map.key).type == MH_MAP_WEIGHT)
                    others += (others.empty() ? "" : ", ") + object.mapInfo(map.key).name;
            return "\"(WeightMap)\" sizes blades by the weight map \"ZTSW\", and the layer has none" +
                   (others.empty() ? std::string() : " (its weight maps: " + others + ")");
        }
        return "\"(WeightMap)\" plants only where the weight \"ZTSW\" is above 0, and no selected point's is";
    }
    case kPolygon:
        if (layer == nullptr || object.selectionMode != host::SelectionMode::kPolygons || selectedPolygons(*layer) == 0)
            return "Polygon mode plants on selected polygons, and none is selected (--select polygons:WHICH)";
        break;
    default:
        break;
    }
    return "the run added no geometry";
}

} // namespace tuft::app
