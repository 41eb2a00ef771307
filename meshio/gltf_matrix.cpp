#include "meshio/gltf_matrix.h"

#include <initializer_list>
#include <vector>

namespace tuft::meshio::gltf {

Matrix identity() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

Matrix multiply(const Matrix &a, const Matrix &b)
{
    Matrix r{};
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row)
            for (int k = 0; k < 4; ++k)
                r[column * 4 + row] += a[k * 4 + row] * b[column * 4 + k];
    return r;
}

Matrix localMatrix(const nlohmann::json &node)
{
    if (node.contains("matrix")) {
        Matrix m;
        for (int i = 0; i < 16; ++i)
            m[i] = node.at("matrix").at(i).get<double>();
        return m;
    }
    const auto vector = [&](const char *name, std::initializer_list<double> fallback) {
        std::vector<double> v(fallback);
        if (node.contains(name))
            for (std::size_t i = 0; i < v.size(); ++i)
                v[i] = node.at(name).at(i).get<double>();
        return v;
    };
    const std::vector<double> t = vector("translation", {0, 0, 0}), r = vector("rotation", {0, 0, 0, 1}),
                              s = vector("scale", {1, 1, 1});
    const double x = r[0], y = r[1], z = r[2], w = r[3];
    const double rotation[9] = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w),     2 * (x * z - y * w),
                                2 * (x * y - z * w),     1 - 2 * (x * x + z * z), 2 * (y * z + x * w),
                                2 * (x * z + y * w),     2 * (y * z - x * w),     1 - 2 * (x * x + y * y)};
    Matrix m = identity();
    for (int column = 0; column < 3; ++column)
        for (int row = 0; row < 3; ++row)
            m[column * 4 + row] = rotation[column * 3 + row] * s[column];
    m[12] = t[0], m[13] = t[1], m[14] = t[2];
    return m;
}

} // namespace tuft::meshio::gltf
