// The file system on POSIX systems.
#include "meshio/file_system.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tuft::meshio::files {

namespace {

constexpr int kMostLinks = 40; // as the kernel's own limit on a path's symbolic links

std::string folderOf(const std::string &path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Follows `path` through its symbolic links, each relative one from its own folder;
// returns an empty string, or why they cannot be followed.
std::string followLinks(std::string &path)
{
    struct stat facts;
    for (int hops = 0; lstat(path.c_str(), &facts) == 0 && S_ISLNK(facts.st_mode); ++hops) {
        if (hops == kMostLinks)
            return "it is a symbolic link that leads round in a circle";
        char linked[PATH_MAX];
        const ssize_t length = readlink(path.c_str(), linked, sizeof linked - 1);
        if (length < 0)
            return errorText(errno);
        const std::string next(linked, static_cast<std::size_t>(length));
        path = next.empty() || next[0] == '/' ? next : folderOf(path) + next;
    }
    return {};
}

} // namespace

std::string errorText(int error) { return std::strerror(error); }

std::string linkedFile(const std::string &path)
{
    std::string followed = path;
    return followLinks(followed).empty() ? followed : path;
}

std::string realPath(const std::string &path)
{
    char *real = realpath(path.c_str(), nullptr);
    if (real == nullptr)
        return {};
    const std::string resolved = real;
    std::free(real);
    return resolved;
}

int openInput(const std::string &path, std::uint64_t &size, std::string &problem)
{
    // Non-blocking, so that a FIFO does not wait for a writer before it can be refused.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        problem = errorText(errno);
        return -1;
    }
    struct stat facts;
    if (fstat(fd, &facts) != 0 || !S_ISREG(facts.st_mode)) {
        problem = S_ISDIR(facts.st_mode) ? "it is a folder" : "it is not a regular file";
        close(fd);
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    size = static_cast<std::uint64_t>(facts.st_size);
    return fd;
}

long long readSome(int fd, char *data, std::size_t size)
{
    for (;;) {
        const ssize_t got = read(fd, data, size);
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

void closeFile(int fd) { close(fd); }

std::string inspectTarget(const std::string &path, Target &target)
{
    target = Target{};
    target.path = path;
    const std::string unfollowed = followLinks(target.path);
    if (!unfollowed.empty())
        return unfollowed;
    struct stat facts;
    if (stat(target.path.c_str(), &facts) != 0)
        return errno == ENOENT ? std::string() : errorText(errno);
    if (S_ISDIR(facts.st_mode))
        return "it is a folder";
    if (!S_ISREG(facts.st_mode))
        return "it is not a regular file";
    if (access(target.path.c_str(), W_OK) != 0)
        return errorText(errno);
    target.exists = true;
    target.mode = facts.st_mode & 07777;
    target.owner = facts.st_uid;
    target.group = facts.st_gid;
    return {};
}

std::string fileIdentity(const std::string &path)
{
    struct stat facts;
    if (stat(path.c_str(), &facts) == 0)
        return "file " + std::to_string(facts.st_dev) + ":" + std::to_string(facts.st_ino);
    Target target; // a link that leads nowhere yet: the file it would make
    inspectTarget(path, target);
    const std::string folder = folderOf(target.path), real = realPath(folder.empty() ? "." : folder);
    return "path " + (real.empty() ? folder : real + "/") + target.path.substr(folder.size());
}

int createTemporary(const Target &target, std::string &name)
{
    name = temporaryStem(target.path) + "XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd >= 0)
        rememberTemporary(name);
    return fd;
}

void matchPermissions(int fd, const std::string &, const Target &target)
{
    if (target.exists) {
        // The owner can be kept only by a user who may give files away; the mode always.
        const int keptOwner = fchown(fd, static_cast<uid_t>(target.owner), static_cast<gid_t>(target.group));
        (void)keptOwner;
        fchmod(fd, static_cast<mode_t>(target.mode));
        return;
    }
    // mkstemp makes the file private; give it the usual permissions of a new file.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
}

void adviseHugePages(void *block, std::size_t bytes) { madvise(block, bytes, MADV_HUGEPAGE); }

bool setDirect(int fd, bool on)
{
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0)
        return false;
    return fcntl(fd, F_SETFL, on ? flags | O_DIRECT : flags & ~O_DIRECT) == 0;
}

long long writeSome(int fd, const char *data, std::size_t size)
{
    for (;;) {
        const ssize_t written = write(fd, data, size);
        if (written >= 0 || errno != EINTR)
            return written;
    }
}

int flushFile(int fd) { return fsync(fd) == 0 ? 0 : errno; }

int flushNamedFile(const std::string &name)
{
    const int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error = flushFile(fd);
    close(fd);
    return error;
}

int finishFile(int fd) { return close(fd) == 0 ? 0 : errno; }

int replaceTarget(const std::string &temporary, const Target &target)
{
    if (std::rename(temporary.c_str(), target.path.c_str()) != 0)
        return errno;
    // The file is in place; a folder that cannot be flushed (some file systems refuse)
    // leaves it there all the same.
    const std::string folder = folderOf(target.path);
    const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
    return 0;
}

void removeFile(const std::string &name)
{
    std::remove(name.c_str());
    forgetTemporary(name);
}

} // namespace tuft::meshio::files
