// The global-shortcuts portal client, against a stand-in portal of this test's own: the
// headless GNOME desktop's portal back end offers no global shortcuts, so this test starts
// a private bus (dbus-daemon) where a small service owns org.freedesktop.portal.Desktop,
// answers CreateSession, BindShortcuts and Session.Close as the portal's documentation
// describes, and emits Activated when the test presses the key.
#include "record/core/global_shortcut_portal.h"
#include "record/core/portal_request.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <optional>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr const char* kShortcuts = "org.freedesktop.portal.GlobalShortcuts";
const GlobalShortcut kToggle{"toggle-recording", "Start or stop recording", "CTRL+ALT+F11"};

template <typename Condition> bool WaitFor(Condition done) {
    for (auto end = std::chrono::steady_clock::now() + 10s; !done();) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// A session bus of the test's own, named by DBUS_SESSION_BUS_ADDRESS while it lives.
class PrivateBus {
public:
    PrivateBus() : dir_(fs::temp_directory_path() / ("clipmoor-bus-" + std::to_string(getpid()))) {
        fs::create_directories(dir_);
        std::ofstream(dir_ / "bus.conf")
            << "<busconfig><type>session</type><listen>unix:path=" << (dir_ / "bus").string()
            << "</listen><policy context=\"default\"><allow send_destination=\"*\"/>"
               "<allow receive_sender=\"*\"/>"
               "<allow own=\"*\"/></policy></busconfig>";
        int out[2];
        if (pipe(out) != 0)
            std::abort();
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            // Its notes (no fd limit for a plain user) are not the test's.
            if (int quiet = open("/dev/null", O_WRONLY); quiet >= 0)
                dup2(quiet, STDERR_FILENO);
            const std::string config = "--config-file=" + (dir_ / "bus.conf").string();
            execlp("dbus-daemon", "dbus-daemon", "--nofork", "--print-address", config.c_str(),
                   nullptr);
            _exit(127);
        }
        close(out[1]);
        // The daemon prints its address once it listens.
        char line[512] = {};
        ssize_t got = read(out[0], line, sizeof line - 1);
        close(out[0]);
        EXPECT_GT(got, 0) << "dbus-daemon did not start";
        setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (dir_ / "bus").string()).c_str(), 1);
    }
    ~PrivateBus() {
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        fs::remove_all(dir_);
    }

private:
    fs::path dir_;
    pid_t pid_ = -1;
};

std::string PathPart(const char* sender) {
    std::string part;
    for (const char* c = sender + 1; *c; ++c)
        part += *c == '.' ? '_' : *c;
    return part;
}

// The stand-in portal; answers every BindShortcuts with `bindResponse`.
class FakePortal {
public:
    explicit FakePortal(uint32_t bindResponse) : bindResponse_(bindResponse) {
        std::promise<void> ready;
        thread_ = std::thread([this, &ready] { Run(ready); });
        ready.get_future().wait();
    }
    ~FakePortal() {
        stop_ = true;
        thread_.join();
    }
    void Press() { presses_++; }
    std::string Trigger() {
        std::lock_guard lock(mutex_);
        return boundId_ + " " + trigger_;
    }
    bool Closed() const { return closed_; }

private:
    static int Version(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                       sd_bus_error*) {
        return sd_bus_message_append(reply, "u", 1u);
    }
    static int CreateSession(sd_bus_message* m, void* data, sd_bus_error*) {
        auto* self = static_cast<FakePortal*>(data);
        std::string handle, sessionToken;
        portal::ReadOptions(m, [&](const std::string& key) {
            const char* text = nullptr;
            if (key != "handle_token" && key != "session_handle_token")
                return false;
            sd_bus_message_read(m, "v", "s", &text);
            (key == "handle_token" ? handle : sessionToken) = text;
            return true;
        });
        const std::string sender = PathPart(sd_bus_message_get_sender(m));
        self->session_ = std::string(portal::kPath) + "/session/" + sender + "/" + sessionToken;
        sd_bus_add_object_vtable(self->bus_, nullptr, self->session_.c_str(),
                                 portal::kSessionInterface, kSessionVtable, self);
        return self->Answer(m, sender, handle, 0, self->session_.c_str());
    }
    static int BindShortcuts(sd_bus_message* m, void* data, sd_bus_error*) {
        auto* self = static_cast<FakePortal*>(data);
        std::string handle, id, trigger;
        const char *session = nullptr, *parent = nullptr, *text = nullptr;
        sd_bus_message_read(m, "o", &session);
        sd_bus_message_enter_container(m, 'a', "(sa{sv})");
        while (sd_bus_message_enter_container(m, 'r', "sa{sv}") > 0) {
            sd_bus_message_read(m, "s", &text);
            id = text;
            portal::ReadOptions(m, [&](const std::string& key) {
                if (key != "preferred_trigger")
                    return false;
                sd_bus_message_read(m, "v", "s", &text);
                trigger = text;
                return true;
            });
            sd_bus_message_exit_container(m);
        }
        sd_bus_message_exit_container(m);
        sd_bus_message_read(m, "s", &parent);
        portal::ReadOptions(m, [&](const std::string& key) {
            if (key != "handle_token")
                return false;
            sd_bus_message_read(m, "v", "s", &text);
            handle = text;
            return true;
        });
        {
            std::lock_guard lock(self->mutex_);
            self->boundId_ = id;
            self->trigger_ = trigger;
        }
        return self->Answer(m, PathPart(sd_bus_message_get_sender(m)), handle, self->bindResponse_,
                            nullptr);
    }
    static int Close(sd_bus_message* m, void* data, sd_bus_error*) {
        static_cast<FakePortal*>(data)->closed_ = true;
        return sd_bus_reply_method_return(m, "");
    }
    // Replies with the Request's path, then emits its Response (with a session handle).
    int Answer(sd_bus_message* m, const std::string& sender, const std::string& handle,
               uint32_t response, const char* session) {
        const std::string request =
            std::string(portal::kPath) + "/request/" + sender + "/" + handle;
        sd_bus_reply_method_return(m, "o", request.c_str());
        if (session)
            return sd_bus_emit_signal(bus_, request.c_str(), "org.freedesktop.portal.Request",
                                      "Response", "ua{sv}", response, 1, "session_handle", "s",
                                      session);
        return sd_bus_emit_signal(bus_, request.c_str(), "org.freedesktop.portal.Request",
                                  "Response", "ua{sv}", response, 0);
    }
    void Run(std::promise<void>& ready) {
        sd_bus_open_user(&bus_);
        sd_bus_add_object_vtable(bus_, nullptr, portal::kPath, kShortcuts, kVtable, this);
        sd_bus_request_name(bus_, portal::kService, 0);
        ready.set_value();
        while (!stop_) {
            if (sd_bus_process(bus_, nullptr) > 0)
                continue;
            for (; presses_ > 0; --presses_)
                sd_bus_emit_signal(bus_, portal::kPath, kShortcuts, "Activated", "osta{sv}",
                                   session_.c_str(), kToggle.id.c_str(), uint64_t{0}, 0);
            sd_bus_wait(bus_, 20'000);
        }
        sd_bus_flush_close_unref(bus_);
    }

    static const sd_bus_vtable kVtable[];
    static const sd_bus_vtable kSessionVtable[];
    const uint32_t bindResponse_;
    sd_bus* bus_ = nullptr;
    std::string session_;
    std::thread thread_;
    std::atomic<bool> stop_{false}, closed_{false};
    std::atomic<int> presses_{0};
    std::mutex mutex_;
    std::string boundId_, trigger_;
};

const sd_bus_vtable FakePortal::kVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("version", "u", Version, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_METHOD("CreateSession", "a{sv}", "o", CreateSession, 0),
    SD_BUS_METHOD("BindShortcuts", "oa(sa{sv})sa{sv}", "o", BindShortcuts, 0), SD_BUS_VTABLE_END};
const sd_bus_vtable FakePortal::kSessionVtable[] = {
    SD_BUS_VTABLE_START(0), SD_BUS_METHOD("Close", "", "", Close, 0), SD_BUS_VTABLE_END};

TEST(GlobalShortcutPortal, BindsTheTriggerEachPressActsAndExitClosesTheSession) {
    PrivateBus bus;
    FakePortal portal(portal::kResponseSuccess);
    std::atomic<int> activated{0}, unavailable{0};
    {
        GlobalShortcutPortal shortcut(
            kToggle, [&] { ++activated; }, [&](const std::string&) { ++unavailable; });
        ASSERT_TRUE(WaitFor([&] { return !portal.Trigger().starts_with(" "); }));
        EXPECT_EQ(portal.Trigger(), "toggle-recording CTRL+ALT+F11");
        portal.Press();
        portal.Press();
        EXPECT_TRUE(WaitFor([&] { return activated == 2; })) << activated;
    }
    EXPECT_TRUE(portal.Closed());
    EXPECT_EQ(unavailable, 0);
}

TEST(GlobalShortcutPortal, SaysOnceWhenThereIsNoKeyToBind) {
    enum class Desktop { NoBus, NoPortal, UserRefuses };
    for (Desktop desktop : {Desktop::NoBus, Desktop::NoPortal, Desktop::UserRefuses}) {
        SCOPED_TRACE(static_cast<int>(desktop));
        std::optional<PrivateBus> bus;
        std::optional<FakePortal> portal;
        if (desktop == Desktop::NoBus)
            setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
        else
            bus.emplace();
        if (desktop == Desktop::UserRefuses)
            portal.emplace(portal::kResponseCancelled);
        std::atomic<int> activated{0}, unavailable{0};
        {
            GlobalShortcutPortal shortcut(
                kToggle, [&] { ++activated; }, [&](const std::string&) { ++unavailable; });
            EXPECT_TRUE(WaitFor([&] { return unavailable > 0; }));
        }
        EXPECT_EQ(unavailable, 1);
        EXPECT_EQ(activated, 0);
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
}

} // namespace
