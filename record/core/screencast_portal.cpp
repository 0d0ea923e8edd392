#include "record/core/screencast_portal.h"

#include "record/core/portal_request.h"

#include <fcntl.h>
#include <unistd.h>

using namespace portal;

namespace {

constexpr const char* kScreenCast = "org.freedesktop.portal.ScreenCast";
constexpr const char* kNothingRecorded = " Nothing was recorded.";

enum : uint32_t { kSourceMonitor = 1, kPersistUntilRevoked = 2 };

// The user's words for what went wrong while asking the portal.
CaptureError Explained(const PortalError& error, std::chrono::milliseconds timeout) {
    switch (error.kind) {
    case PortalError::Kind::Refused:
        return CaptureError(std::string("The screen-cast portal refused the request (") +
                            error.what() + ")." + kNothingRecorded);
    case PortalError::Kind::Disconnected:
        return CaptureError("The connection to the session bus was lost while asking to record "
                            "the screen." +
                            std::string(kNothingRecorded));
    case PortalError::Kind::TimedOut: {
        auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout).count();
        return CaptureError("The desktop did not answer the request to record the screen "
                            "within " +
                            std::to_string(seconds) + " seconds." + kNothingRecorded);
    }
    case PortalError::Kind::Failed:
    case PortalError::Kind::Stopped:
        break;
    }
    return CaptureError(std::string("The screen-cast portal could not be asked (") + error.what() +
                        ")." + kNothingRecorded);
}

} // namespace

PortalCursor ChooseCursorMode(uint32_t availableModes) {
    if (availableModes & static_cast<uint32_t>(PortalCursor::Metadata))
        return PortalCursor::Metadata;
    if (availableModes & static_cast<uint32_t>(PortalCursor::Embedded))
        return PortalCursor::Embedded;
    return PortalCursor::Hidden;
}

struct ScreenCastPortal::State {
    sd_bus* bus = nullptr;
    std::string session;
    std::string sender; // our unique name as request paths spell it
    uint32_t node = 0;
    PortalCursor cursor = PortalCursor::Embedded;
    std::string restoreToken;

    ~State() {
        if (!bus)
            return;
        CloseSession(bus, session);
        sd_bus_flush_close_unref(bus);
    }

    // Asks and turns a cancelled or refused answer into the user's message.
    Message Ask(const char* member, std::function<void(sd_bus_message*)> fill,
                std::function<void(sd_bus_message*)> option, std::chrono::milliseconds timeout) {
        Answer answer;
        try {
            answer = portal::Ask(
                bus, sender, {kScreenCast, member, std::move(fill), std::move(option), timeout});
        } catch (const PortalError& error) {
            throw Explained(error, timeout);
        }
        if (answer.response == kResponseCancelled)
            throw CaptureError(std::string("Recording the screen was cancelled in the desktop's "
                                           "dialog.") +
                               kNothingRecorded);
        if (answer.response != kResponseSuccess)
            throw CaptureError(std::string("The desktop refused to share the screen.") +
                               kNothingRecorded);
        return std::move(answer.results);
    }
};

ScreenCastPortal::ScreenCastPortal(const ScreenCastRequest& request)
    : state_(std::make_unique<State>()) {
    try {
        Open(request);
    } catch (const PortalError& error) {
        throw Explained(error, {});
    }
}

void ScreenCastPortal::Open(const ScreenCastRequest& request) {
    State& s = *state_;
    if (int code = sd_bus_open_user(&s.bus); code < 0)
        throw CaptureError("Recording the screen of this desktop needs its screen-cast portal, "
                           "but the session bus cannot be reached (error " +
                           std::to_string(-code) + ")." + kNothingRecorded);
    s.sender = SenderPathPart(s.bus);

    ErrorHolder error;
    uint32_t modes = 0;
    int code = sd_bus_get_property_trivial(s.bus, kService, kPath, kScreenCast,
                                           "AvailableCursorModes", &error.error, 'u', &modes);
    if (code < 0)
        throw CaptureError("This desktop offers no screen-cast portal (xdg-desktop-portal and "
                           "the desktop's portal back end are needed to record the screen): " +
                           error.Text(code) + "." + kNothingRecorded);
    s.cursor = ChooseCursorMode(modes);

    const auto quick = std::chrono::milliseconds(kCallTimeoutUs / 1000);
    std::string sessionToken = "clipmoor_session" + std::to_string(getpid());
    Message created = s.Ask(
        "CreateSession", [](sd_bus_message*) {},
        [&](sd_bus_message* m) { AppendTextOption(m, "session_handle_token", sessionToken); },
        quick);
    s.session = ReadSessionHandle(created.get());

    auto session = [&](sd_bus_message* m) {
        Check(sd_bus_message_append_basic(m, 'o', s.session.c_str()), "session");
    };
    s.Ask(
        "SelectSources", session,
        [&](sd_bus_message* m) {
            AppendNumberOption(m, "types", kSourceMonitor);
            const int multiple = 0;
            AppendOption(m, "multiple", 'b', &multiple);
            AppendNumberOption(m, "cursor_mode", static_cast<uint32_t>(s.cursor));
            AppendNumberOption(m, "persist_mode", kPersistUntilRevoked);
            if (!request.restoreToken.empty())
                AppendTextOption(m, "restore_token", request.restoreToken);
        },
        quick);

    Message started = s.Ask(
        "Start",
        [&](sd_bus_message* m) {
            session(m);
            Check(sd_bus_message_append_basic(m, 's', ""), "Start"); // no parent window
        },
        nullptr, request.answerTimeout);
    bool haveStream = false;
    ReadOptions(started.get(), [&](const std::string& key) {
        sd_bus_message* m = started.get();
        if (key == "restore_token") {
            const char* token = nullptr;
            Check(sd_bus_message_read(m, "v", "s", &token), "token");
            s.restoreToken = token;
            return true;
        }
        if (key != "streams")
            return false;
        Check(sd_bus_message_enter_container(m, 'v', "a(ua{sv})"), "streams");
        Check(sd_bus_message_enter_container(m, 'a', "(ua{sv})"), "streams");
        // One monitor was asked for: the first stream is it.
        while (sd_bus_message_enter_container(m, 'r', "ua{sv}") > 0) {
            uint32_t node = 0;
            Check(sd_bus_message_read_basic(m, 'u', &node), "streams");
            Check(sd_bus_message_skip(m, "a{sv}"), "streams");
            Check(sd_bus_message_exit_container(m), "streams");
            if (!haveStream)
                s.node = node;
            haveStream = true;
        }
        Check(sd_bus_message_exit_container(m), "streams");
        Check(sd_bus_message_exit_container(m), "streams");
        return true;
    });
    if (!haveStream)
        throw CaptureError(std::string("The desktop started no screen cast.") + kNothingRecorded);
}

ScreenCastPortal::~ScreenCastPortal() = default;

int ScreenCastPortal::OpenPipeWireRemote() try {
    State& s = *state_;
    ErrorHolder error;
    sd_bus_message* reply = nullptr;
    int code = sd_bus_call_method(s.bus, kService, kPath, kScreenCast, "OpenPipeWireRemote",
                                  &error.error, &reply, "oa{sv}", s.session.c_str(), 0);
    Message holder(reply);
    if (code < 0)
        throw CaptureError("The screen cast's PipeWire connection could not be opened: " +
                           error.Text(code) + "." + kNothingRecorded);
    int fd = -1;
    Check(sd_bus_message_read_basic(reply, 'h', &fd), "OpenPipeWireRemote");
    int own = fcntl(fd, F_DUPFD_CLOEXEC, 3); // the message closes its own
    if (own < 0)
        Check(-errno, "OpenPipeWireRemote");
    return own;
} catch (const PortalError& error) {
    throw Explained(error, {});
}

uint32_t ScreenCastPortal::PipeWireNode() const {
    return state_->node;
}
PortalCursor ScreenCastPortal::CursorMode() const {
    return state_->cursor;
}
const std::string& ScreenCastPortal::RestoreToken() const {
    return state_->restoreToken;
}
