// Calls to the desktop portal (org.freedesktop.portal.Desktop) through sd-bus: options
// written and read as a{sv}, and the calls that answer later through a Request object's
// Response signal. Shared by the portal clients; each maps PortalError to its own words.
#pragma once

#include <systemd/sd-bus.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace portal {

inline constexpr const char* kService = "org.freedesktop.portal.Desktop";
inline constexpr const char* kPath = "/org/freedesktop/portal/desktop";
inline constexpr const char* kSessionInterface = "org.freedesktop.portal.Session";
// The calls that need no user answer the portal makes at once.
inline constexpr uint64_t kCallTimeoutUs = 10'000'000;
enum : uint32_t { kResponseSuccess = 0, kResponseCancelled = 1 };

class PortalError : public std::runtime_error {
public:
    enum class Kind {
        Failed,       // writing or reading a message; detail: "what: error N"
        Refused,      // the portal answered the call with an error; detail: "member: text"
        Disconnected, // the bus went away while waiting
        TimedOut,     // no Response within the time given
        Stopped,      // the caller's stop descriptor became readable
    };
    PortalError(Kind kind, const std::string& detail) : std::runtime_error(detail), kind(kind) {}
    Kind kind;
};

struct MessageDeleter {
    void operator()(sd_bus_message* m) const { sd_bus_message_unref(m); }
};
using Message = std::unique_ptr<sd_bus_message, MessageDeleter>;

struct ErrorHolder {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    ~ErrorHolder() { sd_bus_error_free(&error); }
    std::string Text(int code) const;
};

// Throws PortalError(Failed) when `code` is negative.
void Check(int code, const char* what);

// Appends one {sv} entry of an a{sv} being written; `value` points at the value (at the
// characters for a string).
void AppendOption(sd_bus_message* m, const char* key, char type, const void* value);
void AppendNumberOption(sd_bus_message* m, const char* key, uint32_t value);
inline void AppendTextOption(sd_bus_message* m, const char* key, const std::string& value) {
    AppendOption(m, key, 's', value.c_str());
}

// Calls `read(key)` for each entry of an a{sv} with the message at the entry's variant;
// it returns whether it consumed the variant (else it is skipped).
void ReadOptions(sd_bus_message* m, const std::function<bool(const std::string&)>& read);

// Our unique bus name as request and session paths spell it (":1.42" -> "1_42").
std::string SenderPathPart(sd_bus* bus);

// Reads the session_handle of a CreateSession answer.
std::string ReadSessionHandle(sd_bus_message* results);
// Closes a session (nothing when the handle is empty); errors are ignored, the session
// goes with the connection anyway.
void CloseSession(sd_bus* bus, const std::string& session);

// Waits until the bus has something to read, `deadline` passes (false) or `stopFd` (when
// not -1) becomes readable (throws Stopped).
bool WaitForBus(sd_bus* bus, std::chrono::steady_clock::time_point deadline, int stopFd);

struct Answer {
    uint32_t response = 0;
    Message results; // positioned at the a{sv} of results
};

struct Call {
    const char* interface;
    const char* member;
    std::function<void(sd_bus_message*)> fill;   // the arguments before the options
    std::function<void(sd_bus_message*)> option; // options besides handle_token; may be empty
    std::chrono::milliseconds timeout;           // for the Response
    int stopFd = -1;
};

// Sends a call that answers through a Request object and waits for its Response. On
// TimedOut the request is closed first (which takes an unanswered dialog away).
Answer Ask(sd_bus* bus, const std::string& sender, const Call& call);

} // namespace portal
