// The hook libraries' entry points on their own, loaded as the program loads them.
#include "hook_test_support.h"
#include "record/hooks/hook_abi.h"
#include "x_input_injector.h"

#include <X11/keysym.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace std::chrono_literals;

namespace {

struct HookLibrary {
    explicit HookLibrary(const char* name)
        : handle(dlopen((HookLibraryFolder() + name).c_str(), RTLD_NOW | RTLD_LOCAL)) {
        if (handle != nullptr) {
            setHook = reinterpret_cast<SetHookFn>(dlsym(handle, "SetHook"));
            removeHook = reinterpret_cast<RemoveHookFn>(dlsym(handle, "RemoveHook"));
        }
    }
    void* handle;
    SetHookFn setHook = nullptr;
    RemoveHookFn removeHook = nullptr;
};

template <typename T> T Load(const T& field) {
    return std::atomic_ref<T>(const_cast<T&>(field)).load();
}

TEST(HookLibraries, ExportTheirEntryPoints) {
    for (const char* name : {kKeyboardHookLibrary, kMouseHookLibrary}) {
        HookLibrary library(name);
        ASSERT_NE(library.handle, nullptr) << dlerror();
        EXPECT_NE(library.setHook, nullptr);
        EXPECT_NE(library.removeHook, nullptr);
    }
}

TEST(HookLibraries, OneWindowPerLibraryAndOnlyItsOwnerRemovesTheHook) {
    HookLibrary keyboard(kKeyboardHookLibrary);
    ASSERT_NE(keyboard.setHook, nullptr);
    XlibHookHost host;
    const HookWindow window = host.ApplicationWindow();

    EXPECT_EQ(keyboard.setHook(0), nullptr);
    void* record = keyboard.setHook(window);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(keyboard.setHook(window), record);
    EXPECT_EQ(keyboard.setHook(window + 1), nullptr);
    keyboard.removeHook(window + 1); // not its window: the hook stays

    XInputInjector input;
    input.Tap(XK_x);
    std::vector<HookMessageData> messages;
    host.unhandled = [&](uint32_t, const HookMessageData& data) { messages.push_back(data); };
    ASSERT_TRUE(PumpUntil(host, [&] { return messages.size() >= 2; }));
    EXPECT_EQ(DecodeKeyboardMessage(messages[1]).vkCode, 'X');

    // The record describes the latest event.
    const auto& fields = *static_cast<const KeyboardHookRecord*>(record);
    EXPECT_EQ(Load(fields.vkCode), 'X');
    EXPECT_LT(Load(fields.ksInfo), 0);

    keyboard.removeHook(window);
    keyboard.removeHook(window);
    input.Tap(XK_y);
    PumpFor(host, 200ms);
    EXPECT_EQ(messages.size(), 2u);
}

TEST(HookLibraries, AVanishedTargetWindowDoesNotHurtTheProcess) {
    HookLibrary mouse(kMouseHookLibrary);
    ASSERT_NE(mouse.setHook, nullptr);
    const HookWindow nowhere = 0x3ffffff0; // no such window: every send fails
    void* record = mouse.setHook(nowhere);
    ASSERT_NE(record, nullptr);
    XInputInjector input;
    input.MoveTo(50, 60);
    input.MoveTo(51, 61);
    input.Sync();
    const auto& fields = *static_cast<const MouseHookRecord*>(record);
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (Load(fields.mrec.x) != 51 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(Load(fields.mrec.x), 51);
    EXPECT_EQ(Load(fields.mrec.y), 61);
    EXPECT_EQ(Load(fields.mesId), 512u);
    mouse.removeHook(nowhere);
}

TEST(HookLibraries, InstallAndRemoveFromManyThreads) {
    HookLibrary keyboard(kKeyboardHookLibrary);
    ASSERT_NE(keyboard.setHook, nullptr);
    std::atomic<int> installed{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            const HookWindow window = 0x100000 + t;
            for (int i = 0; i < 10; ++i) {
                if (keyboard.setHook(window) != nullptr) {
                    ++installed;
                    keyboard.removeHook(window);
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_GT(installed.load(), 0);
    // Free again for anyone.
    ASSERT_NE(keyboard.setHook(0x200000), nullptr);
    keyboard.removeHook(0x200000);
}

TEST(HookLibraries, AProcessThatNeverRemovesItsHooksStillExits) {
    const std::string command =
        "timeout 20 " CLIPMOOR_BINARY_DIR "/tests/hook_exit_probe " + HookLibraryFolder();
    EXPECT_EQ(RunCommand(command), 0);
}

} // namespace
