#include "platform/input_hook.h"

// gtest before Xlib, whose macros (None, Bool) would break its templates.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr std::uint16_t kEvdevA = 30;

class RecordingSink : public platform::HookSink {
public:
    void onKey(const platform::HookKeyEvent& event) override
    {
        std::lock_guard guard(m_lock);
        keys.push_back(event);
        m_changed.notify_all();
    }
    void onMouseButton(const platform::HookMouseEvent& event) override
    {
        std::lock_guard guard(m_lock);
        buttons.push_back(event);
        m_changed.notify_all();
    }
    bool waitFor(std::size_t keyCount, std::size_t buttonCount)
    {
        std::unique_lock guard(m_lock);
        return m_changed.wait_for(
            guard, 5s, [&] { return keys.size() >= keyCount && buttons.size() >= buttonCount; });
    }
    std::vector<platform::HookKeyEvent> keys;
    std::vector<platform::HookMouseEvent> buttons;

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
};

// A second client, standing for any other program on the desktop.
class OtherClient {
public:
    OtherClient() : display(XOpenDisplay(nullptr)) {}
    ~OtherClient()
    {
        if (display != nullptr) {
            XCloseDisplay(display);
        }
    }
    int grabKeyboard()
    {
        const int result = XGrabKeyboard(display, DefaultRootWindow(display), False, GrabModeAsync,
                                         GrabModeAsync, CurrentTime);
        XUngrabKeyboard(display, CurrentTime);
        XSync(display, False);
        return result;
    }
    void pressKey(KeySym keysym)
    {
        const KeyCode code = XKeysymToKeycode(display, keysym);
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        XTestFakeKeyEvent(display, code, False, CurrentTime);
        XSync(display, False);
    }
    void clickButton(unsigned button)
    {
        XTestFakeButtonEvent(display, button, True, CurrentTime);
        XTestFakeButtonEvent(display, button, False, CurrentTime);
        XSync(display, False);
    }
    Display* display;
};

class X11InputHookTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_backend = platform::createX11InputHook();
        if (std::getenv("HALVEK_X11_TESTS") == nullptr || !m_backend) {
            GTEST_SKIP() << "no X display with XInput 2 (ctest runs these under xvfb-run with "
                            "HALVEK_X11_TESTS=1)";
        }
    }
    std::unique_ptr<platform::InputHookBackend> m_backend;
};

TEST_F(X11InputHookTest, SeesKeysAndButtonsOfTheWholeDesktopAsEvdevCodes)
{
    RecordingSink sink;
    ASSERT_TRUE(m_backend->start(sink)) << m_backend->lastError();
    EXPECT_FALSE(m_backend->needsFocus());

    OtherClient other;
    other.pressKey(XK_a);
    other.clickButton(3);
    other.clickButton(4); // the wheel is no button
    other.clickButton(8);
    ASSERT_TRUE(sink.waitFor(2, 4))
        << sink.keys.size() << " keys, " << sink.buttons.size() << " buttons";
    m_backend->stop();

    EXPECT_EQ(sink.keys[0].evdevCode, kEvdevA);
    EXPECT_TRUE(sink.keys[0].down);
    EXPECT_FALSE(sink.keys[1].down);
    ASSERT_EQ(sink.buttons.size(), 4u);
    EXPECT_EQ(sink.buttons[0].button, platform::HookMouseButton::Right);
    EXPECT_TRUE(sink.buttons[0].down);
    EXPECT_EQ(sink.buttons[2].button, platform::HookMouseButton::Extra1);
}

TEST_F(X11InputHookTest, HoldsTheKeyboardOnlyWhileStarted)
{
    OtherClient other;
    RecordingSink sink;
    ASSERT_TRUE(m_backend->start(sink)) << m_backend->lastError();
    EXPECT_EQ(other.grabKeyboard(), AlreadyGrabbed);
    // Starting again while started replaces the grab instead of failing on our own.
    ASSERT_TRUE(m_backend->start(sink)) << m_backend->lastError();
    m_backend->stop();
    EXPECT_FALSE(m_backend->isStarted());
    EXPECT_EQ(other.grabKeyboard(), GrabSuccess);

    m_backend->stop(); // a second stop is harmless
}

TEST_F(X11InputHookTest, StartFailsWithAReasonWhileAnotherProgramHoldsTheKeyboard)
{
    OtherClient other;
    ASSERT_EQ(XGrabKeyboard(other.display, DefaultRootWindow(other.display), False, GrabModeAsync,
                            GrabModeAsync, CurrentTime),
              GrabSuccess);
    XSync(other.display, False);
    RecordingSink sink;
    EXPECT_FALSE(m_backend->start(sink));
    EXPECT_FALSE(m_backend->lastError().empty());
    EXPECT_FALSE(m_backend->isStarted());
}

TEST_F(X11InputHookTest, NothingStaysGrabbedAfterTheProcessIsKilled)
{
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        RecordingSink sink;
        auto backend = platform::createX11InputHook();
        const char answer = backend && backend->start(sink) ? 'y' : 'n';
        [[maybe_unused]] auto written = ::write(ready[1], &answer, 1);
        for (;;) {
            ::pause();
        }
    }
    ::close(ready[1]);
    char answer = 0;
    ASSERT_EQ(::read(ready[0], &answer, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(answer, 'y');

    OtherClient other;
    EXPECT_EQ(other.grabKeyboard(), AlreadyGrabbed);
    ASSERT_EQ(::kill(child, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(other.grabKeyboard(), GrabSuccess);
}

// The window backend: what the window layer feeds reaches the sink only while started,
// and the window's keyboard grab follows start, stop and focus loss.
class RecordingGrab : public platform::WindowKeyboardGrab {
public:
    void setKeyboardGrab(bool grabbed) override { this->grabbed = grabbed; }
    bool grabbed = false;
};

TEST(WindowInputHookTest, FeedsOnlyWhileStartedAndReleasesTheGrab)
{
    RecordingGrab grab;
    platform::setWindowKeyboardGrab(&grab);
    auto backend = platform::createWindowInputHook();
    RecordingSink sink;
    EXPECT_FALSE(platform::feedWindowKey({kEvdevA, true, 0}));

    ASSERT_TRUE(backend->start(sink));
    EXPECT_TRUE(backend->needsFocus());
    EXPECT_TRUE(grab.grabbed);
    EXPECT_TRUE(platform::feedWindowKey({kEvdevA, true, 0}));
    EXPECT_TRUE(platform::feedWindowMouseButton({platform::HookMouseButton::Left, true, 1, 2, 0}));
    platform::windowFocusLost();
    EXPECT_FALSE(grab.grabbed);

    ASSERT_TRUE(backend->start(sink));
    EXPECT_TRUE(grab.grabbed);
    backend.reset(); // destroyed while started
    EXPECT_FALSE(grab.grabbed);
    EXPECT_FALSE(platform::feedWindowKey({kEvdevA, false, 0}));
    EXPECT_EQ(sink.keys.size(), 1u);
    EXPECT_EQ(sink.buttons.size(), 1u);
    platform::setWindowKeyboardGrab(nullptr);
}

} // namespace
