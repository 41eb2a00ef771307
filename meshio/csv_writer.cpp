// The planted blades as a table for pipelines (an engine's import script): one placement
// a line, as glTF's instancing says it (translation, rotation as a unit quaternion x, y,
// z, w, scale; T·R·S), after the blade's number in planting order, then the blade's
// layer. Only blades kept as instances whose placements T·R·S can say are listed: the
// rest of the object is not a placement. Lines are formatted on every core.
#include "meshio/atomic_file.h"
#include "meshio/export_layer.h"
#include "meshio/formats.h"
#include "meshio/gltf_instances.h"
#include "meshio/output_set.h"
#include "meshio/parallel_text.h"
#include "meshio/writing.h"

#include <utility>

namespace tuft::meshio {

namespace {

constexpr const char *kHeader = "id,translation_x,translation_y,translation_z,rotation_x,rotation_y,rotation_z,"
                                "rotation_w,scale_x,scale_y,scale_z,layer\n";

void writeRow(TextAppender &out, std::size_t id, const gltf::Trs &trs, int layer)
{
    out.number(static_cast<std::uint64_t>(id));
    for (const float value : trs.translation) {
        out.character(',');
        out.number(value);
    }
    for (const float value : trs.rotation) {
        out.character(',');
        out.number(value);
    }
    for (const float value : trs.scale) {
        out.character(',');
        out.number(value);
    }
    out.character(',');
    out.number(static_cast<std::uint64_t>(layer));
    out.character('\n');
}

} // namespace

WrittenCounts writeCsv(OutputSet &outputs, const std::string &path, const std::vector<const host::Layer *> &chosen,
                       const host::Object &, const WriteOptions &options)
{
    WrittenCounts counts;
    std::vector<std::pair<int, gltf::InstancedRun>> runs;
    std::size_t rows = 0;
    for (const host::Layer *layer : chosen)
        for (const gltf::InstancedRun &run : gltf::splitInstances(*layer).runs) {
            runs.push_back({layer->number, run});
            rows += run.run->count;
        }
    AtomicFile &file = outputs.add(path);
    file.write(kHeader, std::char_traits<char>::length(kHeader));
    ProgressCount progress(options.progress, rows);
    const bool zUp = options.up == UpAxis::kZ;
    for (const std::pair<int, gltf::InstancedRun> &layerRun : runs) {
        const int layer = layerRun.first;
        const host::InstanceRun &run = *layerRun.second.run;
        const std::size_t firstId = layerRun.second.firstId;
        writeInChunks(file, progress, run.count, [&](std::size_t first, std::size_t end, TextAppender &out) {
            for (std::size_t i = first; i < end; ++i) {
                const gltf::Trs trs = gltf::trsOf(run, i);
                writeRow(out, firstId + i, zUp ? gltf::zUpTrs(trs) : trs, layer);
            }
        });
    }
    file.complete();
    counts.placements = rows;
    return counts;
}

} // namespace tuft::meshio
