// Blades pasted as instances read, and edit, exactly as the copies they stand for: each
// case runs the plug-in's command series on the host and compares the layer, bit for bit,
// with meshes copied and transformed one by one.
#include "host/element_ids.h"
#include "host/modeler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace tuft::host {
namespace {

constexpr std::uint32_t kUv = 0; // map keys as the object hands them out
constexpr int kTemplate = 7, kWork = 8;

// A blade with what copies must keep: a UV map with a seam, a group tag, a selected point.
Mesh makeBlade(Object &object)
{
    Mesh blade;
    for (int i = 0; i < 5; ++i)
        blade.addPoint({0.1 * i - 0.2, 0.3 * i, 0.05 * i * i}, i == 2 ? 1 : 0);
    const std::uint32_t quad[4] = {0, 1, 3, 2}, tip[3] = {2, 3, 4};
    blade.addPolygon(MH_POLY_FACE, object.surfaceIndex("Blade"), quad, 4);
    blade.addPolygon(MH_POLY_FACE, object.surfaceIndex("Tip"), tip, 3, 1);
    PointMap &uv = blade.mapFor(static_cast<std::uint32_t>(object.mapKey(MH_MAP_UV, "UV", 2)), MH_MAP_UV, 2);
    for (std::uint32_t i = 0; i < 5; ++i) {
        uv.values[2 * i] = 0.25f * i;
        uv.values[2 * i + 1] = 1.0f - 0.25f * i;
        uv.has[i] = 1;
    }
    const float seam[2] = {0.9f, 0.1f};
    blade.setCornerValue(uv, 1, 4, seam);
    blade.tagFor(kPartTag).values[1] = object.tagNameIndex("tips");
    return blade;
}

// The ground the blades stand on: a quad of the layer's own.
Mesh makeGround(Object &object)
{
    Mesh ground;
    for (int i = 0; i < 4; ++i)
        ground.addPoint({double(i % 2) * 10, 0, double(i / 2) * 10});
    const std::uint32_t quad[4] = {0, 1, 3, 2};
    ground.addPolygon(MH_POLY_FACE, object.surfaceIndex("Ground"), quad, 4, 1);
    return ground;
}

MhArgRecord text(const char *value)
{
    MhArgRecord record{};
    record.string.type = MH_ARG_STRING;
    record.string.text = value;
    return record;
}
MhArgRecord number(double value)
{
    MhArgRecord record{};
    record.number.type = MH_ARG_FLOAT;
    record.number.value = value;
    return record;
}
MhArgRecord vector(const Vec3 &v)
{
    MhArgRecord record{};
    record.vector.type = MH_ARG_VECTOR;
    record.vector.value[0] = v.x;
    record.vector.value[1] = v.y;
    record.vector.value[2] = v.z;
    return record;
}
MhArgRecord none() { return MhArgRecord{}; }

// One blade's transforms, as the commands give them: a centre of -0 and one off the
// origin among them, since both change last bits.
struct Placement {
    Vec3 scale, scaleCentre;
    double turnY, turnX, turnZ;
    Vec3 turnXCentre, move;
};

Placement placement(int i)
{
    return {{0.5 + 0.1 * i, 1.5 - 0.05 * i, 0.7},
            i % 3 == 0 ? Vec3{-0.0, 0.0, -0.0} : Vec3{0, 0, 0},
            37.0 * i + 0.3,
            i % 2 == 0 ? 12.5 : -80.0,
            5.0 * i,
            i % 4 == 1 ? Vec3{0.5, -1, 2} : Vec3{0, 0, 0},
            {1.25 * i, 0.001 * i, -3.5 * i}};
}

// A copy of the blade transformed as the plug-in's series transforms a pasted one.
Mesh placedCopy(const Mesh &blade, const Placement &p)
{
    Mesh copy = blade;
    copy.scale(p.scale, p.scaleCentre);
    copy.rotate(1, p.turnY, {0, 0, 0});
    copy.rotate(0, p.turnX, p.turnXCentre);
    copy.rotate(2, p.turnZ, {0, 0, 0});
    copy.translate(p.move);
    return copy;
}

class Instances : public ::testing::Test {
protected:
    void SetUp() override
    {
        object.layer(1)->mesh.append(makeGround(object));
        expected = makeGround(object);
        bladeMesh = makeBlade(object);
        object.layer(kTemplate)->mesh.append(bladeMesh);
        sequence = modeler.commandSequence();
    }

    int command(const char *name, std::vector<MhArgRecord> arguments = {})
    {
        return sequence->execute(sequence->data, sequence->lookup(sequence->data, name),
                                 static_cast<int>(arguments.size()), arguments.empty() ? nullptr : arguments.data(), 0,
                                 nullptr);
    }
    void setLayer(int number)
    {
        const std::string name = std::to_string(number);
        ASSERT_EQ(command("SETLAYER", {text(name.c_str())}), 0);
    }

    // The plug-in's series for one blade, and the same done to a copy in `expected`.
    void plant(const Placement &p)
    {
        setLayer(kTemplate);
        ASSERT_EQ(command("COPY"), 0);
        setLayer(kWork);
        ASSERT_EQ(command("PASTE"), 0);
        ASSERT_EQ(command("SCALE", {vector(p.scale), vector(p.scaleCentre)}), 0);
        ASSERT_EQ(command("ROTATE", {number(p.turnY), text("Y"), none()}), 0);
        ASSERT_EQ(command("ROTATE", {number(p.turnX), text("X"), vector(p.turnXCentre)}), 0);
        ASSERT_EQ(command("ROTATE", {number(p.turnZ), text("Z"), none()}), 0);
        ASSERT_EQ(command("MOVE", {vector(p.move)}), 0);
        ASSERT_EQ(command("CUT"), 0);
        setLayer(1);
        ASSERT_EQ(command("PASTE"), 0);

        expected.append(placedCopy(bladeMesh, p));
    }

    // The Ground series: a scale, a turn about Y and a move.
    void plantOnGround(const Vec3 &scale, double turn, const Vec3 &move)
    {
        const Vec3 centre{-0.0, -0.0, -0.0};
        setLayer(kTemplate);
        ASSERT_EQ(command("COPY"), 0);
        setLayer(kWork);
        ASSERT_EQ(command("PASTE"), 0);
        ASSERT_EQ(command("SCALE", {vector(scale), vector(centre)}), 0);
        ASSERT_EQ(command("ROTATE", {number(turn), text("Y"), none()}), 0);
        ASSERT_EQ(command("MOVE", {vector(move)}), 0);
        ASSERT_EQ(command("CUT"), 0);
        setLayer(1);
        ASSERT_EQ(command("PASTE"), 0);

        Mesh copy = bladeMesh;
        copy.scale(scale, centre);
        copy.rotate(1, turn, {0, 0, 0});
        copy.translate(move);
        expected.append(copy);
    }

    void plantBlades(int count)
    {
        for (int i = 0; i < count; ++i)
            plant(placement(i));
    }

    const LayerMesh &layer() { return object.layer(1)->mesh; }

    Object object;
    Modeler modeler{object};
    MhCommandSequence *sequence = nullptr;
    Mesh bladeMesh;
    Mesh expected; // layer 1 as copies make it
};

bool sameBits(const Vec3 &a, const Vec3 &b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool sameValue(const float *a, const float *b)
{
    return a == nullptr || b == nullptr ? a == b : a[0] == b[0] && a[1] == b[1];
}

// Everything a reader can ask of a layer, against the mesh of copies.
void expectSame(const LayerMesh &layer, const Mesh &mesh)
{
    ASSERT_EQ(layer.pointCount(), mesh.pointCount());
    ASSERT_EQ(layer.polygonCount(), mesh.polygonCount());
    ASSERT_EQ(layer.cornerCount(), mesh.cornerCount());
    EXPECT_EQ(layer.selectedPointCount(), mesh.selectedPointCount());
    EXPECT_EQ(layer.selectedPolygonCount(), mesh.selectedPolygonCount());
    const PointMap *uv = mesh.findMap(kUv);
    ASSERT_NE(uv, nullptr);
    for (std::uint32_t i = 0; i < mesh.pointCount(); ++i) {
        EXPECT_TRUE(sameBits(layer.position(i), mesh.position(i))) << "point " << i;
        EXPECT_EQ(layer.pointFlags(i), mesh.pointFlags(i)) << "point " << i;
        EXPECT_TRUE(sameValue(layer.pointValue(kUv, i), uv->pointValue(i))) << "point " << i;
    }
    layer.forPositions(0, layer.pointCount(), [&](std::size_t i, const Vec3 &p) {
        EXPECT_TRUE(sameBits(p, mesh.position(i))) << "point " << i;
    });
    // UVs a range at a time, from the start and from within a blade.
    for (const std::size_t first : {std::size_t(0), mesh.pointCount() / 3 + 1, mesh.pointCount() / 2 + 1}) {
        std::size_t next = first;
        layer.forPointValues(kUv, first, mesh.pointCount(), [&](std::size_t i, const float *value) {
            EXPECT_EQ(i, next++);
            EXPECT_TRUE(sameValue(value, uv->pointValue(static_cast<std::uint32_t>(i)))) << "point " << i;
        });
        EXPECT_EQ(next, mesh.pointCount());
    }
    for (std::uint32_t p = 0; p < mesh.polygonCount(); ++p) {
        const Polygon a = layer.polygon(p), &b = mesh.polygon(p);
        EXPECT_EQ(a.firstVertex, b.firstVertex) << "polygon " << p;
        EXPECT_EQ(a.vertexCount, b.vertexCount) << "polygon " << p;
        EXPECT_EQ(a.surface, b.surface) << "polygon " << p;
        EXPECT_EQ(a.flags, b.flags) << "polygon " << p;
        EXPECT_EQ(layer.tagValue(kPartTag, p), mesh.findTag(kPartTag)->values[p]) << "polygon " << p;
        const PolygonPoints points = layer.pointsOf(p);
        EXPECT_EQ(std::vector<std::uint32_t>(points.begin(), points.end()),
                  std::vector<std::uint32_t>(mesh.pointsOf(p).begin(), mesh.pointsOf(p).end()))
            << "polygon " << p;
        for (std::uint32_t point : mesh.pointsOf(p))
            EXPECT_TRUE(sameValue(layer.valueOn(kUv, p, point), uv->valueOn(p, point))) << p << " " << point;
        const auto normal = polygonNormal(layer, p), wanted = polygonNormal(mesh, p);
        ASSERT_EQ(normal.has_value(), wanted.has_value());
        EXPECT_TRUE(!normal || sameBits(*normal, *wanted)) << "polygon " << p;
    }
    for (std::size_t c = 0; c < mesh.cornerCount(); ++c)
        EXPECT_EQ(layer.cornerPoint(c), mesh.cornerPoint(c)) << "corner " << c;
    // Heights of the whole layer, of each piece of five points (a blade, after the
    // ground's four), and of ranges that cut blades.
    const auto scanned = [&](std::size_t first, std::size_t end) {
        double low = INFINITY, high = -INFINITY;
        for (std::size_t i = first; i < end; ++i) {
            low = std::min(low, mesh.position(i).y);
            high = std::max(high, mesh.position(i).y);
        }
        return std::make_pair(low, high);
    };
    const std::size_t n = mesh.pointCount();
    std::vector<std::pair<std::size_t, std::size_t>> ranges = {{0, n}, {0, 0}, {n / 2, n}};
    if (n > 11)
        ranges.insert(ranges.end(), {{3, 11}, {6, n - 2}});
    for (std::size_t first = 4; first + 5 <= n; first += 5)
        ranges.emplace_back(first, first + 5);
    for (const auto &[first, end] : ranges)
        EXPECT_EQ(layer.heightRange(first, end), scanned(first, end)) << "points " << first << " to " << end;
}

TEST_F(Instances, PastedBladesReadAsTheCopiesTheyStandFor)
{
    plantBlades(12);
    EXPECT_EQ(layer().instanceCount(), 12u);
    // Blades placed by the same list of steps follow one another in one run.
    const std::size_t pieces = layer().pieces().size();
    for (int i = 0; i < 5; ++i)
        plant(placement(12));
    EXPECT_EQ(layer().pieces().size(), pieces + 1);
    expectSame(layer(), expected);
    // What is left on the work layer and clipboard is nothing; the template is intact.
    EXPECT_TRUE(object.layer(kWork)->mesh.empty());
    expectSame(object.layer(kTemplate)->mesh, bladeMesh);
    // The whole layer moved, turned and scaled moves its instances the same way.
    ASSERT_EQ(command("MOVE", {vector({0.5, -2, 3})}), 0);
    ASSERT_EQ(command("ROTATE", {number(33), text("Z"), vector({1, 1, 1})}), 0);
    ASSERT_EQ(command("SCALE", {number(-2), none()}), 0);
    expected.translate({0.5, -2, 3});
    expected.rotate(2, 33, {1, 1, 1});
    expected.scale({-2, -2, -2}, {0, 0, 0});
    expectSame(layer(), expected);
    EXPECT_EQ(layer().instanceCount(), 17u);
}

TEST_F(Instances, BladesScaledAlikeOnEveryAxisOrMovedAlongTheGroundJoinTheOthers)
{
    // Placements keep one factor for such a scale and two numbers for such a move; a run
    // of them takes in blades that are not so, and the other way round starts a run.
    const auto alike = [](int i) { return i % 2 == 0 ? Vec3{-1.5, -1.5, -1.5} : Vec3{0.8, 0.8, 0.8}; };
    for (int i = 0; i < 4; ++i)
        plantOnGround(alike(i), 30.0 * i, {double(i), 0.0, -0.5 * i});
    plantOnGround({0.5, 0.7, 0.9}, 10.0, {4, 0.0, 1});
    for (int i = 5; i < 8; ++i)
        plantOnGround(alike(i), 30.0 * i, {double(i), 0.0, -0.5 * i});
    // A move by -0 upward keeps a -0 height -0 (the blade's first point, scaled by -1.5
    // about -0): it is kept whole.
    plantOnGround(alike(8), 5.0, {8, -0.0, 2});
    plantOnGround(alike(9), 15.0, {9, 0.0, 3});
    EXPECT_EQ(layer().instanceCount(), 10u);
    EXPECT_EQ(layer().pieces().size(), 4u); // the ground and three runs
    expectSame(layer(), expected);
    EXPECT_TRUE(std::signbit(layer().position(4 + 8 * 5).y));
}

TEST_F(Instances, LargeBladesArePlacedAPointAtATime)
{
    Mesh large; // more points than a thread keeps placed
    for (int copy = 0; copy < 60; ++copy)
        large.append(bladeMesh);
    bladeMesh = large;
    object.layer(kTemplate)->mesh.clear();
    object.layer(kTemplate)->mesh.append(large);
    plantBlades(3);
    EXPECT_EQ(layer().instanceCount(), 3u);
    expectSame(layer(), expected);
}

TEST_F(Instances, EditingAnInstanceMakesAMeshOfThatOneAlone)
{
    plantBlades(10);
    LayerMesh &mesh = object.layer(1)->mesh;
    const std::size_t ground = 4, points = bladeMesh.pointCount(), polygons = bladeMesh.polygonCount();
    // A point moved in the fourth blade, the selection changed in the seventh and the
    // first, a UV changed in the last, a polygon of the third deselected.
    mesh.setPosition(ground + 3 * points + 1, {9, 8, 7});
    expected.setPosition(ground + 3 * points + 1, {9, 8, 7});
    EXPECT_EQ(mesh.instanceCount(), 9u);
    mesh.setPointFlags(ground + 6 * points + 4, 1);
    expected.setPointFlags(ground + 6 * points + 4, 1);
    mesh.setPointFlags(ground + 2, 0); // on the ground: no instance is touched
    expected.setPointFlags(ground + 2, 0);
    mesh.setPointFlags(ground + 0 * points + 2, 0);
    expected.setPointFlags(ground + 0 * points + 2, 0);
    EXPECT_EQ(mesh.instanceCount(), 7u);
    const float uv[2] = {0.125f, 0.5f};
    mesh.setPointValue({kUv, MH_MAP_UV, 2}, static_cast<std::uint32_t>(ground + 9 * points + 3), uv);
    std::memcpy(&expected.findMap(kUv)->values[2 * (ground + 9 * points + 3)], uv, sizeof uv);
    mesh.setPolygonFlags(1 + 2 * polygons + 1, 0);
    expected.setPolygonFlags(1 + 2 * polygons + 1, 0);
    EXPECT_EQ(mesh.instanceCount(), 5u);
    // Setting what is already there copies nothing.
    mesh.setPointFlags(ground + 5 * points + 2, 1);
    mesh.setPolygonSurface(1 + 5 * polygons, bladeMesh.polygon(0).surface);
    EXPECT_EQ(mesh.instanceCount(), 5u);
    expectSame(mesh, expected);
}

TEST_F(Instances, AdditionsAfterTheBladesAreUndoneAndErased)
{
    plantBlades(6);
    LayerMesh &mesh = object.layer(1)->mesh;
    const LayerMesh before = mesh; // what the window keeps for undo: shared, not copied
    // A mesh edit adds a triangle after the blades, then fails: the triangle goes.
    MhMeshEdit *edit = sequence->meshEditBegin(sequence->data, 0, 0, 0);
    ASSERT_NE(edit, nullptr);
    MhPointId corners[3];
    for (int k = 0; k < 3; ++k) {
        const double at[3] = {double(k), 1, 2};
        corners[k] = edit->addPoint(edit->state, at);
    }
    ASSERT_NE(edit->addPolygon(edit->state, MH_POLY_FACE, nullptr, "Blade", 3, corners), nullptr);
    EXPECT_EQ(mesh.pointCount(), expected.pointCount() + 3);
    edit->done(edit->state, 1, 0);
    expectSame(mesh, expected);
    // Points added after the blades (scattered targets, say) and taken out again.
    const std::size_t first = mesh.pointCount();
    for (int k = 0; k < 4; ++k)
        mesh.addPoint({0, double(k), 0}, 1);
    mesh.erasePoints(first, 4);
    EXPECT_EQ(mesh.instanceCount(), 6u);
    expectSame(mesh, expected);
    // More blades, then undo by the copy kept before: the first six are as they were.
    plantBlades(3);
    EXPECT_EQ(mesh.instanceCount(), 9u);
    mesh = before;
    EXPECT_EQ(mesh.instanceCount(), 6u);
    Mesh six = makeGround(object);
    for (int i = 0; i < 6; ++i)
        six.append(placedCopy(bladeMesh, placement(i)));
    expectSame(mesh, six);
}

TEST_F(Instances, ThePlugInsQueriesReadInstancesWithoutCopyingThem)
{
    plantBlades(5);
    MhMeshEdit *edit = sequence->meshEditBegin(sequence->data, 0, 0, 0);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->pointCount(edit->state, 0, 0), static_cast<int>(expected.pointCount()));
    EXPECT_EQ(edit->polygonCount(edit->state, 0, 1), static_cast<int>(expected.selectedPolygonCount()));
    // A scan sees every point where the copies have it (a Point-mode run over blades).
    struct Seen {
        const Mesh *expected;
        std::uint32_t next = 0;
        int wrong = 0;
    } seen{&expected};
    edit->pointScan(
        edit->state,
        [](void *data, const MhPointInfo *info) {
            Seen &s = *static_cast<Seen *>(data);
            const Vec3 &p = s.expected->position(s.next++);
            s.wrong += info->position[0] != p.x || info->position[1] != p.y || info->position[2] != p.z;
            return 0;
        },
        &seen, 0);
    EXPECT_EQ(seen.next, expected.pointCount());
    EXPECT_EQ(seen.wrong, 0);
    // A normal of a blade's polygon (Polygon mode over blades) and a UV read back.
    double normal[3];
    const std::uint32_t polygon = 1 + 3 * 2 + 1;
    ASSERT_EQ(edit->polygonNormal(edit->state, polygonId(object.layer(1)->slot, polygon), normal), 1);
    const Vec3 wanted = *polygonNormal(expected, polygon);
    EXPECT_EQ(normal[0], wanted.x);
    EXPECT_EQ(normal[1], wanted.y);
    EXPECT_EQ(normal[2], wanted.z);
    ASSERT_NE(edit->selectPointMap(edit->state, nullptr, MH_MAP_UV, "UV"), nullptr);
    float uv[2];
    ASSERT_EQ(edit->readPointMapValue(edit->state, pointId(object.layer(1)->slot, 4 + 2 * 5 + 3), uv), 1);
    EXPECT_EQ(uv[0], 0.75f);
    edit->done(edit->state, 0, 0);
    EXPECT_EQ(object.layer(1)->mesh.instanceCount(), 5u);
}

} // namespace
} // namespace tuft::host
