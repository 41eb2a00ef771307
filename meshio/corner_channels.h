// What the writers write at each polygon corner beside its point: one UV channel made
// from the object's UV maps, and normals. A corner takes the polygon's own value for its
// point where there is one (a seam), else the point's.
#pragma once

#include "meshio/meshio.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace tuft::meshio {

// Which channels a file carries: once a file has UVs (or normals), every corner of every
// layer gets one, so that every reader keeps every face.
struct FileChannels {
    bool uvs = false;
    bool normals = false;
};
FileChannels fileChannels(const host::Object &object, const std::vector<const host::Layer *> &layers,
                          const WriteOptions &options);

class CornerChannels {
public:
    // `warnings` hears once of UV maps that give a point two values.
    CornerChannels(const host::Object &object, const host::Mesh &mesh, const WriteOptions &options,
                   const FileChannels &file, ReadWarnings &warnings);

    // A point's own UV or normal; null when it has none (in the file it is 0, 0 or the
    // smooth normal).
    const float *pointUv(std::uint32_t point) const;
    const float *pointNormal(std::uint32_t point) const;
    // A corner's: the polygon's own value for the point, else the point's; null for none.
    const float *cornerUv(std::uint32_t polygon, std::uint32_t point) const;
    const float *cornerNormal(std::uint32_t polygon, std::uint32_t point) const;
    // Whether any corner has a value of its own, different from its point's.
    bool uvSeams() const { return uvSeams_; }
    bool normalSeams() const { return normalSeams_; }

private:
    void mergeUvMaps(const host::Object &object, ReadWarnings &warnings);
    void computeSmoothNormals();

    const host::Mesh &mesh_;
    const FileChannels file_;
    std::vector<const host::PointMap *> uvMaps_; // in the order they were made
    std::vector<float> mergedUv_;                // when several maps: two a point
    std::vector<std::uint8_t> mergedHas_;
    const host::PointMap *normalMap_ = nullptr;
    // Smooth normals, per point for the surface it first meets, and apart for the
    // other surfaces a point lies on.
    std::vector<float> smooth_;
    std::vector<std::uint32_t> smoothSurface_;
    std::unordered_map<std::uint64_t, std::vector<float>> smoothOther_;
    bool uvSeams_ = false, normalSeams_ = false;
};

} // namespace tuft::meshio
