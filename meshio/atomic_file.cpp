#include "meshio/atomic_file.h"

#include "meshio/meshio.h"

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace tuft::meshio {

namespace {

constexpr std::size_t kBlock = 4 << 20;
constexpr std::size_t kBlocks = 3;           // one filling, two queued or being written
constexpr std::size_t kDirectAlign = 4096;   // offsets, sizes and addresses of direct writes
constexpr std::size_t kBlockAlign = 2 << 20; // each block in whole huge pages
// Written bytes a third thread flushes to the disk as they come, while writing goes on: a
// virtual disk's cache then empties as the file is made, not all at once (half a second
// a gigabyte) when it is complete.
constexpr std::size_t kFlushEvery = 64 << 20;

struct FreeBlock {
    void operator()(char *block) const { ::operator delete(block, std::align_val_t(kBlockAlign)); }
};
using BlockPtr = std::unique_ptr<char, FreeBlock>;

BlockPtr newBlock()
{
    BlockPtr block(static_cast<char *>(::operator new(kBlock, std::align_val_t(kBlockAlign))));
    files::adviseHugePages(block.get(), kBlock);
    return block;
}

} // namespace

// The file's blocks, the helper thread that writes the full ones, in order, and the one
// that flushes what has been written.
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
            direct_ = files::setDirect(fd_, true);
            for (std::size_t i = 1; i < kBlocks; ++i)
                spare_.push_back(newBlock());
            helper_ = std::thread([this] { writeQueued(); });
            flusher_ = std::thread([this] { flushWritten(); });
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
            unflushed_ += kBlock;
            spare_.push_back(std::move(block));
            changed_.notify_all();
        }
    }

    void flushWritten()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return unflushed_ >= kFlushEvery || stopping_; });
            if (stopping_ || error_ != 0)
                return;
            unflushed_ = 0;
            lock.unlock();
            const int error = files::flushFile(fd_);
            if (error != 0)
                setError(error);
            lock.lock();
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
        flusher_.join();
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
            const long long written = files::writeSome(fd_, data, part);
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
        files::setDirect(fd_, false);
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
    std::size_t unflushed_ = 0; // written since the flusher last began
    std::thread helper_, flusher_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<BlockPtr> full_;
    std::vector<BlockPtr> spare_;
    bool stopping_ = false;
    int error_ = 0;
};

AtomicFile::AtomicFile(std::string path) : path_(std::move(path))
{
    const std::string refused = files::inspectTarget(path_, target_);
    if (!refused.empty())
        throw MeshIoError("cannot write " + path_ + ": " + refused);
    fd_ = files::createTemporary(target_, temporary_);
    if (fd_ < 0) {
        const int error = errno;
        std::string why = files::errorText(error);
        if (target_.exists)
            why = "its folder does not allow a new file beside it (" + why +
                  "), and the file is only ever "
                  "replaced whole, never written in place";
        throw MeshIoError("cannot write " + path_ + ": " + why);
    }
    files::matchPermissions(fd_, temporary_, target_);
    writer_ = std::make_unique<Writer>(fd_);
}

AtomicFile::~AtomicFile()
{
    if (fd_ >= 0)
        discard();
    else if (!temporary_.empty()) // completed, never put in place
        files::removeFile(temporary_);
}

void AtomicFile::discard()
{
    writer_.reset();
    files::finishFile(fd_);
    fd_ = -1;
    files::removeFile(temporary_);
}

void AtomicFile::write(const char *data, std::size_t size) { writer_->write(data, size); }

void AtomicFile::complete()
{
    if (fd_ < 0)
        return;
    int error = writer_->finish();
    if (error == 0)
        error = files::flushFile(fd_);
    const int closeError = files::finishFile(fd_);
    if (error == 0)
        error = closeError;
    fd_ = -1;
    writer_.reset();
    if (error != 0) {
        files::removeFile(temporary_);
        temporary_.clear();
        throw MeshIoError("cannot write " + path_ + ": " + files::errorText(error));
    }
}

std::string AtomicFile::handOver()
{
    writer_.reset();
    files::finishFile(fd_);
    fd_ = -1;
    handedOver_ = true;
    return temporary_;
}

void AtomicFile::commit()
{
    complete();
    int error = handedOver_ ? files::flushNamedFile(temporary_) : 0;
    if (error == 0)
        error = files::replaceTarget(temporary_, target_);
    if (error != 0) {
        files::removeFile(temporary_);
        temporary_.clear();
        throw MeshIoError("cannot write " + path_ + ": " + files::errorText(error));
    }
    files::forgetTemporary(temporary_);
    temporary_.clear();
}

} // namespace tuft::meshio
