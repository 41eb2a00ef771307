#include "meshio/reading.h"

#include "host/paths.h"
#include "meshio/file_system.h"
#include "meshio/meshio.h"
#include "meshio/text_scan.h"

#include <algorithm>
#include <cctype>
#include <cerrno>

namespace tuft::meshio {

namespace {

constexpr std::uint64_t kLargestLibrary = std::uint64_t(16) << 20;
constexpr std::size_t kLongestName = 4096; // of a file a file names: Linux's longest path

// Whether the absolute path `real` lies in the folder `folder` or below it.
bool isWithin(const std::string &real, const std::string &folder)
{
    if (real.size() <= folder.size() || real.compare(0, folder.size(), folder) != 0)
        return false;
    return host::isSeparator(folder.back()) || host::isSeparator(real[folder.size()]);
}

// Reads from the file's position into `into` from `offset` on, `most` bytes at most and no
// further than its size; returns where the data ends (sooner when the file has no more).
std::size_t readInto(const std::string &path, int fd, std::string &into, std::size_t offset,
                     std::size_t most = ~std::size_t(0))
{
    const std::size_t end = offset + std::min(most, into.size() - offset);
    while (offset < end) {
        const long long read = files::readSome(fd, &into[offset], end - offset);
        if (read < 0)
            throw MeshIoError("cannot read " + path + ": " + files::errorText(errno));
        if (read == 0)
            break;
        offset += static_cast<std::size_t>(read);
    }
    return offset;
}

struct OpenInput {
    int fd;
    ~OpenInput() { files::closeFile(fd); }
};

} // namespace

std::string readInputFile(const std::string &path, std::string_view magic, std::uint64_t largest)
{
    std::uint64_t size = 0;
    std::string problem;
    const OpenInput input{files::openInput(path, size, problem)};
    if (input.fd < 0)
        throw MeshIoError("cannot read " + path + ": " + problem);
    if (size > largest)
        throw MeshIoError("cannot read " + path + ": it is larger than " + std::to_string(largest >> 20) + " MB");
    std::string data(std::min<std::uint64_t>(size, kByteOrderMark.size() + magic.size()), '\0');
    const std::size_t start = readInto(path, input.fd, data, 0);
    data.resize(start);
    if (data.compare(byteOrderMarkIn(data), magic.size(), magic) != 0)
        throw MeshIoError(path + ": not a " + (magic == "ply" ? std::string("PLY") : std::string(magic)) +
                          " file (it does not start with \"" + std::string(magic) + "\")");
    try {
        data.resize(static_cast<std::size_t>(size));
    } catch (const std::exception &) {
        throw MeshIoError("cannot read " + path + ": it is too large for this machine's memory");
    }
    data.resize(readInto(path, input.fd, data, start));
    return data;
}

void readInputLines(const std::string &path, const std::function<void(std::string_view, std::size_t)> &take)
{
    constexpr std::size_t kPiece = std::size_t(4) << 20;
    std::uint64_t size = 0;
    std::string problem;
    const OpenInput input{files::openInput(path, size, problem)};
    if (input.fd < 0)
        throw MeshIoError("cannot read " + path + ": " + problem);
    std::string buffer;
    std::size_t kept = 0, line = 1;
    std::uint64_t left = size; // no further than the file's size when it was opened
    for (bool end = false; !end;) {
        buffer.resize(std::max(kept + kPiece, buffer.size()));
        const std::size_t filled = readInto(path, input.fd, buffer, kept, std::min<std::uint64_t>(kPiece, left));
        left -= filled - kept;
        end = filled == kept;
        // Up to the last line end ("\n" or "\r\n") that a backslash does not carry on from.
        const auto carriedOn = [&buffer](std::size_t lineEnd) {
            const std::size_t last = lineEnd > 0 && buffer[lineEnd - 1] == '\r' ? lineEnd - 1 : lineEnd;
            return last > 0 && buffer[last - 1] == '\\';
        };
        std::size_t cut = end ? filled : buffer.rfind('\n', filled - 1);
        while (!end && cut != std::string::npos && carriedOn(cut))
            cut = cut > 0 ? buffer.rfind('\n', cut - 1) : std::string::npos;
        if (!end && cut == std::string::npos) {
            kept = filled; // one line longer than a piece: read on
            continue;
        }
        const std::size_t handed = end ? filled : cut + 1;
        const std::string_view piece(buffer.data(), handed);
        take(piece, line);
        line += static_cast<std::size_t>(std::count(piece.begin(), piece.end(), '\n'));
        buffer.erase(0, handed);
        kept = filled - handed;
    }
}

std::string besidePath(const std::string &namingPath, const std::string &encoded)
{
    std::string name;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        if (encoded[i] == '%' && i + 2 < encoded.size() && std::isxdigit(static_cast<unsigned char>(encoded[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(encoded[i + 2]))) {
            name.push_back(static_cast<char>(std::stoi(encoded.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            name.push_back(encoded[i]);
        }
    }
    if (name.size() > kLongestName)
        throw MeshIoError(excerpt(name) + ": a name of " + std::to_string(name.size()) +
                          " bytes, longer than a file's may be");
    if (!host::staysInFolder(name))
        throw MeshIoError(excerpt(name) + ": it is not in the folder of " + namingPath + " or below it");
    // Links are followed, but where they lead must be in the folder too: the folder of the
    // naming file itself, as its own links lead (where a file written through them put it).
    const std::string folder = host::folderOf(files::linkedFile(namingPath)), path = folder + name;
    const std::string realFolder = files::realPath(folder.empty() ? "." : folder), real = files::realPath(path);
    if (!real.empty() && !realFolder.empty() && !isWithin(real, realFolder))
        throw MeshIoError(excerpt(name) + ": it leads to " + excerpt(real, 200) + ", which is not in the folder of " +
                          namingPath + " or below it");
    return path;
}

std::string fileBeside(const std::string &namingPath, const std::string &name, std::uint64_t largest)
{
    return readInputFile(besidePath(namingPath, name), {}, largest);
}

std::string materialLibraryText(const std::string &objPath, const std::string &library)
{
    try {
        return fileBeside(objPath, library, kLargestLibrary);
    } catch (const MeshIoError &error) {
        // The library's own name leads, as the OBJ file's line gives it.
        const std::string what = error.what();
        const std::size_t at = what.find(": it is not in the folder of");
        throw MeshIoError(at == std::string::npos
                              ? what
                              : excerpt(library) + ": it is not in the folder of the OBJ file or below it");
    }
}

std::string libraryPath(const std::string &objPath, const std::string &library)
{
    try {
        return besidePath(objPath, library);
    } catch (const MeshIoError &) {
        return host::folderOf(files::linkedFile(objPath)) + library;
    }
}

std::string excerpt(std::string_view text, std::size_t most)
{
    if (text.size() <= most)
        return std::string(text);
    std::size_t cut = most;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) // within a UTF-8 character
        --cut;
    return std::string(text.substr(0, cut)) + "... (" + std::to_string(text.size()) + " bytes)";
}

void attachPointMap(const std::string &path, host::Object &object, host::Mesh &mesh, std::uint32_t type,
                    const std::string &name, int dimension, const std::vector<float> &values,
                    const std::vector<std::uint8_t> &has)
{
    const long key = object.mapKey(type, name, dimension);
    if (key < 0)
        throw MeshIoError(path + ": the point map \"" + name + "\" clashes with a map of another dimension");
    host::PointMap &map = mesh.mapFor(static_cast<std::uint32_t>(key), type, dimension);
    map.values.clear();
    map.values.append(values.data(), values.size());
    map.has.clear();
    map.has.append(has.data(), has.size());
}

void appendToLayer(const std::string &path, host::Object &object, int layerNumber, const host::Mesh &mesh)
{
    host::Layer *layer = object.layer(layerNumber);
    if (layer == nullptr)
        throw MeshIoError(path + ": layer " + std::to_string(layerNumber) + " does not exist");
    layer->mesh.append(mesh);
}

} // namespace tuft::meshio
