// An output file that replaces its target only when completely written.
#pragma once

#include <cstdio>
#include <string>

namespace tuft::meshio {

class AtomicFile {
public:
    // Opens a temporary file beside `path`; throws MeshIoError when it cannot.
    explicit AtomicFile(std::string path);
    // Removes the temporary file unless commit() succeeded.
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    void write(const char *data, std::size_t size);
    // Flushes, closes and renames over the target; throws MeshIoError on failure.
    void commit();

private:
    std::string path_, temporary_;
    std::FILE *file_ = nullptr;
    bool failed_ = false;
};

} // namespace tuft::meshio
