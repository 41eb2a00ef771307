// The files one run writes, put in place together.
#pragma once

#include "meshio/atomic_file.h"

#include <memory>
#include <string>
#include <vector>

namespace tuft::meshio {

// Each file is written whole to a temporary file beside its target (links followed), and
// flushed to the disk; only once every one is complete does commit() rename them into
// place, one after another in the order they were added. Until then no target has
// changed, and a set destroyed without commit() removes its temporary files. Several
// renames cannot be one atomic step: a rename that fails (the folder changed under the
// run) leaves those before it in place, and says which file it stopped at.
class OutputSet {
public:
    OutputSet() = default;
    OutputSet(const OutputSet &) = delete;
    OutputSet &operator=(const OutputSet &) = delete;

    // A file to write in place of `path`: its temporary file is made now (MeshIoError
    // when it cannot be). Write it, then complete() it before the next is added.
    AtomicFile &add(const std::string &path);
    // A temporary file in place of `path` that another writer fills by its name (the
    // plug-in saving a preset); returns that name.
    std::string reserve(const std::string &path);
    // Puts every file in place, in the order added, and empties the set; throws
    // MeshIoError naming the file that could not be completed or put in place.
    void commit();

private:
    std::vector<std::unique_ptr<AtomicFile>> files_;
};

} // namespace tuft::meshio
