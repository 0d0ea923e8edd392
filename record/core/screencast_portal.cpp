#include "record/core/screencast_portal.h"

#include <systemd/sd-bus.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <optional>

namespace {

constexpr const char* kPortal = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kScreenCast = "org.freedesktop.portal.ScreenCast";
constexpr const char* kNothingRecorded = " Nothing was recorded.";
// The calls that need no user answer the portal makes at once.
constexpr uint64_t kCallTimeoutUs = 10'000'000;

enum : uint32_t { kSourceMonitor = 1, kPersistUntilRevoked = 2 };
enum : uint32_t { kResponseSuccess = 0, kResponseCancelled = 1 };

struct MessageDeleter {
    void operator()(sd_bus_message* m) const { sd_bus_message_unref(m); }
};
using Message = std::unique_ptr<sd_bus_message, MessageDeleter>;

struct ErrorHolder {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    ~ErrorHolder() { sd_bus_error_free(&error); }
    std::string Text(int code) const {
        if (error.message)
            return error.message;
        return std::string("error ") + std::to_string(-code);
    }
};

void Check(int code, const char* what) {
    if (code < 0)
        throw CaptureError(std::string("The screen-cast portal could not be asked (") + what +
                           ": error " + std::to_string(-code) + ")." + kNothingRecorded);
}

// Appends one {sv} entry of an a{sv} being written; `value` points at the value (at the
// characters for a string).
void AppendOption(sd_bus_message* m, const char* key, char type, const void* value) {
    const char contents[2] = {type, 0};
    Check(sd_bus_message_open_container(m, 'e', "sv"), "options");
    Check(sd_bus_message_append_basic(m, 's', key), "options");
    Check(sd_bus_message_open_container(m, 'v', contents), "options");
    Check(sd_bus_message_append_basic(m, type, value), "options");
    Check(sd_bus_message_close_container(m), "options");
    Check(sd_bus_message_close_container(m), "options");
}

void AppendNumberOption(sd_bus_message* m, const char* key, uint32_t value) {
    AppendOption(m, key, 'u', &value);
}

// Calls `read(key)` for each entry of an a{sv} with the message at the entry's variant;
// it returns whether it consumed the variant (else it is skipped).
void ReadOptions(sd_bus_message* m, const std::function<bool(const std::string&)>& read) {
    Check(sd_bus_message_enter_container(m, 'a', "{sv}"), "results");
    while (sd_bus_message_enter_container(m, 'e', "sv") > 0) {
        const char* key = nullptr;
        Check(sd_bus_message_read_basic(m, 's', &key), "results");
        if (!read(key))
            Check(sd_bus_message_skip(m, "v"), "results");
        Check(sd_bus_message_exit_container(m), "results");
    }
    Check(sd_bus_message_exit_container(m), "results");
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
        if (bus && !session.empty()) {
            sd_bus_call_method(bus, kPortal, session.c_str(), "org.freedesktop.portal.Session",
                               "Close", nullptr, nullptr, "");
        }
        if (bus)
            sd_bus_flush_close_unref(bus);
    }

    Message NewCall(const char* member) {
        sd_bus_message* m = nullptr;
        Check(sd_bus_message_new_method_call(bus, &m, kPortal, kPortalPath, kScreenCast, member),
              member);
        return Message(m);
    }

    // Sends a call that answers through a Request object and waits for its Response;
    // returns the message positioned at the results. `fill` appends the arguments before
    // the options, `option` appends options besides the handle token.
    Message Ask(const char* member, const std::function<void(sd_bus_message*)>& fill,
                const std::function<void(sd_bus_message*)>& option,
                std::chrono::milliseconds timeout) {
        static std::atomic<int> counter{0};
        std::string token = "clipmoor" + std::to_string(getpid()) + "_" + std::to_string(++counter);
        std::string path = "/org/freedesktop/portal/desktop/request/" + sender + "/" + token;

        struct Answer {
            Message message;
        } answer;
        sd_bus_slot* slot = nullptr;
        auto onResponse = [](sd_bus_message* m, void* data, sd_bus_error*) -> int {
            static_cast<Answer*>(data)->message.reset(sd_bus_message_ref(m));
            return 1;
        };
        // Subscribed before the call, so that a quick answer is not missed.
        Check(sd_bus_match_signal(bus, &slot, kPortal, path.c_str(),
                                  "org.freedesktop.portal.Request", "Response", onResponse,
                                  &answer),
              member);
        struct SlotGuard {
            sd_bus_slot* slot;
            ~SlotGuard() { sd_bus_slot_unref(slot); }
        } guard{slot};

        Message call = NewCall(member);
        fill(call.get());
        Check(sd_bus_message_open_container(call.get(), 'a', "{sv}"), member);
        AppendOption(call.get(), "handle_token", 's', token.c_str());
        if (option)
            option(call.get());
        Check(sd_bus_message_close_container(call.get()), member);
        ErrorHolder error;
        sd_bus_message* reply = nullptr;
        int code = sd_bus_call(bus, call.get(), kCallTimeoutUs, &error.error, &reply);
        Message replyHolder(reply);
        if (code < 0)
            throw CaptureError(std::string("The screen-cast portal refused the request (") +
                               member + ": " + error.Text(code) + ")." + kNothingRecorded);

        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!answer.message) {
            int processed = sd_bus_process(bus, nullptr);
            if (processed < 0)
                throw CaptureError("The connection to the session bus was lost while asking "
                                   "to record the screen." +
                                   std::string(kNothingRecorded));
            if (processed > 0)
                continue;
            auto left = deadline - std::chrono::steady_clock::now();
            if (left <= std::chrono::steady_clock::duration::zero()) {
                // Takes the unanswered dialog away.
                sd_bus_call_method(bus, kPortal, path.c_str(), "org.freedesktop.portal.Request",
                                   "Close", nullptr, nullptr, "");
                auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout).count();
                throw CaptureError("The desktop did not answer the request to record the "
                                   "screen within " +
                                   std::to_string(seconds) + " seconds." + kNothingRecorded);
            }
            sd_bus_wait(bus, std::chrono::duration_cast<std::chrono::microseconds>(left).count());
        }
        uint32_t response = 0;
        Check(sd_bus_message_read_basic(answer.message.get(), 'u', &response), member);
        if (response == kResponseCancelled)
            throw CaptureError(std::string("Recording the screen was cancelled in the desktop's "
                                           "dialog.") +
                               kNothingRecorded);
        if (response != kResponseSuccess)
            throw CaptureError(std::string("The desktop refused to share the screen.") +
                               kNothingRecorded);
        return std::move(answer.message);
    }
};

ScreenCastPortal::ScreenCastPortal(const ScreenCastRequest& request)
    : state_(std::make_unique<State>()) {
    State& s = *state_;
    if (int code = sd_bus_open_user(&s.bus); code < 0)
        throw CaptureError("Recording the screen of this desktop needs its screen-cast portal, "
                           "but the session bus cannot be reached (error " +
                           std::to_string(-code) + ")." + kNothingRecorded);
    const char* unique = nullptr;
    Check(sd_bus_get_unique_name(s.bus, &unique), "bus name");
    for (const char* c = unique + 1; *c; ++c)
        s.sender += *c == '.' ? '_' : *c;

    ErrorHolder error;
    uint32_t modes = 0;
    int code = sd_bus_get_property_trivial(s.bus, kPortal, kPortalPath, kScreenCast,
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
        [&](sd_bus_message* m) {
            AppendOption(m, "session_handle_token", 's', sessionToken.c_str());
        },
        quick);
    ReadOptions(created.get(), [&](const std::string& key) {
        if (key != "session_handle")
            return false;
        const char* handle = nullptr;
        Check(sd_bus_message_read(created.get(), "v", "s", &handle), "session");
        s.session = handle;
        return true;
    });
    if (s.session.empty())
        Check(-EPROTO, "CreateSession");

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
                AppendOption(m, "restore_token", 's', request.restoreToken.c_str());
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

int ScreenCastPortal::OpenPipeWireRemote() {
    State& s = *state_;
    ErrorHolder error;
    sd_bus_message* reply = nullptr;
    int code = sd_bus_call_method(s.bus, kPortal, kPortalPath, kScreenCast, "OpenPipeWireRemote",
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
