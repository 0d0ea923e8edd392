#include "movie/jpeg_encode_pool.h"

#include "imaging/pictavo.h"
#include "movie/image_scaling.h"
#include "movie/temp_file.h"

#include <cstdio>
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

// Reads a whole JPEG file written by SaveJpeg; the file decides whether encoding worked.
EncodedJpeg ReadJpeg(const std::string& fileName) {
    std::FILE* file = std::fopen(fileName.c_str(), "rb");
    if (!file)
        return {.problem = "its temporary file " + fileName + " can not be read"};
    EncodedJpeg block;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        long length = std::ftell(file);
        if (length > 0 && std::fseek(file, 0, SEEK_SET) == 0) {
            block.size = static_cast<size_t>(length);
            block.data = std::make_unique_for_overwrite<uint8_t[]>(block.size);
            if (std::fread(block.data.get(), 1, block.size, file) != block.size)
                block = {};
        }
    }
    std::fclose(file);
    if (block.size < 4 || block.data[0] != 0xFF || block.data[1] != 0xD8)
        return {.problem = "the image library could not encode it as JPEG"};
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

EncodedJpeg JpegEncodePool::TakeNext() {
    std::unique_lock lock(mutex_);
    std::shared_ptr<Slot> slot = slots_.front();
    if (!slot->started && workers_.empty()) {
        slot->started = true;
        lock.unlock();
        slot->result = EncodeJpegJob(slot->job, quality_);
        lock.lock();
        slot->done = true;
    }
    jobDone_.wait(lock, [&] { return slot->done; });
    slots_.pop_front();
    return std::move(slot->result);
}

void JpegEncodePool::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        std::shared_ptr<Slot> slot;
        jobQueued_.wait(lock, [&] {
            if (stopping_)
                return true;
            for (const std::shared_ptr<Slot>& candidate : slots_)
                if (!candidate->started) {
                    slot = candidate;
                    return true;
                }
            return false;
        });
        if (stopping_)
            return;
        slot->started = true;
        lock.unlock();
        EncodedJpeg result = EncodeJpegJob(slot->job, quality_);
        lock.lock();
        slot->result = std::move(result);
        slot->done = true;
        jobDone_.notify_all();
    }
}
