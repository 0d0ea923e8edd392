// A test X client that puts known pictures on the screen: override-redirect windows
// (no window manager moves them) filled and drawn with exact colours.
#pragma once

#include <cstdint>

struct _XDisplay;

class TestDrawing {
public:
    TestDrawing();
    ~TestDrawing();
    TestDrawing(const TestDrawing&) = delete;
    TestDrawing& operator=(const TestDrawing&) = delete;

    // A mapped window at (x, y) filled with `rgb` (0xRRGGBB); returns its id.
    unsigned long Window(int x, int y, int width, int height, uint32_t rgb);
    void Fill(unsigned long window, int x, int y, int width, int height, uint32_t rgb);
    void Move(unsigned long window, int x, int y);
    void Destroy(unsigned long window);
    // Waits until the server has drawn everything asked so far.
    void Sync();

private:
    _XDisplay* display_;
    void* gc_;
};
