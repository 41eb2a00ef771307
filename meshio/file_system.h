// What reading and writing mesh files ask of the file system: inputs that are regular
// files, temporary files beside a target, and replacing the target whole. The one place
// where the platform shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tuft::meshio::files {

// Error numbers are errno values; a Windows system error code is passed negated.
// The text of an error number, as the system gives it.
std::string errorText(int error);

// --- reading ----------------------------------------------------------------------------

// Opens a file for reading: a regular file only (never waiting on a FIFO or a device).
// Returns a descriptor and the file's size, or -1 with `problem` saying why.
int openInput(const std::string &path, std::uint64_t &size, std::string &problem);
// Reads up to `size` bytes; returns how many, or -1 and sets errno.
long long readSome(int fd, char *data, std::size_t size);
void closeFile(int fd);

// --- writing ----------------------------------------------------------------------------

// What a target is before it is replaced.
struct Target {
    std::string path; // the file that will be replaced: links followed
    bool exists = false;
    unsigned mode = 0;       // its permissions, when it exists
    std::int64_t owner = -1; // and its owner and group, where the platform has them
    std::int64_t group = -1;
};

// The absolute path of a file or folder, every symbolic link followed and every "." and
// ".." resolved (on Windows, as the path is written); empty when it cannot be had (a part
// of it missing).
std::string realPath(const std::string &path);

// What tells files apart: two names of one file (links followed) give the same identity:
// for a file that exists, its device and file number (on Windows its volume and file
// index); for one that does not yet, its path with its folder resolved.
std::string fileIdentity(const std::string &path);

// The file `path` names, its symbolic links followed (each relative one from its own
// folder), as a path that stays relative when they are; `path` when they cannot be
// followed, and on Windows, where a link is replaced rather than followed.
std::string linkedFile(const std::string &path);

// Follows `path` through symbolic links to the file that is to be written, and says what
// is there. Returns an empty string, or why that file cannot be replaced (a folder, a
// file the user may not write).
std::string inspectTarget(const std::string &path, Target &target);

// A new, empty temporary file beside the target, named "<target>.tuftsprout-XXXXXX" (the
// target's name cut short where the whole would be longer than a file name may be).
// Returns its descriptor, or -1 with errno set.
int createTemporary(const Target &target, std::string &name);
// Gives the temporary file the permissions a replaced file had, or those of a new file.
void matchPermissions(int fd, const std::string &name, const Target &target);
// A hint that a large block of memory be backed by huge pages, where the system has them.
void adviseHugePages(void *block, std::size_t bytes);
// Asks for writes that bypass the page cache; false when the file system refuses.
bool setDirect(int fd, bool on);
// Writes `size` bytes at the file's position; returns how many, or -1 and sets errno.
long long writeSome(int fd, const char *data, std::size_t size);
// Writes what the system holds of a file's data through to the disk (so that a power cut
// after the file has replaced another cannot leave it empty); 0 or an error number.
int flushFile(int fd);
// The same for a file another writer wrote, by its name.
int flushNamedFile(const std::string &name);
// Closes a written file, reporting late write errors; 0 or an error number.
int finishFile(int fd);
// Puts the temporary file in the target's place in one step, and the folder's new entry
// on the disk; 0 or an error number.
int replaceTarget(const std::string &temporary, const Target &target);
void removeFile(const std::string &name);

// Temporary files being written are removed when the program is stopped by SIGINT,
// SIGTERM or SIGHUP, which then stop it as they would have; a file grown past its size
// limit makes the write fail with a message instead of killing the program.
void removeTemporariesOnSignals();
// The temporary files a signal removes: added when made, dropped when done with.
void rememberTemporary(const std::string &name);
void forgetTemporary(const std::string &name);
// The temporary's name for a target but its six characters of XXXXXX: the target's path
// and ".tuftsprout-", the file name cut (at a character's start) so that the whole stays
// within 255 bytes.
std::string temporaryStem(const std::string &targetPath);

} // namespace tuft::meshio::files
