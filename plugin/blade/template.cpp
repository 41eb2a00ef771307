// The blade template: a strip of one tip triangle and Division - 1 quads along the curve.
#include "blade/tables.h"
#include "entry/capture.h"
#include "panel/controls.h"

#include <cmath>
#include <cstring>

namespace tuft {

namespace {

struct BladeOptions {
    double size;
    int division;
    bool addUv;
    char surface[kTextLength];
};

// Reads the options in their documented order; the UV name goes to the stored name.
BladeOptions readBladeOptions()
{
    BladeOptions options;
    options.size = getDouble(kSize);
    storeDivision(getInt(kDivision));
    options.division = g_storedDivision;
    options.addUv = getInt(kAddUv) == 1;
    getText(kUName, g_storedUvName, kTextLength);
    std::memset(options.surface, 0, sizeof options.surface);
    getText(kSName, options.surface, kTextLength);
    return options;
}

// UV values from the curve-space values the preview left: -1..1 onto 0..1.
void convertUvTable()
{
    for (auto &pair : g_uvTable)
        for (float &f : pair)
            f = 0.5f * f + 0.5f;
}

void setUv(MhPointId point, int pair)
{
    g_meshEdit->setPointMapValue(g_meshEdit->state, point, MH_MAP_UV, g_storedUvName, 2, g_uvTable[pair]);
}

void addFace(const char *surface, int count, const MhPointId *points)
{
    g_meshEdit->addPolygon(g_meshEdit->state, MH_POLY_FACE, nullptr, surface, count, points);
}

} // namespace

void buildBladeTemplate()
{
    // Without an edit nothing can be added: the template layer stays empty.
    if (!beginEdit())
        return;
    const BladeOptions options = readBladeOptions();
    const int d = options.division;
    const double w = options.size;
    const double liftY = std::fabs(g_curve[kY1]);
    const double liftZ = std::fabs(g_curve[kZ1]);

    // Point list: tip, then R_k and L_k for k = 1..D.
    MhPointId points[1 + 2 * kMaxDivision] = {};
    int added = 0;
    const double step = 1.0 / d;
    int k = 0;
    for (double t = 0.0; t <= 1.0 && k <= d; t += step, ++k) {
        const Point3 c = evaluateCurve(g_curve, t);
        const double right[3] = {c.x * w, (c.y + liftY) * w, (c.z + liftZ) * w};
        g_sampleTable[k][0] = -(c.x * w);
        g_sampleTable[k][1] = right[1];
        g_sampleTable[k][2] = right[2];
        points[added++] = g_meshEdit->addPoint(g_meshEdit->state, right);
        if (k >= 1)
            points[added++] = g_meshEdit->addPoint(g_meshEdit->state, g_sampleTable[k]);
    }
    convertUvTable();

    auto right = [&](int i) { return points[2 * i - 1]; };
    auto left = [&](int i) { return points[2 * i]; };
    const MhPointId tip = points[0];
    const MhPointId triangle[3] = {tip, right(1), left(1)};
    addFace(options.surface, 3, triangle);
    if (options.addUv) {
        setUv(tip, 0);
        setUv(right(1), 1);
        setUv(left(1), d + 2);
    }
    for (int i = 1; i < d; ++i) {
        const MhPointId quad[4] = {right(i), right(i + 1), left(i + 1), left(i)};
        addFace(options.surface, 4, quad);
    }
    if (options.addUv) {
        for (int i = 1; i < d; ++i) {
            setUv(right(i), i);
            setUv(right(i + 1), i + 1);
            setUv(left(i + 1), d + i + 2);
            setUv(left(i), d + i + 1);
        }
    }
    endEdit();
}

} // namespace tuft
