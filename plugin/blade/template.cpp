#include "plugin/blade/template.h"

#include <cmath>

namespace tuft {

namespace {

// UV values from the curve-space values the preview left: -1..1 onto 0..1.
void convertUvTable(PreviewTables &tables)
{
    for (auto &pair : tables.uvs)
        for (float &f : pair)
            f = 0.5f * f + 0.5f;
}

} // namespace

void buildBladeTemplate(Host &host, BladeShape &shape, const BladeOptions &options)
{
    // Without an edit nothing can be added: the template layer stays empty.
    if (!beginEdit(host))
        return;
    MhMeshEdit *edit = host.edit;
    PreviewTables &tables = shape.tables;
    const int d = options.division;
    const double w = options.size;
    const double liftY = std::fabs(shape.curve[kY1]);
    const double liftZ = std::fabs(shape.curve[kZ1]);

    // Point list: tip, then R_k and L_k for k = 1..D.
    MhPointId points[1 + 2 * kMaxDivision] = {};
    int added = 0;
    const double step = 1.0 / d;
    int k = 0;
    for (double t = 0.0; t <= 1.0 && k <= d; t += step, ++k) {
        const Point3 c = evaluateCurve(shape.curve, t);
        const double right[3] = {c.x * w, (c.y + liftY) * w, (c.z + liftZ) * w};
        tables.samples[k][0] = -(c.x * w);
        tables.samples[k][1] = right[1];
        tables.samples[k][2] = right[2];
        points[added++] = edit->addPoint(edit->state, right);
        if (k >= 1)
            points[added++] = edit->addPoint(edit->state, tables.samples[k]);
    }
    convertUvTable(tables);

    const auto addFace = [&](int count, const MhPointId *face) {
        edit->addPolygon(edit->state, MH_POLY_FACE, nullptr, options.surface, count, face);
    };
    const auto setUv = [&](MhPointId point, int pair) {
        edit->setPointMapValue(edit->state, point, MH_MAP_UV, options.uvName, 2, tables.uvs[pair]);
    };
    const auto right = [&](int i) { return points[2 * i - 1]; };
    const auto left = [&](int i) { return points[2 * i]; };
    const MhPointId tip = points[0];
    const MhPointId triangle[3] = {tip, right(1), left(1)};
    addFace(3, triangle);
    if (options.addUv) {
        setUv(tip, 0);
        setUv(right(1), 1);
        setUv(left(1), d + 2);
    }
    for (int i = 1; i < d; ++i) {
        const MhPointId quad[4] = {right(i), right(i + 1), left(i + 1), left(i)};
        addFace(4, quad);
    }
    if (options.addUv) {
        for (int i = 1; i < d; ++i) {
            setUv(right(i), i);
            setUv(right(i + 1), i + 1);
            setUv(left(i + 1), d + i + 2);
            setUv(left(i), d + i + 1);
        }
    }
    endEdit(host);
}

} // namespace tuft
