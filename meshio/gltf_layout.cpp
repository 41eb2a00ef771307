#include "meshio/gltf_layout.h"

#include "meshio/writing.h"

#include <cstdlib>

namespace tuft::meshio::gltf {

std::uint64_t mostBinBytes()
{
    constexpr std::uint64_t kTwoGibibytes = std::uint64_t(1) << 31;
    const char *set = std::getenv("TUFT_GLTF_BIN_BYTES");
    const std::uint64_t bytes = set != nullptr ? std::strtoull(set, nullptr, 10) : 0;
    return bytes > 0 && bytes < kTwoGibibytes ? bytes : kTwoGibibytes;
}

std::string binPath(const std::string &path, std::size_t buffer)
{
    return companionPath(path, buffer == 0 ? ".bin" : "-" + std::to_string(buffer + 1) + ".bin");
}

} // namespace tuft::meshio::gltf
