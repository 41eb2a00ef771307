// An output file that replaces its target only when completely written.
#pragma once

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
    // Opens a temporary file beside `path`; throws MeshIoError when it cannot.
    explicit AtomicFile(std::string path);
    // Removes the temporary file unless commit() succeeded.
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    void write(const char *data, std::size_t size);
    // Writes what is left, closes and renames over the target; throws MeshIoError on failure.
    void commit();

private:
    class Writer;
    void discard();

    std::string path_, temporary_;
    int fd_ = -1;
    std::unique_ptr<Writer> writer_;
};

} // namespace tuft::meshio
