#include "hook/device_hook.h"

#include "hook/hook_messages.h"
#include "pages/models/key_assignment_model.h"
#include "platform/message_queue.h"
#include "profile/key_codes.h"

// gtest before Xlib, whose macros (None, Bool) would break its templates.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdlib>
#include <vector>

namespace {

using namespace std::chrono_literals;

class NullDevice : public pages::KeyAssignmentDevice {
public:
    void storeSelectedKey(const profile::KeyAssignment& assignment) override
    {
        stored = assignment.current;
    }
    // Never written to here (Xlib's Status macro keeps the name out of this file).
    pages::KeyMapWrite writeKeys() override { return {}; }
    bool saveProfile() override { return true; }
    profile::KeyFunctionCode stored{};
};

// Key capture end to end: a key pressed on the desktop (XTest stands in for the user)
// reaches the key assignment page through the hook and becomes the key's new function.
TEST(DeviceHookX11Test, CapturesAKeyPressedAnywhereOnTheDesktop)
{
    auto backend = platform::createX11InputHook();
    if (std::getenv("HALVEK_X11_TESTS") == nullptr || !backend) {
        GTEST_SKIP() << "no X display with XInput 2 (ctest runs these under xvfb-run with "
                        "HALVEK_X11_TESTS=1)";
    }
    NullDevice device;
    pages::KeyAssignmentModel page(device);
    const auto esc = profile::makeCode(0x20, 0x00, 0x29, 45);
    page.SetKey(esc, esc);
    page.state().category = static_cast<int>(profile::KeyFunctionCategory::Keyboard);
    page.SelectModifier(1); // Ctrl

    int captured = 0;
    HWND window = platform::MessageQueue::current().createWindow(
        [&](HWND, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            const auto* key = hook::CDeviceHook::keyboardEvent(message, lParam);
            if (message == hook::hookMessages().keySingleKey && key != nullptr &&
                wParam == WM_KEYDOWN) {
                page.CaptureKey(static_cast<std::uint8_t>(key->scanCode),
                                (key->flags & hook::kKeyExtended) != 0, L"C");
                ++captured;
            }
            return 0;
        });
    hook::CDeviceHook hook;
    ASSERT_EQ(hook.SetHook(hook::kModeKeyCapture, window, true, true), 1) << hook.lastError();

    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    const KeyCode c = XKeysymToKeycode(other, XK_c);
    XTestFakeKeyEvent(other, c, True, CurrentTime);
    XTestFakeKeyEvent(other, c, False, CurrentTime);
    XSync(other, False);

    platform::MessageQueue::current().runUntil([&] { return captured > 0; },
                                               std::chrono::steady_clock::now() + 5s);
    hook.Unhook();
    // Nothing stays grabbed once the hook is removed.
    EXPECT_EQ(XGrabKeyboard(other, DefaultRootWindow(other), False, GrabModeAsync, GrabModeAsync,
                            CurrentTime),
              GrabSuccess);
    XCloseDisplay(other);
    platform::MessageQueue::current().destroyWindow(window);

    ASSERT_EQ(captured, 1);
    EXPECT_EQ(device.stored, profile::makeCode(0x20, 0x01, 0x06)); // Ctrl+C
}

} // namespace
