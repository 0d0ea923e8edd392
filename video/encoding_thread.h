// Hands converted frames from the thread that draws them to a thread of their own that feeds
// the encoder, so that drawing frame k + 1 overlaps encoding frame k. The frames circulate in
// a small pool: drawn into a free one, queued, encoded, and free again once a newer frame has
// replaced it as the one a repeat sends again.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct AVFrame;

class EncodingThread {
public:
    // Runs on the encoding thread for every queued frame, in order (a repeated frame comes
    // again); false, with *failure set, stops the thread.
    using Encode = std::function<bool(AVFrame* frame, std::string* failure)>;

    // pool: the frames to draw into (at least two), owned by the caller, which must outlive this.
    EncodingThread(std::vector<AVFrame*> pool, Encode encode);
    // Stops at once: what is still queued is not encoded.
    ~EncodingThread();
    EncodingThread(const EncodingThread&) = delete;
    EncodingThread& operator=(const EncodingThread&) = delete;

    // The drawing thread's calls.
    // A frame nobody else uses; waits for one. Null when encoding failed (*failure says why).
    AVFrame* FreeFrame(std::string* failure);
    // Queues frame, taken from FreeFrame; null sends the last queued frame again.
    bool Queue(AVFrame* frame, std::string* failure);
    // Waits until everything queued is encoded and ends the thread.
    bool Drain(std::string* failure);

private:
    void Run();
    bool Failed(std::string* failure) const; // with the lock held

    const Encode encode_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<AVFrame*> free_;  // frames the drawing thread may fill
    std::deque<AVFrame*> queued_; // in order; null repeats the frame before
    AVFrame* last_ = nullptr;     // the frame a repeat sends, kept from the pool
    bool draining_ = false;       // nothing more comes: finish the queue and end
    bool stopping_ = false;       // end now, the queue unencoded
    bool done_ = false;           // the thread has ended
    bool failed_ = false;         // the encoder failed; the thread has ended
    std::string failure_;         // why, for users
    std::thread thread_;          // last: starts when the rest is ready
};
