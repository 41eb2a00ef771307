// The binary side of a glTF file: the chunks of a .glb, the buffers (its binary chunk,
// data URIs, files beside it) and the accessors read from them, every offset, stride
// and count checked against what the buffers hold.
#pragma once

#include "meshio/formats.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tuft::meshio::gltf {

using Json = nlohmann::json;

// JSON nested deeper than this is refused before it is parsed (glTF itself nests a few
// levels; the parser and every walk over the values would otherwise recurse without end).
constexpr int kMostJsonDepth = 128;

// Throws MeshIoError naming `path` and the byte where `text` opens its array or object
// number kMostJsonDepth + 1 within one another (strings are passed over).
void checkNesting(const std::string &path, const std::string &text);
// A JSON value for a message: a number, true, false or null as it is, a string cut to a
// short excerpt, an array or object by its kind and size alone.
std::string valueText(const Json &value);

// A JSON value that must be a whole number from 0 up (an index, a count, an offset, a
// code); a fraction, a negative number, one beyond the platform's sizes or anything but
// a number throws MeshIoError naming `path` and `what`. Never a cast of what it is not.
std::size_t wholeNumber(const std::string &path, const Json &value, const std::string &what);
// A member that may be left out: `fallback` then.
std::size_t wholeNumberOr(const std::string &path, const Json &object, const char *key, std::size_t fallback);
// A JSON number from 0 to 1 (a colour's share); anything else throws as above.
double unitNumber(const std::string &path, const Json &value, const std::string &what);

// The JSON chunk of a binary glTF file; its binary chunk, if any, in `binary`. Throws
// MeshIoError naming `path` and the byte of a fault.
std::string jsonOfGlb(const std::string &path, const std::string &data, std::optional<std::string> &binary);

// The length a .glb header gives a file of `bytes` bytes; MeshIoError naming `path` for
// a file past the 4 GiB the header can count.
std::uint32_t glbLength(const std::string &path, std::uint64_t bytes);

// The bytes of a base64 data: URI; MeshIoError naming `path` for one of another kind, or
// a character that is not base64.
std::string dataOfUri(const std::string &path, const std::string &uri);

class Buffers {
public:
    Buffers(const std::string &path, const LibraryReader &files) : path_(path), files_(files) {}

    // The buffers `gltf` declares, each checked to hold its byteLength.
    void load(const Json &gltf, const std::optional<std::string> &binary);
    // The bytes of every buffer loaded.
    std::uint64_t bytes() const;
    // An accessor's values as doubles, `components` an element, checked against its buffer.
    std::vector<double> accessor(const Json &gltf, std::size_t index, std::size_t components, const char *what) const;
    // An accessor of indices: unsigned integers, as glTF has them, never normalized.
    std::vector<double> indices(const Json &gltf, std::size_t index) const;
    // The bytes of a buffer view, checked against its buffer; `where` leads a message.
    std::string_view viewBytes(const Json &gltf, std::size_t index, const std::string &where) const;

private:
    [[noreturn]] void fail(const std::string &what) const { throw MeshIoError(path_ + ": " + what); }
    std::size_t whole(const Json &value, const std::string &what) const { return wholeNumber(path_, value, what); }
    std::string bufferAt(const std::string &uri) const;

    const std::string &path_;
    const LibraryReader &files_;
    std::vector<std::string> buffers_;
};

} // namespace tuft::meshio::gltf
