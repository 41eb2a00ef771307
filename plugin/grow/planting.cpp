#include "plugin/grow/planting.h"

#include "plugin/entry/commands.h"
#include "plugin/grow/angles.h"
#include "plugin/grow/transfer.h"

#include <cmath>
#include <ctime>

namespace tuft {

namespace {

// "進行具合" and "進行中" in Shift-JIS.
const char kPointTitle[] = "\x90\x69\x8D\x73\x8B\xEF\x8D\x87";
const char kPointCaption[] = "\x90\x69\x8D\x73\x92\x86";

unsigned monitorTotal(int count) { return count > 0 ? static_cast<unsigned>(count) : 0u; }

void seedFromClock(RandomSource &random) { random.seed(static_cast<std::uint64_t>(std::time(nullptr))); }

void scaleAndTurn(Host &host, const Scale &scale, double turn)
{
    scaleLayer(host, scale.x, scale.y, scale.z);
    rotateLayer(host, turn, "Y");
}

// The normal of a captured polygon; upright when the host gives none, so that the
// buffer is never read unset and such a polygon gets a blade like a level one.
void queryNormal(Host &host, MhPolygonId polygon, double (&normal)[3])
{
    normal[0] = 0.0;
    normal[1] = 1.0;
    normal[2] = 0.0;
    if (!beginEdit(host))
        return;
    host.edit->polygonNormal(host.edit->state, polygon, normal);
    endEdit(host);
}

} // namespace

void plantGround(Run &run, const GroundOptions &ground, const RunValues &values)
{
    Host &host = run.host;
    seedFromClock(run.random);
    openMonitor(host, run.monitor, "progressing", "progressing", monitorTotal(ground.number));
    for (int blade = 0; blade < ground.number; ++blade) {
        bladeIntake(host);
        const Scale scale = drawScale(run.random, values);
        const double x = run.random.draw() * ground.field;
        const double z = run.random.draw() * ground.field;
        scaleAndTurn(host, scale, drawTurn(run.random, values));
        moveLayer(host, x, 0.0, z);
        bladeHandOver(host);
        stepMonitor(run.monitor);
    }
    disposeTemplate(host, Disposal::kCut);
    closeMonitor(host, run.monitor);
}

void plantPoints(Run &run, const PointTargets &targets, bool byWeight, const RunValues &values)
{
    Host &host = run.host;
    seedFromClock(run.random);
    openMonitor(host, run.monitor, kPointTitle, kPointCaption, monitorTotal(targets.count));
    for (int i = 0; i < targets.count; ++i) {
        Scale scale;
        if (byWeight) {
            const double weight = targets.weights[i];
            if (!(weight > 0) || !std::isfinite(weight))
                continue;
            bladeIntake(host);
            scale = {weight, weight, weight};
        } else {
            bladeIntake(host);
            scale = drawScale(run.random, values);
        }
        scaleAndTurn(host, scale, drawTurn(run.random, values));
        const double *position = targets.positions[i];
        moveLayer(host, position[0], position[1], position[2]);
        bladeHandOver(host);
        stepMonitor(run.monitor);
    }
    disposeTemplate(host, Disposal::kDelete);
    closeMonitor(host, run.monitor);
}

void plantPolygons(Run &run, const PolygonTargets &targets, const RunValues &values)
{
    Host &host = run.host;
    seedFromClock(run.random);
    openMonitor(host, run.monitor, "progressing", "progressing", monitorTotal(targets.count));
    double normal[3];
    for (int i = 0; i < targets.count; ++i) {
        queryNormal(host, targets.ids[i], normal);
        bladeIntake(host);
        const Scale scale = drawScale(run.random, values);
        scaleAndTurn(host, scale, drawTurn(run.random, values));
        const Alignment tilt = alignmentFromNormal(normal);
        rotateLayer(host, tilt.aboutX, "X");
        rotateLayer(host, tilt.aboutZ, "Z");
        const double *centre = targets.centres[i];
        moveLayer(host, centre[0], centre[1], centre[2]);
        bladeHandOver(host);
        stepMonitor(run.monitor);
    }
    disposeTemplate(host, Disposal::kDelete);
    closeMonitor(host, run.monitor);
}

} // namespace tuft
