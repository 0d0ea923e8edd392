// A thread with its own X connection that reads XInput2 raw events of all master
// devices from the root window, for the hook libraries.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <functional>
#include <thread>
#include <vector>

class RawInputListener {
public:
    // Runs on the listener thread for every raw event of the selected types.
    using EventHandler = std::function<void(Display*, const XIRawEvent&)>;
    // Runs on the caller's thread once the connection is open, before events flow.
    using Prepare = std::function<void(Display*)>;

    explicit RawInputListener(std::vector<int> rawEventTypes);
    ~RawInputListener();
    RawInputListener(const RawInputListener&) = delete;
    RawInputListener& operator=(const RawInputListener&) = delete;

    // Opens $DISPLAY, selects the events and waits until the server has them in
    // force, so that every event after Start returns is seen. False when there is no
    // display or no XInput 2.
    bool Start(const Prepare& prepare, EventHandler handler);
    // Wakes the thread, joins it and closes the connection. Safe when not running.
    void Stop();
    bool Running() const { return thread_.joinable(); }

private:
    void Run();
    void Dispatch(XEvent& event);

    std::vector<int> rawEventTypes_;
    Display* display_ = nullptr;
    int xiOpcode_ = 0;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    EventHandler handler_;
    std::thread thread_;
};

// Sends a format-32 ClientMessage to a window of another client and flushes it.
// Errors (the window is gone) are ignored on the listener's connection.
void SendHookClientMessage(Display* display, Window target, Atom type,
                           const unsigned long (&values)[5]);
