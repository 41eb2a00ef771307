#include "atomic_file.h"

#include "meshio.h"

#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace tuft::meshio {

AtomicFile::AtomicFile(std::string path) : path_(std::move(path))
{
    temporary_ = path_ + ".XXXXXX";
    const int fd = mkstemp(temporary_.data());
    if (fd < 0)
        throw MeshIoError("cannot write " + path_ + ": " + std::strerror(errno));
    file_ = fdopen(fd, "wb");
    if (file_ == nullptr) {
        close(fd);
        std::remove(temporary_.c_str());
        throw MeshIoError("cannot write " + path_ + ": " + std::strerror(errno));
    }
}

AtomicFile::~AtomicFile()
{
    if (file_ != nullptr) {
        std::fclose(file_);
        std::remove(temporary_.c_str());
    }
}

void AtomicFile::write(const char *data, std::size_t size)
{
    if (!failed_ && std::fwrite(data, 1, size, file_) != size)
        failed_ = true;
}

void AtomicFile::commit()
{
    const int error = failed_ ? errno : 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (failed_ || !closed) {
        std::remove(temporary_.c_str());
        throw MeshIoError("cannot write " + path_ + ": " + std::strerror(error ? error : errno));
    }
    // mkstemp makes the file private; give it the usual permissions of a new file.
    const mode_t mask = umask(0);
    umask(mask);
    chmod(temporary_.c_str(), 0666 & ~mask);
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        const int renameError = errno;
        std::remove(temporary_.c_str());
        throw MeshIoError("cannot write " + path_ + ": " + std::strerror(renameError));
    }
}

} // namespace tuft::meshio
