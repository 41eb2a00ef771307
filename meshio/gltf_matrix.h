// A glTF node's transform as a 4 x 4 matrix, column-major as glTF writes it: its own
// matrix, or its translation, rotation and scale composed (T·R·S); and their products
// down a hierarchy of nodes.
#pragma once

#include <nlohmann/json.hpp>

#include <array>

namespace tuft::meshio::gltf {

using Matrix = std::array<double, 16>;

Matrix identity();
// a·b: b applied first.
Matrix multiply(const Matrix &a, const Matrix &b);
// A node's own transform. Its values are read as the JSON has them (nlohmann's exceptions
// for what is not a number, caught by the reader).
Matrix localMatrix(const nlohmann::json &node);

} // namespace tuft::meshio::gltf
