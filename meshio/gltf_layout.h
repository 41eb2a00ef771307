// Where a glTF file's binary data lies: its buffer views, in one buffer (a .glb's) or in
// several of bounded size (a .gltf's .bin files), and the file each view's bytes go into
// as they are written, view after view.
#pragma once

#include "meshio/atomic_file.h"
#include "meshio/output_set.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tuft::meshio::gltf {

// The most bytes a .gltf's .bin file holds: 2 GiB, what readers in a browser can take as
// one buffer; TUFT_GLTF_BIN_BYTES sets it lower, for tests.
std::uint64_t mostBinBytes();

// The .bin file of a .gltf's buffer: the first named after the file, the others numbered.
std::string binPath(const std::string &path, std::size_t buffer);

// Where each piece of binary data lies, as the JSON describes it: in one buffer, or in
// buffers of at most `mostPerBuffer` bytes each (a view is never cut, and one larger than
// that has a buffer to itself).
class Layout {
public:
    explicit Layout(std::uint64_t mostPerBuffer) : most_(mostPerBuffer) {}

    std::size_t view(std::size_t bytes, std::uint32_t target)
    {
        const std::size_t padded = (bytes + 3) / 4 * 4; // every view starts on a four-byte boundary
        if (most_ > 0 && lengths_.back() > 0 && lengths_.back() + padded > most_)
            lengths_.push_back(0);
        views_.push_back({{"buffer", lengths_.size() - 1}, {"byteOffset", lengths_.back()}, {"byteLength", bytes}});
        if (target != 0) // an image's view has none, nor the placements'
            views_.back()["target"] = target;
        lengths_.back() += padded;
        bufferOfView_.push_back(lengths_.size() - 1);
        return views_.size() - 1;
    }
    std::size_t accessor(std::size_t view, std::uint32_t componentType, std::size_t count, const char *type)
    {
        accessors_.push_back(
            {{"bufferView", view}, {"componentType", componentType}, {"count", count}, {"type", type}});
        return accessors_.size() - 1;
    }
    nlohmann::ordered_json &lastAccessor() { return accessors_.back(); }
    nlohmann::ordered_json &views() { return views_; }
    nlohmann::ordered_json &accessors() { return accessors_; }
    // The bytes of each buffer; one of none when there is no data.
    const std::vector<std::size_t> &lengths() const { return lengths_; }
    std::size_t bufferOf(std::size_t view) const { return bufferOfView_[view]; }

private:
    const std::uint64_t most_;
    nlohmann::ordered_json views_ = nlohmann::ordered_json::array(), accessors_ = nlohmann::ordered_json::array();
    std::vector<std::size_t> lengths_ = {0}, bufferOfView_;
};

// The file each view's bytes go into, view after view: a .glb's own, or the .bin file of
// a .gltf's buffer, each added to the outputs as its first view comes and completed as
// the next one begins.
class ViewFiles {
public:
    ViewFiles(AtomicFile &glb, const Layout &layout) : glb_(&glb), layout_(layout) {}
    ViewFiles(OutputSet &outputs, const std::function<std::string(std::size_t buffer)> &binPath, const Layout &layout)
        : outputs_(&outputs), binPath_(binPath), layout_(layout)
    {
    }

    AtomicFile &next()
    {
        const std::size_t buffer = layout_.bufferOf(view_++);
        if (glb_ != nullptr)
            return *glb_;
        if (bin_ == nullptr || buffer != buffer_) {
            complete();
            bin_ = &outputs_->add(binPath_(buffer));
            buffer_ = buffer;
        }
        return *bin_;
    }
    // The last .bin file is complete.
    void complete()
    {
        if (bin_ != nullptr)
            bin_->complete();
        bin_ = nullptr;
    }

private:
    AtomicFile *glb_ = nullptr, *bin_ = nullptr;
    OutputSet *outputs_ = nullptr;
    std::function<std::string(std::size_t buffer)> binPath_;
    const Layout &layout_;
    std::size_t view_ = 0, buffer_ = 0;
};

} // namespace tuft::meshio::gltf
