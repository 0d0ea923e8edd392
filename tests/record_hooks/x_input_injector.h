// Injects real input into the X server through XTEST, on a connection of its own.
#pragma once

#include <string>
#include <utility>

struct _XDisplay;

class XInputInjector {
public:
    XInputInjector();
    ~XInputInjector();

    void Key(unsigned long keysym, bool press);
    void Tap(unsigned long keysym);
    void MoveTo(int x, int y);
    void Button(unsigned button, bool press);
    // Waits until the server has handled everything injected so far.
    void Sync();
    std::pair<int, int> PointerPosition();
    _XDisplay* display() const { return display_; }

private:
    _XDisplay* display_;
};

// Runs a shell command (xdotool) and returns its exit status.
int RunCommand(const std::string& command);
