#include "meshio/gltf_buffers.h"

#include "meshio/meshio.h"
#include "meshio/reading.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace tuft::meshio::gltf {

namespace {

constexpr std::uint32_t kGlbMagic = 0x46546C67, kJsonChunk = 0x4E4F534A, kBinChunk = 0x004E4942;

[[noreturn]] void failIn(const std::string &path, const std::string &what) { throw MeshIoError(path + ": " + what); }

std::uint32_t word(const std::string &data, std::size_t at)
{
    std::uint32_t value;
    std::memcpy(&value, data.data() + at, 4);
    return value;
}

} // namespace

void checkNesting(const std::string &path, const std::string &text)
{
    int depth = 0;
    bool inString = false;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (inString) {
            if (c == '\\')
                ++at;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMostJsonDepth)
                failIn(path, "byte " + std::to_string(at) + ": the JSON nests deeper than " +
                                 std::to_string(kMostJsonDepth) + " arrays and objects");
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
}

std::string valueText(const Json &value)
{
    if (value.is_string())
        return "\"" + excerpt(value.get_ref<const std::string &>()) + "\"";
    if (value.is_array())
        return "an array of " + std::to_string(value.size());
    if (value.is_object())
        return "an object of " + std::to_string(value.size()) + " members";
    return value.dump();
}

std::size_t wholeNumber(const std::string &path, const Json &value, const std::string &what)
{
    if (!value.is_number_unsigned() || value.get<std::uint64_t>() > SIZE_MAX)
        failIn(path, what + " is " + valueText(value) + ", not a whole number from 0 up that this program can hold");
    return static_cast<std::size_t>(value.get<std::uint64_t>());
}

std::size_t wholeNumberOr(const std::string &path, const Json &object, const char *key, std::size_t fallback)
{
    return object.contains(key) ? wholeNumber(path, object.at(key), key) : fallback;
}

double unitNumber(const std::string &path, const Json &value, const std::string &what)
{
    if (!value.is_number() || !(value.get<double>() >= 0 && value.get<double>() <= 1))
        failIn(path, what + " is " + valueText(value) + ", not a number from 0 to 1");
    return value.get<double>();
}

std::uint32_t glbLength(const std::string &path, std::uint64_t bytes)
{
    if (bytes > 0xFFFFFFFFu)
        throw MeshIoError("cannot write " + path + ": it would take " + std::to_string(bytes) +
                          " bytes, and a .glb file holds at most 4294967295; write a .gltf file, whose data goes "
                          "into a .bin file beside it");
    return static_cast<std::uint32_t>(bytes);
}

std::string jsonOfGlb(const std::string &path, const std::string &data, std::optional<std::string> &binary)
{
    if (data.size() < 20)
        failIn(path, "the file is too short to be a binary glTF");
    const std::uint32_t magic = word(data, 0), version = word(data, 4), length = word(data, 8);
    if (magic != kGlbMagic)
        failIn(path, "not a binary glTF file (it does not start with \"glTF\")");
    if (version != 2)
        failIn(path, "glTF version " + std::to_string(version) + ": only version 2 is read");
    if (length > data.size())
        failIn(path,
               "the header says " + std::to_string(length) + " bytes, the file has " + std::to_string(data.size()));
    std::size_t at = 12;
    std::string json;
    while (at + 8 <= length) {
        const std::uint32_t chunkLength = word(data, at), type = word(data, at + 4);
        if (chunkLength > length - at - 8)
            failIn(path, "byte " + std::to_string(at) + ": a chunk of " + std::to_string(chunkLength) +
                             " bytes runs past the end of the file");
        if (type == kJsonChunk && json.empty())
            json = data.substr(at + 8, chunkLength);
        else if (type == kBinChunk && !binary)
            binary = data.substr(at + 8, chunkLength);
        at += 8 + chunkLength;
    }
    if (json.empty())
        failIn(path, "the file has no JSON chunk");
    return json;
}

void Buffers::load(const Json &gltf, const std::optional<std::string> &binary)
{
    if (!gltf.contains("buffers"))
        return;
    for (const Json &buffer : gltf.at("buffers")) {
        const std::size_t length = whole(buffer.at("byteLength"), "a buffer's byteLength");
        std::string data;
        if (!buffer.contains("uri")) {
            if (!binary)
                fail("a buffer without a uri, and no binary chunk");
            data = *binary;
        } else {
            data = bufferAt(buffer.at("uri").get<std::string>());
        }
        if (data.size() < length)
            fail("a buffer of " + std::to_string(length) + " bytes holds only " + std::to_string(data.size()));
        data.resize(length);
        buffers_.push_back(std::move(data));
    }
}

std::uint64_t Buffers::bytes() const
{
    std::uint64_t total = 0;
    for (const std::string &buffer : buffers_)
        total += buffer.size();
    return total;
}

std::string Buffers::bufferAt(const std::string &uri) const
{
    if (uri.compare(0, 5, "data:") == 0)
        return dataOfUri(path_, uri);
    if (!files_)
        fail("a buffer in the file " + excerpt(uri) + ", which is not read here");
    try {
        return files_(path_, uri);
    } catch (const MeshIoError &error) {
        fail(std::string("a buffer cannot be read: ") + error.what());
    }
}

std::string dataOfUri(const std::string &path, const std::string &uri)
{
    const std::size_t comma = uri.find(',');
    if (comma == std::string::npos || uri.find(";base64") == std::string::npos || uri.find(";base64") > comma)
        failIn(path, "a data uri that is not base64");
    static const std::string kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((uri.size() - comma) / 4 * 3);
    std::uint32_t bits = 0;
    int count = 0;
    for (std::size_t i = comma + 1; i < uri.size() && uri[i] != '='; ++i) {
        const std::size_t value = kAlphabet.find(uri[i]);
        if (value == std::string::npos)
            failIn(path, "a data uri holds a character that is not base64");
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        if ((count += 6) >= 8) {
            count -= 8;
            out.push_back(static_cast<char>((bits >> count) & 0xFF));
        }
    }
    return out;
}

std::vector<double> Buffers::accessor(const Json &gltf, std::size_t index, std::size_t components,
                                      const char *what) const
{
    const Json &accessors = gltf.at("accessors");
    if (index >= accessors.size())
        fail("accessor " + std::to_string(index) + " does not exist");
    const Json &a = accessors.at(index);
    const std::string where = "accessor " + std::to_string(index) + " (" + what + ")";
    if (a.contains("sparse"))
        fail(where + " is sparse, which this program does not read");
    const std::size_t count = whole(a.at("count"), where + ": its count");
    const std::size_t type = whole(a.at("componentType"), where + ": its componentType");
    const std::size_t size = type == 5126 || type == 5125 ? 4 : type == 5123 || type == 5122 ? 2 : 1;
    if (type != 5120 && type != 5121 && type != 5122 && type != 5123 && type != 5125 && type != 5126)
        fail(where + " has the unknown component type " + std::to_string(type));
    const std::string shape = a.at("type").get<std::string>();
    const std::size_t expected = shape == "SCALAR" ? 1
                                 : shape == "VEC2" ? 2
                                 : shape == "VEC3" ? 3
                                 : shape == "VEC4" ? 4
                                                   : 0;
    if (expected != components)
        fail(where + " is a " + excerpt(shape) + ", not what the attribute needs");
    if (!a.contains("bufferView"))
        fail(where + " has no buffer view: its values are nowhere in the file");
    std::vector<double> values;
    const std::size_t viewIndex = whole(a.at("bufferView"), where + ": its bufferView");
    const std::string_view bytes = viewBytes(gltf, viewIndex, where);
    const Json &view = gltf.at("bufferViews").at(viewIndex);
    const std::size_t viewLength = bytes.size();
    const std::size_t stride = wholeNumberOr(path_, view, "byteStride", size * components);
    const std::size_t offset = wholeNumberOr(path_, a, "byteOffset", 0);
    const std::size_t element = size * components;
    if (count > 0 && (stride < element || offset > viewLength || element > viewLength - offset ||
                      count - 1 > (viewLength - offset - element) / stride))
        fail(where + ": " + std::to_string(count) + " elements run past the end of its buffer view");
    const bool normalized = a.value("normalized", false);
    values.resize(count * components);
    const char *base = bytes.data() + offset;
    for (std::size_t i = 0; i < count; ++i)
        for (std::size_t c = 0; c < components; ++c) {
            const char *at = base + i * stride + c * size;
            double value = 0;
            switch (type) {
            case 5120:
                value = normalized ? std::max(*reinterpret_cast<const std::int8_t *>(at) / 127.0, -1.0)
                                   : *reinterpret_cast<const std::int8_t *>(at);
                break;
            case 5121:
                value = static_cast<std::uint8_t>(*at) / (normalized ? 255.0 : 1.0);
                break;
            case 5122: {
                std::int16_t v;
                std::memcpy(&v, at, 2);
                value = normalized ? std::max(v / 32767.0, -1.0) : v;
                break;
            }
            case 5123: {
                std::uint16_t v;
                std::memcpy(&v, at, 2);
                value = v / (normalized ? 65535.0 : 1.0);
                break;
            }
            case 5125: {
                std::uint32_t v;
                std::memcpy(&v, at, 4);
                value = v;
                break;
            }
            default: {
                float v;
                std::memcpy(&v, at, 4);
                value = v;
                break;
            }
            }
            if (!std::isfinite(value))
                fail(where + ": element " + std::to_string(i) + " is not a finite number");
            values[i * components + c] = value;
        }
    return values;
}

std::string_view Buffers::viewBytes(const Json &gltf, std::size_t index, const std::string &where) const
{
    const Json &views = gltf.at("bufferViews");
    if (index >= views.size())
        fail(where + ": buffer view " + std::to_string(index) + " does not exist");
    const Json &view = views.at(index);
    const std::size_t bufferIndex = whole(view.at("buffer"), where + ": its buffer view's buffer");
    if (bufferIndex >= buffers_.size())
        fail(where + ": its buffer does not exist");
    const std::string &buffer = buffers_[bufferIndex];
    const std::size_t offset = wholeNumberOr(path_, view, "byteOffset", 0);
    const std::size_t length = whole(view.at("byteLength"), where + ": its buffer view's byteLength");
    if (offset > buffer.size() || length > buffer.size() - offset)
        fail(where + ": its buffer view runs past the end of its buffer");
    return std::string_view(buffer).substr(offset, length);
}

std::vector<double> Buffers::indices(const Json &gltf, std::size_t index) const
{
    const Json &accessors = gltf.at("accessors");
    if (index < accessors.size()) {
        const Json &a = accessors.at(index);
        const std::string where = "accessor " + std::to_string(index) + " (indices)";
        const std::size_t type = whole(a.at("componentType"), where);
        const bool normalized = a.value("normalized", false);
        if ((type != 5121 && type != 5123 && type != 5125) || normalized)
            fail(where + " has the component type " + std::to_string(type) + (normalized ? ", normalized" : "") +
                 ": indices are unsigned bytes, shorts or ints");
    }
    return accessor(gltf, index, 1, "indices");
}

} // namespace tuft::meshio::gltf
