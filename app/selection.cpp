#include "app/selection.h"

#include "app/plant_job.h"

#include <charconv>

namespace tuft::app {

namespace {

std::size_t parseIndex(const std::string &text, const std::string &request)
{
    std::size_t value = 0;
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || parsed.ec != std::errc() || parsed.ptr != text.data() + text.size())
        throw UsageError("--select " + request + ": \"" + text + "\" is not an index");
    return value;
}

// Marks the listed indices ("0-99,120") in `flags`, which has one entry per element.
void markList(const std::string &list, const std::string &request, std::vector<bool> &flags, const char *kind)
{
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t comma = list.find(',', start);
        if (comma == std::string::npos)
            comma = list.size();
        const std::string item = list.substr(start, comma - start);
        const std::size_t dash = item.find('-');
        const std::size_t first = parseIndex(item.substr(0, dash), request);
        const std::size_t last = dash == std::string::npos ? first : parseIndex(item.substr(dash + 1), request);
        if (last < first)
            throw UsageError("--select " + request + ": the range " + item + " runs backwards");
        if (last >= flags.size())
            throw UsageError("--select " + request + ": " + kind + " " + std::to_string(last) +
                             " does not exist (the layer has " + std::to_string(flags.size()) + ")");
        for (std::size_t i = first; i <= last; ++i)
            flags[i] = true;
        start = comma + 1;
    }
}

} // namespace

void applySelection(host::Object &object, int layerNumber, const std::string &request)
{
    const std::size_t colon = request.find(':');
    const std::string kind = request.substr(0, colon);
    if (colon == std::string::npos || (kind != "points" && kind != "polygons"))
        throw UsageError("--select takes points:WHICH or polygons:WHICH, not \"" + request + "\"");
    const std::string which = request.substr(colon + 1);
    const bool polygons = kind == "polygons";
    host::LayerMesh &mesh = object.layer(layerNumber)->mesh;
    std::vector<bool> chosen(polygons ? mesh.polygonCount() : mesh.pointCount(), false);

    if (which == "all") {
        chosen.assign(chosen.size(), true);
    } else if (which.rfind("group:", 0) == 0) {
        const std::string group = which.substr(6);
        bool found = false;
        for (std::size_t p = 0; p < mesh.polygonCount(); ++p) {
            const host::Polygon polygon = mesh.polygon(p);
            if (object.surfaceName(polygon.surface) != group)
                continue;
            found = true;
            if (polygons)
                chosen[p] = true;
            else
                for (std::uint32_t v = 0; v < polygon.vertexCount; ++v)
                    chosen[mesh.cornerPoint(polygon.firstVertex + v)] = true;
        }
        if (!found)
            throw UsageError("--select " + request + ": no polygon belongs to the group \"" + group + "\"");
    } else {
        markList(which, request, chosen, polygons ? "polygon" : "point");
    }

    object.selectionMode = polygons ? host::SelectionMode::kPolygons : host::SelectionMode::kPoints;
    if (polygons) {
        for (std::size_t p = 0; p < chosen.size(); ++p)
            mesh.setPolygonFlags(p, chosen[p] ? (mesh.polygon(p).flags | MH_FLAG_SELECTED)
                                              : (mesh.polygon(p).flags & ~MH_FLAG_SELECTED));
    } else {
        for (std::size_t i = 0; i < chosen.size(); ++i)
            mesh.setPointFlags(i, chosen[i] ? (mesh.pointFlags(i) | MH_FLAG_SELECTED)
                                            : (mesh.pointFlags(i) & ~MH_FLAG_SELECTED));
    }
}

} // namespace tuft::app
