#include "movie/jpeg_encode_pool.h"

#include "imaging/pictavo.h"
#include "movie/image_scaling.h"
#include "movie/temp_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <new>
#include <system_error>

namespace {

// Removes a file when it goes out of scope, whatever happens in between.
struct FileRemover {
    std::string name;
    ~FileRemover() {
        if (!name.empty())
            std::remove(name.c_str());
    }
};

// Releases a picture of the image library when it goes out of scope.
struct DibHolder {
    DibImage image{};
    ~DibHolder() {
        if (image.memoryHandle)
            Pictavo().deldib(image);
    }
};

void SaveJpeg(const DibImage& image, const std::string& fileName, int quality) {
    const PictavoLibrary& library = Pictavo();
    if (library.SaveDibAtQuality) {
        library.SaveDibAtQuality(image, fileName.c_str(), kDibFormatJpeg, quality);
        return;
    }
    // A library without it has one shared setting; the pool then encodes on one thread.
    library.SetJPEGQual(quality);
    library.SaveDib(image, fileName.c_str(), kDibFormatJpeg, nullptr);
}

EncodedJpeg Failed(std::string problem) {
    EncodedJpeg result;
    result.problem = std::move(problem);
    return result;
}

// The bytes of a whole JPEG file written by SaveJpeg; the file decides whether encoding
// worked. They are mapped rather than copied: the file's pages stay after it is removed, and
// a copy would put every JPEG into fresh memory a second time.
EncodedJpeg ReadJpeg(const std::string& fileName) {
    const int fd = open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Failed("its temporary file " + fileName + " can not be read");
    EncodedJpeg block;
    struct stat status {};
    if (fstat(fd, &status) == 0 && status.st_size > 0) {
        const auto size = static_cast<size_t>(status.st_size);
        void* mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (mapped != MAP_FAILED) {
            block.data = std::shared_ptr<const uint8_t>(
                static_cast<const uint8_t*>(mapped),
                [size](const uint8_t* bytes) { munmap(const_cast<uint8_t*>(bytes), size); });
            block.size = size;
        } else { // too many mappings already: a copy
            std::shared_ptr<uint8_t[]> copy(new (std::nothrow) uint8_t[size]);
            if (copy && pread(fd, copy.get(), size, 0) == static_cast<ssize_t>(size)) {
                block.data = std::shared_ptr<const uint8_t>(copy, copy.get());
                block.size = size;
            }
        }
    }
    close(fd);
    if (block.size < 4 || block.data.get()[0] != 0xFF || block.data.get()[1] != 0xD8)
        return Failed("the image library could not encode it as JPEG");
    return block;
}

} // namespace

EncodedJpeg EncodeJpegJob(const JpegJob& job, int quality) {
    int32_t width = DibWidth(job.source);
    int32_t height = DibHeight(job.source);
    DibHolder scaled;
    if (width > job.width || height > job.height) {
        scaled.image = ScaleImageNearest(job.source, job.width, job.height);
        if (scaled.image.pixels) {
            width = job.width;
            height = job.height;
        }
    }
    EncodedJpeg result;
    {
        // The name is taken exclusively (O_EXCL), so threads never share a file.
        FileRemover temporary{MakeTempFileName("tempjpg", ".jpg")};
        if (temporary.name.empty()) {
            result.problem = "no temporary file can be created in " + TemporaryFolder();
        } else {
            SaveJpeg(scaled.image.pixels ? scaled.image : job.source, temporary.name, quality);
            result = ReadJpeg(temporary.name);
        }
    }
    result.width = width;
    result.height = height;
    return result;
}

int MachineThreads() {
    const unsigned count = std::thread::hardware_concurrency();
    return count > 0 ? static_cast<int>(count) : 1;
}

JpegEncodePool::JpegEncodePool(int quality, int threads, size_t window)
    : quality_(quality), window_(window > 0 ? window : 1) {
    if (!Pictavo().SaveDibAtQuality)
        threads = 0;
    for (int i = 0; i < threads; ++i) {
        try {
            workers_.emplace_back([this] { Work(); });
        } catch (const std::system_error&) {
            break; // fewer workers; with none, TakeNext encodes
        }
    }
}

JpegEncodePool::~JpegEncodePool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    jobQueued_.notify_all();
    for (std::thread& worker : workers_)
        worker.join();
}

bool JpegEncodePool::HasRoom() const {
    std::lock_guard lock(mutex_);
    return slots_.size() < window_;
}

size_t JpegEncodePool::Pending() const {
    std::lock_guard lock(mutex_);
    return slots_.size();
}

void JpegEncodePool::Submit(const JpegJob& job) {
    auto slot = std::make_shared<Slot>();
    slot->job = job;
    {
        std::lock_guard lock(mutex_);
        slots_.push_back(std::move(slot));
    }
    jobQueued_.notify_one();
}

std::shared_ptr<JpegEncodePool::Slot> JpegEncodePool::FirstUnstarted() const {
    for (const std::shared_ptr<Slot>& slot : slots_)
        if (!slot->started)
            return slot;
    return nullptr;
}

void JpegEncodePool::Encode(Slot& slot, std::unique_lock<std::mutex>& lock) {
    slot.started = true;
    lock.unlock();
    EncodedJpeg result = EncodeJpegJob(slot.job, quality_);
    lock.lock();
    slot.result = std::move(result);
    slot.done = true;
    jobDone_.notify_all();
}

EncodedJpeg JpegEncodePool::TakeNext() {
    std::unique_lock lock(mutex_);
    const std::shared_ptr<Slot> due = slots_.front();
    // Rather than wait, the caller encodes a job nobody has started: the core it holds would
    // otherwise idle.
    while (!due->done) {
        if (const std::shared_ptr<Slot> idle = FirstUnstarted())
            Encode(*idle, lock);
        else
            jobDone_.wait(lock);
    }
    slots_.pop_front();
    return std::move(due->result);
}

void JpegEncodePool::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        std::shared_ptr<Slot> slot;
        jobQueued_.wait(lock, [&] { return stopping_ || (slot = FirstUnstarted()); });
        if (stopping_)
            return;
        Encode(*slot, lock);
    }
}
