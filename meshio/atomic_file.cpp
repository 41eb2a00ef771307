#include "meshio/atomic_file.h"

#include "meshio/meshio.h"

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tuft::meshio {

namespace {

constexpr std::size_t kBlock = 4 << 20;
constexpr std::size_t kBlocks = 3;           // one filling, two queued or being written
constexpr std::size_t kDirectAlign = 4096;   // offsets, sizes and addresses of direct writes
constexpr std::size_t kBlockAlign = 2 << 20; // each block in whole huge pages

struct FreeBlock {
    void operator()(char *block) const { std::free(block); }
};
using BlockPtr = std::unique_ptr<char, FreeBlock>;

BlockPtr newBlock()
{
    char *block = static_cast<char *>(std::aligned_alloc(kBlockAlign, kBlock));
    if (block == nullptr)
        throw std::bad_alloc();
    madvise(block, kBlock, MADV_HUGEPAGE); // a hint; plain pages are fine too
    return BlockPtr(block);
}

} // namespace

// The file's blocks and the helper thread that writes the full ones, in order.
class AtomicFile::Writer {
public:
    explicit Writer(int fd) : fd_(fd), filling_(newBlock()) {}
    // An abandoned file: the blocks still queued are not worth writing.
    ~Writer()
    {
        setError(ECANCELED);
        stopHelper();
    }

    void write(const char *data, std::size_t size)
    {
        while (size > 0) {
            const std::size_t part = std::min(size, kBlock - used_);
            std::memcpy(filling_.get() + used_, data, part);
            used_ += part;
            data += part;
            size -= part;
            if (used_ == kBlock)
                handOver();
        }
    }

    // Waits for the helper, writes the last partial block; returns 0 or the first error.
    int finish()
    {
        stopHelper();
        if (error_ == 0)
            writeOut(filling_.get(), used_);
        used_ = 0;
        return error_;
    }

private:
    void handOver()
    {
        if (!helper_.joinable()) {
            // Large from here on: bypass the page cache if the file system allows it.
            const int flags = fcntl(fd_, F_GETFL);
            direct_ = flags >= 0 && fcntl(fd_, F_SETFL, flags | O_DIRECT) == 0;
            for (std::size_t i = 1; i < kBlocks; ++i)
                spare_.push_back(newBlock());
            helper_ = std::thread([this] { writeQueued(); });
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            full_.push_back(std::move(filling_));
        }
        changed_.notify_all();
        filling_ = takeSpare();
        used_ = 0;
    }

    BlockPtr takeSpare()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !spare_.empty(); });
        BlockPtr block = std::move(spare_.back());
        spare_.pop_back();
        return block;
    }

    void writeQueued()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return !full_.empty() || stopping_; });
            if (full_.empty())
                return;
            BlockPtr block = std::move(full_.front());
            full_.pop_front();
            const bool failed = error_ != 0;
            lock.unlock();
            if (!failed)
                writeOut(block.get(), kBlock);
            lock.lock();
            spare_.push_back(std::move(block));
            changed_.notify_all();
        }
    }

    void stopHelper()
    {
        if (!helper_.joinable())
            return;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        helper_.join();
    }

    // Writes all of data: the aligned part directly where possible, the rest buffered.
    void writeOut(const char *data, std::size_t size)
    {
        while (size > 0) {
            std::size_t part = size;
            if (direct_) {
                part = size / kDirectAlign * kDirectAlign;
                if (part == 0) {
                    stopDirect();
                    continue;
                }
            }
            const ssize_t written = ::write(fd_, data, part);
            if (written < 0 && errno == EINTR)
                continue;
            if (written < 0 && errno == EINVAL && direct_) {
                stopDirect();
                continue;
            }
            if (written <= 0) {
                setError(written < 0 ? errno : EIO);
                return;
            }
            data += written;
            size -= static_cast<std::size_t>(written);
        }
    }

    void stopDirect()
    {
        direct_ = false;
        const int flags = fcntl(fd_, F_GETFL);
        if (flags >= 0)
            fcntl(fd_, F_SETFL, flags & ~O_DIRECT);
    }

    void setError(int error)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (error_ == 0)
            error_ = error;
    }

    const int fd_;
    bool direct_ = false; // touched by the helper only while it runs
    BlockPtr filling_;
    std::size_t used_ = 0;
    std::thread helper_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<BlockPtr> full_;
    std::vector<BlockPtr> spare_;
    bool stopping_ = false;
    int error_ = 0;
};

AtomicFile::AtomicFile(std::string path) : path_(std::move(path))
{
    temporary_ = path_ + ".XXXXXX";
    fd_ = mkstemp(temporary_.data());
    if (fd_ < 0)
        throw MeshIoError("cannot write " + path_ + ": " + std::strerror(errno));
    writer_ = std::make_unique<Writer>(fd_);
}

AtomicFile::~AtomicFile()
{
    if (fd_ >= 0)
        discard();
}

void AtomicFile::discard()
{
    writer_.reset();
    close(fd_);
    fd_ = -1;
    std::remove(temporary_.c_str());
}

void AtomicFile::write(const char *data, std::size_t size) { writer_->write(data, size); }

void AtomicFile::commit()
{
    int error = writer_->finish();
    if (close(fd_) != 0 && error == 0)
        error = errno;
    fd_ = -1;
    writer_.reset();
    if (error != 0) {
        std::remove(temporary_.c_str());
        throw MeshIoError("cannot write " + path_ + ": " + std::strerror(error));
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
