// Key capture on a real X server: the main window's hook grabs the keyboard only while the
// key edit has focus, sees keys pressed anywhere (XTest stands in for the user) and leaves
// nothing grabbed once the window has closed or the program was killed.
#include "app/main_wnd_fixture.h"

#include "devsim/keyboard.h"
#include "pages/devices/tessary_keyboard_device.h"
#include "profile/key_codes.h"

// gtest (through the fixture) before Xlib, whose macros (None, Bool) would break it.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Another program on the desktop.
class OtherClient {
public:
    OtherClient() : m_display(XOpenDisplay(nullptr)) {}
    ~OtherClient()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }
    bool isOpen() const { return m_display != nullptr; }
    // True when this client could take the keyboard (and gave it back at once).
    bool canGrabKeyboard()
    {
        const int result = XGrabKeyboard(m_display, DefaultRootWindow(m_display), False,
                                         GrabModeAsync, GrabModeAsync, CurrentTime);
        XUngrabKeyboard(m_display, CurrentTime);
        XSync(m_display, False);
        return result == GrabSuccess;
    }
    void pressKey(KeySym keysym)
    {
        const KeyCode code = XKeysymToKeycode(m_display, keysym);
        XTestFakeKeyEvent(m_display, code, True, CurrentTime);
        XTestFakeKeyEvent(m_display, code, False, CurrentTime);
        XSync(m_display, False);
    }

private:
    Display* m_display;
};

class KeyCaptureX11Test : public testing_support::MainWindowTest {
protected:
    void SetUp() override
    {
        if (std::getenv("HALVEK_X11_TESTS") == nullptr || std::getenv("DISPLAY") == nullptr)
            GTEST_SKIP() << "needs its own X server (ctest runs these under xvfb-run with "
                            "HALVEK_X11_TESTS=1)";
        MainWindowTest::SetUp();
    }
};

} // namespace

TEST_F(KeyCaptureX11Test, CapturesThroughTheDesktopAndReleasesTheKeyboardWhenTheWindowCloses)
{
    OtherClient other;
    ASSERT_TRUE(other.isOpen());
    ASSERT_TRUE(open());
    devsim::Keyboard keyboard;
    keyboard.plug(devsim::KeyboardLink::Cable);
    ASSERT_TRUE(ui().waitFor([&] { return window().activeDevice() != nullptr; }, 5s));
    window().ResizeClient(1500, 960);
    ui().render();
    auto& device = *static_cast<CTessaryKeyboardDevice*>(
        window().activeDevice()->page()->GetInterface(L"TessaryKeyboardDevice"));

    ASSERT_TRUE(ui().click(L"key_0")); // Esc
    ASSERT_TRUE(ui().select(L"keyset_function_combo", 6));
    ASSERT_TRUE(ui().click(L"key_ComBox_check_1")); // Ctrl
    EXPECT_TRUE(other.canGrabKeyboard());
    ASSERT_TRUE(ui().click(L"keyset_keyboard_text_edit"));
    ASSERT_TRUE(window().isHookInstalled());
    EXPECT_FALSE(other.canGrabKeyboard());

    other.pressKey(XK_c);
    ASSERT_TRUE(ui().waitFor(
        [&] { return device.keyboard().keys().at(0).current == profile::makeCode(0x20, 1, 6); },
        5s));

    close();
    EXPECT_TRUE(other.canGrabKeyboard());
}

TEST_F(KeyCaptureX11Test, NothingStaysGrabbedAfterTheProgramIsTerminated)
{
    const std::filesystem::path program = std::filesystem::path(HALVEK_BINARY_DIR) / "halvek";
    if (!std::filesystem::exists(program) ||
        !std::filesystem::exists(program.parent_path() / "skin/res.xml"))
        GTEST_SKIP() << "halvek and its skin are not built";
    OtherClient other;
    ASSERT_TRUE(other.isOpen());
    const auto script = m_dir / "capture.txt";
    std::ofstream(script) << "wait keyboard_device_key_light\nsleep 500\nclick key_0\n"
                             "select keyset_function_combo 6\nclick keyset_keyboard_text_edit\n"
                             "sleep 60000\nquit\n";
    std::filesystem::create_directories(m_dir / "run");
    std::filesystem::permissions(m_dir / "run", std::filesystem::perms::owner_all);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::setenv("XDG_RUNTIME_DIR", (m_dir / "run").c_str(), 1);
        ::execl(program.c_str(), "halvek", "--simulate", "--script", script.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // The program holds the keyboard once its key edit has focus.
    bool grabbed = false;
    for (auto deadline = std::chrono::steady_clock::now() + 30s;
         !grabbed && std::chrono::steady_clock::now() < deadline;) {
        grabbed = !other.canGrabKeyboard();
        if (!grabbed)
            std::this_thread::sleep_for(100ms);
    }
    ASSERT_EQ(::kill(child, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(grabbed);
    EXPECT_TRUE(other.canGrabKeyboard());
}
