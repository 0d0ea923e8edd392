#include "record/core/global_shortcut_portal.h"

#include "record/core/portal_request.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <thread>

using namespace portal;

namespace {

constexpr const char* kShortcuts = "org.freedesktop.portal.GlobalShortcuts";
// Binding may show the desktop's dialog.
constexpr std::chrono::minutes kBindAnswerTimeout{5};

struct Bus {
    sd_bus* bus = nullptr;
    ~Bus() {
        if (bus)
            sd_bus_flush_close_unref(bus);
    }
};

} // namespace

struct GlobalShortcutPortal::State {
    GlobalShortcut shortcut;
    std::function<void()> activated;
    std::function<void(const std::string&)> unavailable;
    std::string session; // the handle, once created
    int stopFd = eventfd(0, EFD_CLOEXEC);
    std::thread thread;

    void Run();
    void Serve(sd_bus* bus);
};

void GlobalShortcutPortal::State::Run() {
    Bus bus;
    try {
        int code = sd_bus_open_user(&bus.bus);
        Check(code, "session bus");
        ErrorHolder error;
        uint32_t version = 0;
        code = sd_bus_get_property_trivial(bus.bus, kService, kPath, kShortcuts, "version",
                                           &error.error, 'u', &version);
        if (code < 0) {
            unavailable("the desktop offers no global shortcuts (" + error.Text(code) + ")");
            return;
        }
        const std::string sender = SenderPathPart(bus.bus);
        const auto quick = std::chrono::milliseconds(kCallTimeoutUs / 1000);
        const std::string sessionToken = "clipmoor_keys" + std::to_string(getpid());
        Answer created = Ask(
            bus.bus, sender,
            {kShortcuts, "CreateSession", nullptr,
             [&](sd_bus_message* m) { AppendTextOption(m, "session_handle_token", sessionToken); },
             quick, stopFd});
        if (created.response != kResponseSuccess) {
            unavailable("the desktop refused a global-shortcuts session");
            return;
        }
        session = ReadSessionHandle(created.results.get());

        // Subscribed before binding: a press right after the dialog is not lost.
        sd_bus_slot* slot = nullptr;
        auto onActivated = [](sd_bus_message* m, void* data, sd_bus_error*) -> int {
            auto* self = static_cast<State*>(data);
            const char* session = nullptr;
            const char* id = nullptr;
            if (sd_bus_message_read(m, "os", &session, &id) >= 0 && session == self->session &&
                id == self->shortcut.id)
                self->activated();
            return 0;
        };
        Check(sd_bus_match_signal(bus.bus, &slot, kService, kPath, kShortcuts, "Activated",
                                  onActivated, this),
              "Activated");
        struct SlotGuard {
            sd_bus_slot* slot;
            ~SlotGuard() { sd_bus_slot_unref(slot); }
        } guard{slot};

        Answer bound =
            Ask(bus.bus, sender,
                {kShortcuts, "BindShortcuts",
                 [&](sd_bus_message* m) {
                     Check(sd_bus_message_append_basic(m, 'o', session.c_str()), "session");
                     Check(sd_bus_message_open_container(m, 'a', "(sa{sv})"), "shortcuts");
                     Check(sd_bus_message_open_container(m, 'r', "sa{sv}"), "shortcuts");
                     Check(sd_bus_message_append_basic(m, 's', shortcut.id.c_str()), "shortcuts");
                     Check(sd_bus_message_open_container(m, 'a', "{sv}"), "shortcuts");
                     AppendTextOption(m, "description", shortcut.description);
                     AppendTextOption(m, "preferred_trigger", shortcut.preferredTrigger);
                     Check(sd_bus_message_close_container(m), "shortcuts");
                     Check(sd_bus_message_close_container(m), "shortcuts");
                     Check(sd_bus_message_close_container(m), "shortcuts");
                     Check(sd_bus_message_append_basic(m, 's', ""), "BindShortcuts"); // no parent
                 },
                 nullptr, kBindAnswerTimeout, stopFd});
        if (bound.response != kResponseSuccess)
            unavailable("the global shortcut was not bound");
        else
            Serve(bus.bus);
    } catch (const PortalError& error) {
        if (error.kind != PortalError::Kind::Stopped)
            unavailable(std::string("the global-shortcuts portal failed (") + error.what() + ")");
    }
    CloseSession(bus.bus, session);
}

// Handles the bus until stopped (WaitForBus throws Stopped) or the bus goes away.
void GlobalShortcutPortal::State::Serve(sd_bus* bus) {
    const auto never = std::chrono::steady_clock::time_point::max();
    for (;;) {
        int processed = sd_bus_process(bus, nullptr);
        if (processed < 0)
            throw PortalError(PortalError::Kind::Disconnected, "bus");
        if (processed == 0)
            WaitForBus(bus, never, stopFd);
    }
}

GlobalShortcutPortal::GlobalShortcutPortal(GlobalShortcut shortcut, std::function<void()> activated,
                                           std::function<void(const std::string&)> unavailable)
    : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.shortcut = std::move(shortcut);
    s.activated = std::move(activated);
    s.unavailable = std::move(unavailable);
    if (s.stopFd < 0) {
        s.unavailable("no event descriptor for the global-shortcuts thread");
        return;
    }
    s.thread = std::thread([&s] { s.Run(); });
}

GlobalShortcutPortal::~GlobalShortcutPortal() {
    State& s = *state_;
    if (s.thread.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t written = write(s.stopFd, &one, sizeof one);
        s.thread.join();
    }
    if (s.stopFd >= 0)
        close(s.stopFd);
}
