#include "video/encoding_thread.h"

namespace {
// Queued entries beyond which the drawing thread waits: progress stays near the encoder's.
constexpr size_t kQueueLimit = 8;
} // namespace

EncodingThread::EncodingThread(std::vector<AVFrame*> pool, Encode encode)
    : encode_(std::move(encode)), free_(std::move(pool)), thread_([this] { Run(); }) {}

EncodingThread::~EncodingThread() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

bool EncodingThread::Failed(std::string* failure) const {
    if (!failed_)
        return false;
    if (failure)
        *failure = failure_;
    return true;
}

AVFrame* EncodingThread::FreeFrame(std::string* failure) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !free_.empty() || failed_; });
    if (Failed(failure))
        return nullptr;
    AVFrame* frame = free_.back();
    free_.pop_back();
    return frame;
}

bool EncodingThread::Queue(AVFrame* frame, std::string* failure) {
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return queued_.size() < kQueueLimit || failed_; });
        if (Failed(failure))
            return false;
        queued_.push_back(frame);
    }
    changed_.notify_all();
    return true;
}

bool EncodingThread::Drain(std::string* failure) {
    std::unique_lock lock(mutex_);
    draining_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return done_; });
    return !Failed(failure);
}

void EncodingThread::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stopping_ || draining_ || !queued_.empty(); });
        if (stopping_ || queued_.empty())
            break; // stopped, or drained
        AVFrame* next = queued_.front();
        queued_.pop_front();
        AVFrame* frame = next ? next : last_;
        lock.unlock();
        changed_.notify_all(); // room in the queue
        std::string failure;
        const bool encoded = frame && encode_(frame, &failure);
        lock.lock();
        if (!encoded) {
            failed_ = true;
            failure_ = frame ? failure : "A frame was repeated before any was added.";
            break;
        }
        if (next && next != last_) {
            if (last_)
                free_.push_back(last_);
            last_ = next;
        }
        changed_.notify_all(); // a free frame
    }
    done_ = true;
    lock.unlock();
    changed_.notify_all();
}
