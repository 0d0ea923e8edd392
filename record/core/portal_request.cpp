#include "record/core/portal_request.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

namespace portal {

std::string ErrorHolder::Text(int code) const {
    if (error.message)
        return error.message;
    return std::string("error ") + std::to_string(-code);
}

void Check(int code, const char* what) {
    if (code < 0)
        throw PortalError(PortalError::Kind::Failed,
                          std::string(what) + ": error " + std::to_string(-code));
}

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

std::string SenderPathPart(sd_bus* bus) {
    const char* unique = nullptr;
    Check(sd_bus_get_unique_name(bus, &unique), "bus name");
    std::string sender;
    for (const char* c = unique + 1; *c; ++c)
        sender += *c == '.' ? '_' : *c;
    return sender;
}

void CloseSession(sd_bus* bus, const std::string& session) {
    if (!session.empty())
        sd_bus_call_method(bus, kService, session.c_str(), kSessionInterface, "Close", nullptr,
                           nullptr, "");
}

std::string ReadSessionHandle(sd_bus_message* results) {
    std::string session;
    ReadOptions(results, [&](const std::string& key) {
        if (key != "session_handle")
            return false;
        const char* handle = nullptr;
        Check(sd_bus_message_read(results, "v", "s", &handle), "session");
        session = handle;
        return true;
    });
    if (session.empty())
        Check(-EPROTO, "CreateSession");
    return session;
}

bool WaitForBus(sd_bus* bus, std::chrono::steady_clock::time_point deadline, int stopFd) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
        return false;
    int events = sd_bus_get_events(bus);
    Check(events, "wait");
    uint64_t busTimeoutUs = 0;
    Check(sd_bus_get_timeout(bus, &busTimeoutUs), "wait");
    // Wakes at least once a minute: the caller looks at its deadline again.
    long long waitMs = std::min<long long>(left.count(), 60'000);
    if (busTimeoutUs != UINT64_MAX) {
        // sd-bus's own deadline (on CLOCK_MONOTONIC, as steady_clock here).
        auto nowUs = std::chrono::duration_cast<std::chrono::microseconds>(
                         std::chrono::steady_clock::now().time_since_epoch())
                         .count();
        auto busMs = busTimeoutUs > static_cast<uint64_t>(nowUs)
                         ? static_cast<long long>((busTimeoutUs - nowUs + 999) / 1000)
                         : 0LL;
        waitMs = std::min<long long>(waitMs, busMs);
    }
    pollfd fds[2] = {{sd_bus_get_fd(bus), static_cast<short>(events), 0}, {stopFd, POLLIN, 0}};
    int ready = poll(fds, stopFd >= 0 ? 2 : 1, static_cast<int>(waitMs));
    if (ready < 0 && errno != EINTR)
        Check(-errno, "wait");
    if (stopFd >= 0 && (fds[1].revents & POLLIN))
        throw PortalError(PortalError::Kind::Stopped, "stopped");
    return true;
}

Answer Ask(sd_bus* bus, const std::string& sender, const Call& call) {
    static std::atomic<int> counter{0};
    std::string token = "clipmoor" + std::to_string(getpid()) + "_" + std::to_string(++counter);
    std::string path = std::string(kPath) + "/request/" + sender + "/" + token;

    Message response;
    sd_bus_slot* slot = nullptr;
    auto onResponse = [](sd_bus_message* m, void* data, sd_bus_error*) -> int {
        static_cast<Message*>(data)->reset(sd_bus_message_ref(m));
        return 1;
    };
    // Subscribed before the call, so that a quick answer is not missed.
    Check(sd_bus_match_signal(bus, &slot, kService, path.c_str(), "org.freedesktop.portal.Request",
                              "Response", onResponse, &response),
          call.member);
    struct SlotGuard {
        sd_bus_slot* slot;
        ~SlotGuard() { sd_bus_slot_unref(slot); }
    } guard{slot};

    sd_bus_message* m = nullptr;
    Check(sd_bus_message_new_method_call(bus, &m, kService, kPath, call.interface, call.member),
          call.member);
    Message message(m);
    if (call.fill)
        call.fill(m);
    Check(sd_bus_message_open_container(m, 'a', "{sv}"), call.member);
    AppendTextOption(m, "handle_token", token);
    if (call.option)
        call.option(m);
    Check(sd_bus_message_close_container(m), call.member);
    ErrorHolder error;
    sd_bus_message* reply = nullptr;
    int code = sd_bus_call(bus, m, kCallTimeoutUs, &error.error, &reply);
    Message replyHolder(reply);
    if (code < 0)
        throw PortalError(PortalError::Kind::Refused,
                          std::string(call.member) + ": " + error.Text(code));

    const auto deadline = std::chrono::steady_clock::now() + call.timeout;
    while (!response) {
        int processed = sd_bus_process(bus, nullptr);
        if (processed < 0)
            throw PortalError(PortalError::Kind::Disconnected, call.member);
        if (processed > 0)
            continue;
        if (!WaitForBus(bus, deadline, call.stopFd)) {
            sd_bus_call_method(bus, kService, path.c_str(), "org.freedesktop.portal.Request",
                               "Close", nullptr, nullptr, "");
            throw PortalError(PortalError::Kind::TimedOut, call.member);
        }
    }
    Answer answer;
    Check(sd_bus_message_read_basic(response.get(), 'u', &answer.response), call.member);
    answer.results = std::move(response);
    return answer;
}

} // namespace portal
