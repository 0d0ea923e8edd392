// Encodes the pictures of a movie to JPEG on worker threads, ahead of the builder that
// places them, and hands the results back in the order the pictures were queued. The caller's
// thread encodes too whenever it would otherwise wait for a result. At most
// a fixed number of pictures are queued or waiting to be taken, so memory stays bounded
// however long the movie is.
#pragma once

#include "imaging/dib_image.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The JPEG bytes of a picture and the size it was encoded at. Empty (null data), with the
// reason in problem, when the picture could not be written or read back as a JPEG.
struct EncodedJpeg {
    std::shared_ptr<const uint8_t> data; // mapped from the removed temporary file, or a copy
    size_t size = 0;
    int32_t width = 0;
    int32_t height = 0;
    std::string problem;
};

// One picture to encode: source, shrunk (nearest pixel) to width x height when it is larger
// in either direction. The source must stay unchanged until its result is taken.
struct JpegJob {
    DibImage source{};
    int32_t width = 0;
    int32_t height = 0;
};

// Encodes one job on the calling thread, through an exclusive temporary file of the image
// library's SaveDib that is removed before this returns.
EncodedJpeg EncodeJpegJob(const JpegJob& job, int quality);

// The number of threads the machine runs at once (at least 1).
int MachineThreads();

class JpegEncodePool {
public:
    // threads workers besides the caller's thread (none when the image library cannot take
    // the quality per call: TakeNext then encodes every job); at most `window` jobs (at
    // least 1) queued, running or waiting to be taken.
    JpegEncodePool(int quality, int threads, size_t window);
    // Cancels: queued jobs are dropped, running ones finish, every temporary file is gone.
    ~JpegEncodePool();
    JpegEncodePool(const JpegEncodePool&) = delete;
    JpegEncodePool& operator=(const JpegEncodePool&) = delete;

    // True while another job may be queued.
    bool HasRoom() const;
    // Queues a job; call only while HasRoom().
    void Submit(const JpegJob& job);
    // Jobs queued and not yet taken.
    size_t Pending() const;
    // The result of the oldest job not yet taken, encoding queued jobs on this thread until
    // it is done. Call only while Pending().
    EncodedJpeg TakeNext();

private:
    struct Slot {
        JpegJob job;
        bool started = false;
        bool done = false;
        EncodedJpeg result;
    };

    void Work();
    // The oldest queued job no thread has started, or null; with mutex_ held.
    std::shared_ptr<Slot> FirstUnstarted() const;
    // Encodes slot's job with lock (on mutex_) released meanwhile, and marks it done.
    void Encode(Slot& slot, std::unique_lock<std::mutex>& lock);

    const int quality_;
    const size_t window_;
    mutable std::mutex mutex_;
    std::condition_variable jobQueued_;
    std::condition_variable jobDone_;
    // Oldest first; slots stay until taken, so the front is the next result due.
    std::deque<std::shared_ptr<Slot>> slots_;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};
