#include "hook/device_hook.h"

#include "hook/hook_messages.h"
#include "platform/message_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace {

using namespace std::chrono_literals;

// The hook's test seam: a backend whose events the test injects.
class FakeBackend : public platform::InputHookBackend {
public:
    FakeBackend(bool startSucceeds, int& grabs) : m_startSucceeds(startSucceeds), m_grabs(grabs) {}
    bool start(platform::HookSink& sink) override
    {
        if (!m_startSucceeds) {
            return false;
        }
        stop();
        m_sink = &sink;
        ++m_grabs;
        return true;
    }
    void stop() override
    {
        if (m_sink) {
            --m_grabs;
        }
        m_sink = nullptr;
    }
    bool isStarted() const override { return m_sink != nullptr; }
    bool needsFocus() const override { return false; }
    std::string lastError() const override { return m_startSucceeds ? "" : "held elsewhere"; }

    void key(std::uint16_t evdev, bool down)
    {
        if (m_sink) {
            m_sink->onKey({evdev, down, 7});
        }
    }
    void hidKey(std::uint16_t usage, bool down)
    {
        if (m_sink) {
            m_sink->onKey({0, down, 7, usage});
        }
    }
    void button(platform::HookMouseButton button, bool down)
    {
        if (m_sink) {
            m_sink->onMouseButton({button, down, 10, 20, 8});
        }
    }

private:
    bool m_startSucceeds;
    int& m_grabs;
    platform::HookSink* m_sink = nullptr;
};

struct Received {
    UINT message;
    WPARAM wParam;
    bool trusted;
    hook::HookKeyboardEvent key;
    hook::HookMouseButtonEvent mouse;
};

class DeviceHookTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_window = platform::MessageQueue::current().createWindow(
            [this](HWND, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
                Received r{message, wParam, false, {}, {}};
                if (const auto* key = hook::CDeviceHook::keyboardEvent(message, lParam)) {
                    r.trusted = true;
                    r.key = *key;
                } else if (const auto* mouse = hook::CDeviceHook::mouseEvent(message, lParam)) {
                    r.trusted = true;
                    r.mouse = *mouse;
                }
                received.push_back(r);
                if (onMessage) {
                    onMessage();
                }
                return 0;
            });
    }
    void TearDown() override { platform::MessageQueue::current().destroyWindow(m_window); }

    hook::CDeviceHook makeHook(bool startSucceeds = true)
    {
        return hook::CDeviceHook([this, startSucceeds] {
            auto backend = std::make_unique<FakeBackend>(startSucceeds, grabs);
            backend_ = backend.get();
            return backend;
        });
    }
    void pump() { platform::MessageQueue::current().pumpPending(); }

    HWND m_window = nullptr;
    FakeBackend* backend_ = nullptr;
    int grabs = 0; // grabs held by every fake backend together
    std::vector<Received> received;
    std::function<void()> onMessage;
};

TEST_F(DeviceHookTest, KeyCaptureDeliversTheModesMessageWithTheKeysScanCode)
{
    auto hook = makeHook();
    ASSERT_EQ(hook.SetHook(hook::kModeKeyCapture, m_window, true, true), 1);
    backend_->key(30, true);  // A
    backend_->key(97, false); // right Ctrl, extended
    pump();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].message, hook::hookMessages().keySingleKey);
    EXPECT_EQ(received[0].wParam, WM_KEYDOWN);
    ASSERT_TRUE(received[0].trusted);
    EXPECT_EQ(received[0].key.scanCode, 0x1Eu);
    EXPECT_EQ(received[0].key.vkCode, 0x41u);
    EXPECT_EQ(received[1].wParam, WM_KEYUP);
    EXPECT_EQ(received[1].key.scanCode, 0x1Du);
    EXPECT_EQ(received[1].key.flags, hook::kKeyExtended | hook::kKeyUp);

    // The window backend reports HID usages; they arrive as the same keys.
    backend_->hidKey(0xE4, true); // right Ctrl
    backend_->hidKey(0x04, true); // A
    backend_->hidKey(0x02, true); // no key at all
    pump();
    ASSERT_EQ(received.size(), 5u);
    EXPECT_EQ(received[2].key.scanCode, 0x1Du);
    EXPECT_EQ(received[2].key.evdevCode, 97);
    EXPECT_EQ(received[3].key.scanCode, 0x1Eu);
    EXPECT_EQ(received[4].key.keyIndex, -1);
    EXPECT_EQ(received[4].key.scanCode, 0u);
}

TEST_F(DeviceHookTest, ForgedHookMessagesAreNeverTrusted)
{
    auto hook = makeHook();
    ASSERT_EQ(hook.SetHook(hook::kModeKeyCapture, m_window, true, true), 1);
    hook::HookKeyboardEvent forged;
    const auto id = hook::hookMessages().keySingleKey;
    platform::sendMessage(m_window, id, WM_KEYDOWN, reinterpret_cast<LPARAM>(&forged));
    platform::sendMessage(m_window, id, WM_KEYDOWN, 0x1234);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_FALSE(received[0].trusted);
    EXPECT_FALSE(received[1].trusted);

    // Our own event's pointer under another message id is not trusted either.
    onMessage = [&] {
        if (received.size() == 3) {
            platform::sendMessage(m_window, hook::hookMessages().keyMsMacro, 0,
                                  reinterpret_cast<LPARAM>(&forged));
        }
    };
    backend_->key(30, true);
    pump();
    ASSERT_EQ(received.size(), 4u);
    EXPECT_TRUE(received[2].trusted);
    EXPECT_FALSE(received[3].trusted);
}

TEST_F(DeviceHookTest, ModesWithoutAMessageWithholdKeysAndSendNothing)
{
    auto hook = makeHook();
    ASSERT_EQ(hook.SetHook(64, m_window, true, true), 1);
    EXPECT_TRUE(backend_->isStarted());
    backend_->key(30, true);
    backend_->button(platform::HookMouseButton::Left, true);
    pump();
    EXPECT_TRUE(received.empty());
}

TEST_F(DeviceHookTest, MacroModesDeliverMouseButtonsWithTheExtraButtonNumber)
{
    auto hook = makeHook();
    ASSERT_EQ(hook.SetHook(hook::kModeMacroInsertAfter, m_window, true, true), 1);
    backend_->button(platform::HookMouseButton::Extra2, true);
    backend_->button(platform::HookMouseButton::Middle, false);
    pump();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].message, hook::hookMessages().keyMsMacroLater);
    EXPECT_EQ(received[0].wParam, hook::kWmXButtonDown);
    ASSERT_TRUE(received[0].trusted);
    EXPECT_EQ(received[0].mouse.mouseData >> 16, 2u);
    EXPECT_EQ(received[0].mouse.pt.x, 10);
    EXPECT_EQ(received[1].wParam, hook::kWmMButtonUp);

    // Key capture has no mouse message.
    ASSERT_EQ(hook.SetHook(hook::kModeKeyCapture, m_window, true, true), 1);
    backend_->button(platform::HookMouseButton::Left, true);
    pump();
    EXPECT_EQ(received.size(), 2u);
}

TEST_F(DeviceHookTest, NothingArrivesOrStaysGrabbedAfterUnhook)
{
    auto hook = makeHook();
    EXPECT_EQ(hook.Unhook(), 0); // never hooked
    ASSERT_EQ(hook.SetHook(hook::kModeMacroAppend, m_window, true, true), 1);
    backend_->key(30, true); // queued, not yet handled
    EXPECT_EQ(hook.Unhook(), 1);
    EXPECT_FALSE(backend_->isStarted());
    pump();
    EXPECT_TRUE(received.empty());
    EXPECT_EQ(hook.Unhook(), 0);
}

TEST_F(DeviceHookTest, AHandlerThatUnhooksStopsTheRestOfTheBurst)
{
    auto hook = makeHook();
    ASSERT_EQ(hook.SetHook(hook::kModeMacroReplaceOne, m_window, true, true), 1);
    onMessage = [&] { hook.Unhook(); };
    backend_->key(30, true);
    backend_->key(30, false);
    pump();
    EXPECT_EQ(received.size(), 1u);
}

TEST_F(DeviceHookTest, AFailedCaptureHooksNothing)
{
    auto hook = makeHook(false);
    EXPECT_EQ(hook.SetHook(hook::kModeKeyCapture, m_window, true, true), 0);
    EXPECT_FALSE(hook.isHooked());
    EXPECT_FALSE(hook.lastError().empty());
}

TEST_F(DeviceHookTest, DestroyingTheHookReleasesTheGrab)
{
    {
        auto hook = makeHook();
        ASSERT_EQ(hook.SetHook(hook::kModeKeyCapture, m_window, true, true), 1);
        // Hooking again while hooked replaces the grab instead of adding one.
        ASSERT_EQ(hook.SetHook(hook::kModeMacroAppend, m_window, true, true), 1);
        EXPECT_EQ(grabs, 1);
    }
    EXPECT_EQ(grabs, 0);
}

TEST(HookMessagesTest, RegisteredInOrderWithTheDuplicateSharingItsId)
{
    const auto& m = hook::hookMessages();
    EXPECT_EQ(m.keySingleKey, platform::registerMessage(L"WM_HOOK_KEY_SINGLEKEY_MSG"));
    EXPECT_EQ(platform::registerMessage(hook::kHookMessageNames[14]),
              platform::registerMessage(hook::kHookMessageNames[18]));
    EXPECT_EQ(hook::keyboardMessageForMode(hook::kModeMacroInsertBefore), m.keyKbMacroPrevious);
    EXPECT_EQ(hook::mouseMessageForMode(hook::kModeMacroReplaceOne), m.keyMsMacroSingle);
    EXPECT_EQ(hook::keyboardMessageForMode(64), 0u);
    EXPECT_EQ(hook::mouseMessageForMode(hook::kModeKeyCapture), 0u);
}

} // namespace
