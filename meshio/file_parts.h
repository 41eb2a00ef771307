// Pieces the mesh formats share.
#pragma once

#include "meshio/meshio.h"
#include "host/object.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tuft::meshio {

// Gives the mesh's points the values of a point map (registered in the object by type,
// name and dimension): `values` holds `dimension` floats a point, `has` one flag a point.
// Throws MeshIoError, naming the file, when a map of that name has another dimension.
void attachPointMap(const std::string &path, host::Object &object, host::Mesh &mesh, std::uint32_t type,
                    const std::string &name, int dimension, const std::vector<float> &values,
                    const std::vector<std::uint8_t> &has);

// A name as one word, for formats whose names end at white space; `fallback` when empty.
std::string oneWord(const std::string &name, const char *fallback);

// Counts the elements a writer has written and tells whoever asked.
class ProgressCount {
public:
    ProgressCount(const WriteProgress &report, std::uint64_t total) : report_(report), total_(total) {}
    void add(std::uint64_t elements)
    {
        done_ += elements;
        if (report_)
            report_(done_, total_);
    }

private:
    const WriteProgress &report_;
    std::uint64_t total_, done_ = 0;
};

} // namespace tuft::meshio
