// The main window as a desktop program: its tray menu and what the first window says
// when no device can be used.

#include "main_wnd_fixture.h"

#include "device/usb_ids.h"
#include "platform/text.h"
#include "shell/main_messages.h"
#include "ui/menu_wnd.h"

#include <cstdlib>

using testing_support::MainWindowTest;

namespace {

std::vector<std::wstring> names(const std::vector<ui::MenuItemText>& items)
{
    std::vector<std::wstring> result;
    for (const auto& item : items)
        result.push_back(item.name);
    return result;
}

std::wstring textOf(const std::vector<ui::MenuItemText>& items, std::wstring_view name)
{
    for (const auto& item : items) {
        if (item.name == name)
            return item.text;
    }
    return L"(missing)";
}

// A keyboard whose node is there but refuses this user, as without the udev rule.
class RefusingSource final : public detect::InterfaceSource {
public:
    std::optional<std::vector<std::wstring>> enumerate() override
    {
        return std::vector<std::wstring>{L"refused:vid_36b0&pid_5078&mi_01&col04"};
    }
    std::optional<Probe> probe(const std::wstring&) override { return std::nullopt; }
    std::optional<hid::OpenFailure> lastProbeFailure() const override
    {
        hid::OpenFailure failure;
        failure.kind = hid::OpenFailure::Kind::PermissionDenied;
        failure.node = "/dev/hidraw7";
        failure.reason = "Permission denied";
        return failure;
    }
    bool isPresent(const std::wstring&) override { return false; }
};

} // namespace

TEST_F(MainWindowTest, TrayMenuFollowsTheLanguageAndItsChoicesReachTheWindow)
{
    ASSERT_TRUE(open(true, nullptr, false));
    ASSERT_TRUE(ui().waitFor([&] { return window().IsWindowVisible(); }));
    const std::vector<std::wstring> expected{L"show_menu", L"setwnd_menu", L"about_menu", L"exit"};
    EXPECT_EQ(names(m_trayMenu), expected);
    EXPECT_EQ(textOf(m_trayMenu, L"exit"), L"Exit");

    platform::sendMessage(window().GetHWND(), shell::MSG_LANGUAGE_CHANGED, 1, 0);
    EXPECT_EQ(names(m_trayMenu), expected);
    EXPECT_EQ(textOf(m_trayMenu, L"exit"), L"退出");

    // "Show" brings a hidden window back; "exit" ends the program the normal way.
    window().ShowWindow(false, false);
    ASSERT_TRUE(ui::postMenuCommand(window().GetHWND(), L"show_menu"));
    ui().pump();
    EXPECT_TRUE(window().IsWindowVisible());
    const HWND hwnd = window().GetHWND();
    ASSERT_TRUE(ui::postMenuCommand(hwnd, L"exit"));
    ui().pump();
    EXPECT_TRUE(window().isShuttingDown());
    EXPECT_FALSE(platform::isWindow(hwnd));
}

TEST_F(MainWindowTest, FirstWindowSaysHowToConnectTryTheEmulatorOrFixPermissions)
{
    RefusingSource source;
    ASSERT_TRUE(open(true, &source, false));
    EXPECT_TRUE(visible(L"No_device_Link"));
    EXPECT_TRUE(visible(L"no_device_hint"));
    EXPECT_TRUE(visible(L"no_device_try"));
    EXPECT_EQ(std::wstring(pm().FindControl(L"no_device_command")->GetText()),
              L"halvek --simulate");
    EXPECT_FALSE(visible(L"no_device_access"));

    // The pass finds the keyboard but may not open it: the window says which node and how
    // to install the rule, beside the rest of the notice.
    window().runWatcherPass();
    platform::sendMessage(window().GetHWND(), shell::appMessages().instance, 0, 0);
    ASSERT_TRUE(visible(L"no_device_access"));
    const std::wstring text(pm().FindControl(L"no_device_access")->GetText());
    EXPECT_NE(text.find(L"/dev/hidraw7"), std::wstring::npos) << platform::toUtf8(text);
    EXPECT_NE(text.find(L"70-halvek.rules"), std::wstring::npos) << platform::toUtf8(text);
    EXPECT_NE(text.find(L"udevadm"), std::wstring::npos) << platform::toUtf8(text);
    EXPECT_TRUE(visible(L"No_device_Link"));
    EXPECT_EQ(std::wstring(pm().FindControl(L"no_device_title")->GetTextId()),
              L"access_title_text");
    EXPECT_FALSE(visible(L"no_device_hint"));
    if (const char* prefix = std::getenv("HALVEK_LOOK_PNG")) {
        // The window's own size at 96 DPI, the smallest it is shown at.
        CPaintManagerUI::SetAllDPI(96);
        window().ResizeClient(1000, 640);
        ui().pump();
        ui().render();
        EXPECT_TRUE(ui().writePng(std::string(prefix) + "-no-access.png"));
    }
}
