#include "meshio/output_set.h"

namespace tuft::meshio {

AtomicFile &OutputSet::add(const std::string &path)
{
    files_.push_back(std::make_unique<AtomicFile>(path));
    return *files_.back();
}

std::string OutputSet::reserve(const std::string &path) { return add(path).handOver(); }

void OutputSet::commit()
{
    const std::vector<std::unique_ptr<AtomicFile>> files = std::move(files_);
    files_.clear();
    for (const std::unique_ptr<AtomicFile> &file : files)
        file->complete();
    for (const std::unique_ptr<AtomicFile> &file : files)
        file->commit();
}

} // namespace tuft::meshio
