// What the mesh writers share.
#pragma once

#include "meshio/meshio.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tuft::meshio {

// A name as one word, for formats whose names end at white space; `fallback` when empty.
std::string oneWord(const std::string &name, const char *fallback);

// The names the object's surfaces go by in a file, by surface index: their own, and for
// blades planted without a surface name "Grass" (numbered when a surface of the object
// has that name already), so the grass never shares the model's material.
std::vector<std::string> surfaceFileNames(const host::Object &object);

// The surfaces the layers' polygons use, in the order of the object's surfaces.
std::vector<std::uint32_t> usedSurfaces(const host::Object &object, const std::vector<const host::Layer *> &layers);

// A name for an OBJ or MTL statement (usemtl, newmtl): one word, and never one that
// starts with '#', which readers take for a comment ("#1 Grass" is "_#1_Grass").
std::string objName(const std::string &name);

// The file written beside an output (a .gltf's .bin, an OBJ's .mtl): in the folder of the
// file actually written (links followed), named after it with `ending` for its extension.
std::string companionPath(const std::string &outputPath, const std::string &ending);

// A file name as a URI reference: every byte but the unreserved ones percent-encoded, so
// that a space, '#', '%' or a newline in the name reads back as itself.
std::string uriOf(const std::string &name);
// The URI of an existing file from the folder an output is written to: up with "..",
// then down, each part as uriOf gives it; empty when it cannot be had (the file gone,
// or on another drive).
std::string relativeUri(const std::string &file, const std::string &outputPath);

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
