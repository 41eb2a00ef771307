// Wavefront OBJ input, read strictly: every number correctly rounded and finite, every
// index checked, every statement understood or reported. Polygons stay as they are;
// UVs and normals are kept per corner (per-polygon values where a point's corners
// differ); groups, objects, smoothing groups and materials go with each polygon.
#include "meshio/formats.h"
#include "meshio/reading.h"
#include "meshio/text_scan.h"
#include "sdk/modeler_host.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <unordered_set>

namespace tuft::meshio {

namespace {

constexpr std::uint32_t kNone = ~std::uint32_t(0);

// A face's corner: indices into the file's points, UVs and normals (kNone for none).
struct Corner {
    std::uint32_t point, uv, normal;
};

struct Face {
    std::uint32_t firstCorner, count;
    std::uint32_t surface, group, object, smoothing;
};

// The statements the host keeps nothing of, counted to be reported once a kind.
const char *const kFreeForm[] = {"vp",   "cstype", "deg",  "bmat", "step", "curv", "curv2", "surf",
                                 "parm", "trim",   "hole", "scrv", "sp",   "end",  "con"};
const char *const kDisplay[] = {"bevel",  "c_interp",   "d_interp",  "lod",   "usemap",
                                "maplib", "shadow_obj", "trace_obj", "ctech", "stech"};

bool isOneOf(std::string_view word, const char *const *list, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        if (word == list[i])
            return true;
    return false;
}

class ObjParser {
public:
    explicit ObjParser(const std::string &path) : path_(path) {}

    void parse(std::string_view data, std::size_t firstLine)
    {
        LineScanner lines(data, firstLine);
        std::string_view line;
        while (lines.next(line)) {
            scan_ = WordScanner(path_, lines.number(), line);
            const std::string_view keyword = scan_.word();
            if (!keyword.empty())
                statement(keyword);
        }
    }

    // Names as the file gives them, by local index: the object learns of them only once
    // the whole file has been read.
    std::vector<std::string> surfaceNames, tagNames{std::string()};
    std::vector<double> positions, uvs, normals;
    std::vector<Corner> corners;
    std::vector<Face> faces;
    std::vector<std::string> libraries;
    // Statements the host keeps nothing of, by kind: how many, and the first few keywords
    // (whether there were more; the count of each statement is constant work).
    struct Ignored {
        std::size_t count = 0;
        std::vector<std::string> keywords;
        bool more = false;
    };
    std::map<std::string, Ignored> ignored;
    bool anySmoothing = false, anyGroup = false, anyObject = false;

private:
    void statement(std::string_view keyword)
    {
        if (keyword == "v")
            vertex();
        else if (keyword == "vt")
            numbers(uvs, 1, 3, 2, "a UV has u, and v and w if it likes");
        else if (keyword == "vn")
            numbers(normals, 3, 3, 3, "a normal has x, y and z");
        else if (keyword == "f" || keyword == "l" || keyword == "p")
            keyword_ = keyword, polygon(keyword[0]);
        else if (keyword == "g")
            group_ = nameTag(anyGroup);
        else if (keyword == "o")
            objectTag_ = nameTag(anyObject);
        else if (keyword == "s")
            smoothing();
        else if (keyword == "usemtl")
            material_ = scan_.rest();
        else if (keyword == "mtllib")
            for (std::string_view file = scan_.word(); !file.empty(); file = scan_.word())
                libraries.emplace_back(file);
        else if (isOneOf(keyword, kFreeForm, std::size(kFreeForm)))
            ignore("free-form curve and surface statements", keyword);
        else if (isOneOf(keyword, kDisplay, std::size(kDisplay)))
            ignore("display and render statements", keyword);
        else
            ignore("statements of unknown kinds", keyword);
    }

    void ignore(const char *kind, std::string_view keyword)
    {
        constexpr std::size_t kNamed = 5; // keywords a warning names
        Ignored &seen = ignored[kind];
        ++seen.count;
        if (std::find(seen.keywords.begin(), seen.keywords.end(), keyword) != seen.keywords.end())
            return;
        if (seen.keywords.size() < kNamed)
            seen.keywords.emplace_back(keyword);
        else
            seen.more = true;
    }

    void vertex()
    {
        double values[7];
        const std::size_t count = scan_.numbers(values, 7);
        if (count != 3 && count != 4 && count != 6 && count != 7)
            scan_.fail("a point has x, y and z (and w, or a colour r g b, if it likes); this line has " +
                       std::to_string(count) + " numbers");
        positions.insert(positions.end(), values, values + 3);
    }

    void numbers(std::vector<double> &into, std::size_t least, std::size_t most, std::size_t kept, const char *what)
    {
        double values[4] = {0, 0, 0, 0};
        const std::size_t count = scan_.numbers(values, most + 1);
        if (count < least || count > most)
            scan_.fail(std::string(what) + "; this line has " + std::to_string(count) + " numbers");
        into.insert(into.end(), values, values + kept);
    }

    // An index as written (1-based, or negative counting back from the last defined) to
    // a 0-based one, checked against what is defined so far.
    std::uint32_t resolve(std::string_view text, std::size_t defined, const char *kind)
    {
        long long index = 0;
        if (!scan_.integer(text, index))
            scan_.fail("\"" + excerpt(text) + "\" is not an index" +
                       (text.find_first_not_of("+-0123456789") == std::string_view::npos ? " that fits" : ""));
        const long long resolved = index < 0 ? static_cast<long long>(defined) + index : index - 1;
        if (index == 0 || resolved < 0 || resolved >= static_cast<long long>(defined))
            scan_.fail(std::string(keyword_) + " refers to " + kind + " " + excerpt(text) + ", but " +
                       std::to_string(defined) + " " + kind + "s are defined before this line");
        return static_cast<std::uint32_t>(resolved);
    }

    Corner corner(std::string_view text)
    {
        const std::size_t slash = text.find('/');
        const std::size_t second = slash == std::string_view::npos ? slash : text.find('/', slash + 1);
        Corner c{resolve(text.substr(0, slash), positions.size() / 3, "point"), kNone, kNone};
        if (slash == std::string_view::npos)
            return c;
        const std::string_view uv =
            text.substr(slash + 1, second == std::string_view::npos ? second : second - slash - 1);
        if (!uv.empty())
            c.uv = resolve(uv, uvs.size() / 2, "UV");
        if (second != std::string_view::npos)
            c.normal = resolve(text.substr(second + 1), normals.size() / 3, "normal");
        return c;
    }

    void polygon(char kind)
    {
        const std::size_t first = corners.size();
        for (std::string_view word = scan_.word(); !word.empty(); word = scan_.word())
            corners.push_back(corner(word));
        const std::size_t count = corners.size() - first;
        const std::size_t least = kind == 'f' ? 3 : kind == 'l' ? 2 : 1;
        if (count < least)
            scan_.fail(std::string(kind == 'f'   ? "a face needs three points or more"
                                   : kind == 'l' ? "a line needs two points or more"
                                                 : "a point statement needs a point") +
                       "; this one has " + std::to_string(count));
        const std::uint32_t surface = localIndex(surfaceNames, surfaceIndex_, surfaceName());
        const auto add = [&](std::size_t from, std::size_t n) {
            faces.push_back({static_cast<std::uint32_t>(from), static_cast<std::uint32_t>(n), surface, group_,
                             objectTag_, smoothing_});
        };
        if (kind == 'f')
            return add(first, count);
        // Lines and points become polygons of two points and of one, as a modeler keeps them.
        const std::vector<Corner> written(corners.begin() + first, corners.end());
        corners.resize(first);
        for (std::size_t i = 0; i + (kind == 'l') < written.size(); ++i) {
            add(corners.size(), kind == 'l' ? 2 : 1);
            corners.push_back(written[i]);
            if (kind == 'l')
                corners.push_back(written[i + 1]);
        }
    }

    // The surface of a polygon: its material's name, else its group's or object's, else
    // "Default".
    std::string surfaceName() const
    {
        if (!material_.empty())
            return material_;
        return group_ != 0 ? tagNames[group_] : objectTag_ != 0 ? tagNames[objectTag_] : "Default";
    }

    static std::uint32_t localIndex(std::vector<std::string> &names,
                                    std::unordered_map<std::string, std::uint32_t> &index, const std::string &name)
    {
        const auto found = index.emplace(name, static_cast<std::uint32_t>(names.size()));
        if (found.second)
            names.push_back(name);
        return found.first->second;
    }

    std::uint32_t nameTag(bool &any)
    {
        const std::string name = scan_.rest();
        any |= !name.empty();
        return name.empty() ? 0 : localIndex(tagNames, tagIndex_, name);
    }

    void smoothing()
    {
        const std::string_view word = scan_.word();
        long long group = 0;
        if (word != "off" && (!scan_.integer(word, group) || group < 0 || group > 0xFFFFFFFFll))
            scan_.fail("a smoothing group is a whole number or off, not \"" + excerpt(word) + "\"");
        smoothing_ = static_cast<std::uint32_t>(group);
        anySmoothing |= smoothing_ != 0;
    }

    const std::string &path_;
    WordScanner scan_{path_, 0, {}};
    std::unordered_map<std::string, std::uint32_t> surfaceIndex_, tagIndex_{{std::string(), 0}};
    std::string material_;
    std::string_view keyword_;
    std::uint32_t group_ = 0, objectTag_ = 0, smoothing_ = 0;
};

// Gives each point the value of its first corner in a map, and the corners that differ
// from it values of their own.
void attachCornerMap(const std::string &path, host::Object &object, host::Mesh &mesh, const ObjParser &obj,
                     std::uint32_t type, const char *name, int dimension, const std::vector<double> &values,
                     std::uint32_t Corner::*index)
{
    const long key = object.mapKey(type, name, dimension);
    if (key < 0)
        throw MeshIoError(path + ": the point map \"" + std::string(name) +
                          "\" clashes with a map of another dimension");
    host::PointMap &map = mesh.mapFor(static_cast<std::uint32_t>(key), type, dimension);
    float value[4] = {0, 0, 0, 0};
    for (std::uint32_t f = 0; f < obj.faces.size(); ++f) {
        const Face &face = obj.faces[f];
        for (std::uint32_t k = 0; k < face.count; ++k) {
            const Corner &corner = obj.corners[face.firstCorner + k];
            if (corner.*index == kNone)
                continue;
            for (int d = 0; d < dimension; ++d)
                value[d] = static_cast<float>(values[std::size_t(corner.*index) * dimension + d]);
            float *own = &map.values[std::size_t(corner.point) * dimension];
            if (!map.has[corner.point]) {
                map.has[corner.point] = 1;
                std::copy(value, value + dimension, own);
            } else if (!std::equal(value, value + dimension, own)) {
                mesh.setCornerValue(map, f, corner.point, value);
            }
        }
    }
}

void attachTag(host::Object &object, host::Mesh &mesh, const ObjParser &obj, std::uint32_t type,
               std::uint32_t Face::*field)
{
    std::vector<std::uint32_t> names(obj.tagNames.size());
    for (std::size_t i = 1; i < names.size(); ++i)
        names[i] = object.tagNameIndex(obj.tagNames[i]);
    host::PolygonTag &tag = mesh.tagFor(type);
    for (std::size_t f = 0; f < obj.faces.size(); ++f)
        tag.values[f] = type == host::kSmoothingTag ? obj.faces[f].*field : names[obj.faces[f].*field];
}

host::Mesh buildMesh(const std::string &path, host::Object &object, const ObjParser &obj)
{
    host::Mesh mesh;
    std::vector<std::uint32_t> surfaces;
    for (const std::string &name : obj.surfaceNames)
        surfaces.push_back(object.surfaceIndex(name));
    for (std::size_t i = 0; i < obj.positions.size(); i += 3)
        mesh.addPoint({obj.positions[i], obj.positions[i + 1], obj.positions[i + 2]});
    std::vector<std::uint32_t> indices;
    bool anyUv = false, anyNormal = false;
    for (const Face &face : obj.faces) {
        indices.clear();
        for (std::uint32_t k = 0; k < face.count; ++k) {
            const Corner &corner = obj.corners[face.firstCorner + k];
            indices.push_back(corner.point);
            anyUv |= corner.uv != kNone;
            anyNormal |= corner.normal != kNone;
        }
        mesh.addPolygon(MH_POLY_FACE, surfaces[face.surface], indices.data(), face.count);
    }
    if (anyUv)
        attachCornerMap(path, object, mesh, obj, MH_MAP_UV, "UV", 2, obj.uvs, &Corner::uv);
    if (anyNormal)
        attachCornerMap(path, object, mesh, obj, host::kNormalMap, "Normal", 3, obj.normals, &Corner::normal);
    if (obj.anyGroup)
        attachTag(object, mesh, obj, host::kPartTag, &Face::group);
    if (obj.anyObject)
        attachTag(object, mesh, obj, host::kObjectTag, &Face::object);
    if (obj.anySmoothing)
        attachTag(object, mesh, obj, host::kSmoothingTag, &Face::smoothing);
    return mesh;
}

} // namespace

ReadWarnings readObj(const std::string &path, const TextSource &text, host::Object &object, int layerNumber,
                     const LibraryReader &readLibrary)
{
    ObjParser obj(path);
    text([&obj](std::string_view piece, std::size_t firstLine) { obj.parse(piece, firstLine); });
    ReadWarnings warnings;
    for (const auto &[kind, seen] : obj.ignored) {
        std::string keywords;
        for (const std::string &keyword : seen.keywords)
            keywords += (keywords.empty() ? "\"" : ", \"") + excerpt(keyword) + "\"";
        warnings.push_back(path + ": " + std::to_string(seen.count) + " " + kind + " (" + keywords +
                           (seen.more ? " and others" : "") + ") not read: the object keeps nothing of them");
    }
    const host::Mesh mesh = buildMesh(path, object, obj);
    std::unordered_set<std::string> read; // a library named again is read once
    for (const std::string &library : obj.libraries)
        if (read.insert(library).second)
            readMaterialLibrary(path, library, object, readLibrary, warnings);
    appendToLayer(path, object, layerNumber, mesh);
    return warnings;
}

} // namespace tuft::meshio
