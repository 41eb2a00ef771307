// An output file that replaces its target only when completely written.
#pragma once

#include "meshio/file_system.h"

#include <cstddef>
#include <memory>
#include <string>

namespace tuft::meshio {

// Bytes are gathered in large blocks. Once a file outgrows its first block, full blocks
// are written by a helper thread while the caller goes on producing, with direct I/O
// where the file system offers it: a gigabyte of mesh then takes no page cache, which
// a fresh machine fills at a few hundred megabytes a second.
class AtomicFile {
public:
    // Opens a temporary file beside the file `path` names (links followed); throws
    // MeshIoError, saying why, when that file may not be replaced or no temporary file
    // can be made there.
    explicit AtomicFile(std::string path);
    // Removes the temporary file unless commit() succeeded.
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    void write(const char *data, std::size_t size);
    // Writes what is left and closes the temporary file, so that a failure shows before
    // any of several files is put in place; throws MeshIoError on failure.
    void complete();
    // Writes what is left, closes and puts the file in the target's place, with the
    // permissions the target had; throws MeshIoError on failure.
    void commit();
    // Closes the temporary file, empty, for another writer to fill by its name, and
    // returns that name; commit() flushes to the disk what the file then holds.
    std::string handOver();

private:
    class Writer;
    void discard();

    std::string path_, temporary_;
    files::Target target_;
    int fd_ = -1;
    bool handedOver_ = false;
    std::unique_ptr<Writer> writer_;
};

} // namespace tuft::meshio
