// The hand-off between the drawing and the encoding thread: order, repeats, the pool's
// recycling and failures.
#include "video/encoding_thread.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Frames whose content is a number (kept in `width`); the encoder notes what it is given.
class EncodingThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (AVFrame*& frame : pool_)
            frame = av_frame_alloc();
    }
    void TearDown() override {
        for (AVFrame*& frame : pool_)
            av_frame_free(&frame);
    }
    std::vector<AVFrame*> Pool() const { return {pool_, pool_ + 2}; }

    AVFrame* pool_[2] = {};
    std::vector<int> encoded_; // used by the encoding thread until Drain
};

// Content numbers to add, 0 for a repeat of the previous one.
TEST_F(EncodingThreadTest, EncodesInOrderAndRepeatsTheFrameBefore) {
    const std::vector<int> added = {1, 0, 2, 3, 0, 0, 4, 5, 6, 0, 7};
    EncodingThread thread(Pool(), [&](AVFrame* frame, std::string*) {
        encoded_.push_back(frame->width);
        return true;
    });
    std::string failure;
    for (int content : added) {
        if (content == 0) {
            ASSERT_TRUE(thread.Queue(nullptr, &failure));
            continue;
        }
        AVFrame* frame = thread.FreeFrame(&failure);
        ASSERT_NE(frame, nullptr);
        frame->width = content; // a frame still queued or kept for a repeat would change here
        ASSERT_TRUE(thread.Queue(frame, &failure));
    }
    ASSERT_TRUE(thread.Drain(&failure)) << failure;
    EXPECT_EQ(encoded_, (std::vector<int>{1, 1, 2, 3, 3, 3, 4, 5, 6, 6, 7}));
}

TEST_F(EncodingThreadTest, TheFirstFailureReachesTheDrawingThread) {
    EncodingThread thread(Pool(), [&](AVFrame*, std::string* failure) {
        encoded_.push_back(0);
        if (encoded_.size() < 3)
            return true;
        *failure = "The disk is full.";
        return false;
    });
    std::string failure;
    int added = 0;
    while (AVFrame* frame = thread.FreeFrame(&failure)) {
        if (!thread.Queue(frame, &failure))
            break;
        ASSERT_LT(++added, 1000) << "the failure never reached the drawing thread";
    }
    EXPECT_EQ(failure, "The disk is full.");
    failure.clear();
    EXPECT_FALSE(thread.Drain(&failure));
    EXPECT_EQ(failure, "The disk is full.");
    EXPECT_EQ(encoded_.size(), 3u);
}

} // namespace
