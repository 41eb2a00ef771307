#include "grow/planting.h"

#include "entry/capture.h"
#include "entry/commands.h"
#include "grow/angles.h"
#include "grow/transfer.h"
#include "panel/controls.h"

namespace tuft {

namespace {

// "進行具合" and "進行中" in Shift-JIS.
const char kPointTitle[] = "\x90\x69\x8D\x73\x8B\xEF\x8D\x87";
const char kPointCaption[] = "\x90\x69\x8D\x73\x92\x86";

unsigned monitorTotal(int count) { return count > 0 ? static_cast<unsigned>(count) : 0u; }

void scaleAndTurn(const Scale &scale, double turn)
{
    scaleLayer(scale.x, scale.y, scale.z);
    rotateLayer(turn, "Y");
}

// The normal of a captured polygon; upright when the host gives none, so that the
// buffer is never read unset and such a polygon gets a blade like a level one.
void queryNormal(MhPolygonId polygon, double (&normal)[3])
{
    normal[0] = 0.0;
    normal[1] = 1.0;
    normal[2] = 0.0;
    if (!beginEdit())
        return;
    g_meshEdit->polygonNormal(g_meshEdit->state, polygon, normal);
    endEdit();
}

} // namespace

void plantGround()
{
    const int number = getInt(kNumber);
    const RunValues run = readRunValues();
    const double field = getDouble(kField);
    seedFromClock();
    openMonitor("progressing", "progressing", monitorTotal(number));
    for (int blade = 0; blade < number; ++blade) {
        bladeIntake();
        const Scale scale = drawScale(g_random, run);
        const double x = g_random.draw() * field;
        const double z = g_random.draw() * field;
        scaleAndTurn(scale, drawTurn(g_random, run));
        moveLayer(x, 0.0, z);
        bladeHandOver();
        stepMonitor();
    }
    disposeTemplate(Disposal::kCut);
    closeMonitor();
}

void plantPoints(const double (*positions)[3], int count, const float *weights)
{
    const bool byWeight = getInt(kWeightMap) == 1;
    const RunValues run = readRunValues();
    seedFromClock();
    openMonitor(kPointTitle, kPointCaption, monitorTotal(count));
    for (int i = 0; i < count; ++i) {
        Scale scale;
        if (byWeight) {
            const double weight = weights[i];
            if (!(weight > 0))
                continue;
            bladeIntake();
            scale = {weight, weight, weight};
        } else {
            bladeIntake();
            scale = drawScale(g_random, run);
        }
        scaleAndTurn(scale, drawTurn(g_random, run));
        moveLayer(positions[i][0], positions[i][1], positions[i][2]);
        bladeHandOver();
        stepMonitor();
    }
    disposeTemplate(Disposal::kDelete);
    closeMonitor();
}

void plantPolygons(int count)
{
    const RunValues run = readRunValues();
    seedFromClock();
    openMonitor("progressing", "progressing", monitorTotal(count));
    double normal[3];
    for (int i = 0; i < count; ++i) {
        queryNormal(g_polygonTargets.ids[i], normal);
        bladeIntake();
        const Scale scale = drawScale(g_random, run);
        scaleAndTurn(scale, drawTurn(g_random, run));
        const Alignment tilt = alignmentFromNormal(normal);
        rotateLayer(tilt.aboutX, "X");
        rotateLayer(tilt.aboutZ, "Z");
        const double *centre = g_polygonTargets.centres[i];
        moveLayer(centre[0], centre[1], centre[2]);
        bladeHandOver();
        stepMonitor();
    }
    disposeTemplate(Disposal::kDelete);
    closeMonitor();
}

} // namespace tuft
