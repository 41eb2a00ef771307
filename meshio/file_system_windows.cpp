// The file system on Windows, through the C library's descriptors (binary mode).
#include "meshio/file_system.h"

#include "host/windows_error.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

namespace tuft::meshio::files {

namespace {

constexpr int kNameTries = 100;

// Six letters and digits that differ between calls and between processes.
std::string uniqueSuffix()
{
    static std::atomic<unsigned> counter{0};
    std::uint64_t seed = (std::uint64_t(GetCurrentProcessId()) << 32) ^ GetTickCount64() ^
                         (std::uint64_t(counter.fetch_add(1)) * 0x9E3779B97F4A7C15ULL);
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix;
    for (int i = 0; i < 6; ++i) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        suffix += kLetters[(seed >> 33) % 36];
    }
    return suffix;
}

} // namespace

std::string errorText(int error)
{
    return error < 0 ? host::windowsErrorText(static_cast<DWORD>(-error)) : std::strerror(error);
}

int openInput(const std::string &path, std::uint64_t &size, std::string &problem)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        problem = "it is a folder";
        return -1;
    }
    const int fd = _open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (fd < 0) {
        problem = errorText(errno);
        return -1;
    }
    struct _stati64 facts;
    if (_fstati64(fd, &facts) != 0 || (facts.st_mode & _S_IFMT) != _S_IFREG) {
        problem = "it is not a regular file";
        _close(fd);
        return -1;
    }
    size = static_cast<std::uint64_t>(facts.st_size);
    return fd;
}

long long readSome(int fd, char *data, std::size_t size)
{
    return _read(fd, data, static_cast<unsigned>(size < INT_MAX ? size : INT_MAX));
}

void closeFile(int fd) { _close(fd); }

// Links are not followed: MoveFileEx replaces a link itself.
std::string inspectTarget(const std::string &path, Target &target)
{
    target = Target{};
    target.path = path;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? std::string()
                                                                              : host::windowsErrorText(error);
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return "it is a folder";
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0)
        return "it is read-only";
    target.exists = true;
    target.mode = attributes;
    return {};
}

std::string fileIdentity(const std::string &path)
{
    const HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION facts;
        const bool known = GetFileInformationByHandle(file, &facts) != 0;
        CloseHandle(file);
        if (known)
            return "file " + std::to_string(facts.dwVolumeSerialNumber) + ":" +
                   std::to_string((std::uint64_t(facts.nFileIndexHigh) << 32) | facts.nFileIndexLow);
    }
    // A path too long to resolve is compared as it is spelled, never as "" (which would
    // make every such file one).
    std::string real = realPath(path);
    if (real.empty())
        real = path;
    for (char &c : real) // NTFS names are the same in either case
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return "path " + real;
}

int createTemporary(const Target &target, std::string &name)
{
    for (int attempt = 0; attempt < kNameTries; ++attempt) {
        name = temporaryStem(target.path) + uniqueSuffix();
        const int fd =
            _open(name.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
        if (fd >= 0) {
            rememberTemporary(name);
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

// A replaced file keeps its attributes (hidden, archive and the like).
void matchPermissions(int, const std::string &name, const Target &target)
{
    if (target.exists)
        SetFileAttributesA(name.c_str(), target.mode);
}

void adviseHugePages(void *, std::size_t) {}

bool setDirect(int, bool) { return false; }

long long writeSome(int fd, const char *data, std::size_t size)
{
    return _write(fd, data, static_cast<unsigned>(size < INT_MAX ? size : INT_MAX));
}

int flushFile(int fd) { return _commit(fd) == 0 ? 0 : errno; }

std::string linkedFile(const std::string &path) { return path; }

std::string realPath(const std::string &path)
{
    char *real = _fullpath(nullptr, path.c_str(), 0);
    if (real == nullptr)
        return {};
    const std::string resolved = real;
    std::free(real);
    return resolved;
}

int flushNamedFile(const std::string &name)
{
    const int fd = _open(name.c_str(), _O_WRONLY | _O_BINARY | _O_NOINHERIT); // _commit needs write access
    if (fd < 0)
        return errno;
    const int error = flushFile(fd);
    _close(fd);
    return error;
}

int finishFile(int fd) { return _close(fd) == 0 ? 0 : errno; }

// In one step, never deleting the old file first.
int replaceTarget(const std::string &temporary, const Target &target)
{
    if (MoveFileExA(temporary.c_str(), target.path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    return -static_cast<int>(GetLastError());
}

void removeFile(const std::string &name)
{
    DeleteFileA(name.c_str());
    forgetTemporary(name);
}

} // namespace tuft::meshio::files
