// The tray icon as a StatusNotifierItem, against a small StatusNotifierWatcher on a
// private bus: what the panel sees, and what reaches the window.

#include "ui/tray_icon.h"

#include "platform/linux/bus_thread.h"
#include "support/message_recorder.h"
#include "support/private_bus.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <array>
#include <mutex>
#include <optional>
#include <string_view>
#include <systemd/sd-bus.h>
#include <unistd.h>
#include <utility>

namespace {

using platform::BusThread;
using testing_support::MessageRecorder;
using testing_support::PrivateBus;

constexpr auto kTimeout = std::chrono::milliseconds(5000);
constexpr UINT kTrayMessage = 0x0401;
constexpr UINT kIconId = 107;

// The panel's side: a StatusNotifierWatcher that records the items registered with it
// and says whether a host draws them.
class FakeWatcher {
public:
    FakeWatcher(const std::string& address, bool hostRegistered) : m_hostRegistered(hostRegistered)
    {
        const auto started = m_bus.start(
            "fake watcher", BusThread::Bus::Session, address,
            [this](sd_bus* bus) -> platform::Result<void> {
                if (sd_bus_add_object_vtable(bus, nullptr, "/StatusNotifierWatcher",
                                             "org.kde.StatusNotifierWatcher", kVtable, this) < 0 ||
                    sd_bus_request_name(bus, "org.kde.StatusNotifierWatcher", 0) < 0)
                    return platform::makeError(platform::Error::Code::Failed, "watcher");
                return {};
            },
            nullptr, kTimeout);
        EXPECT_TRUE(started) << (started ? "" : started.error().message);
    }

    std::vector<std::string> registered() const
    {
        std::lock_guard guard(m_lock);
        return m_registered;
    }

    // Runs on the watcher's bus thread and waits for it.
    void onBus(const std::function<void(sd_bus*)>& work)
    {
        platform::Event done(platform::Event::ResetPolicy::Manual);
        m_bus.post([&](sd_bus* bus) {
            work(bus);
            done.set();
        });
        ASSERT_TRUE(done.waitFor(kTimeout));
    }

    // Calls a method of the item as a host does on a click.
    void callItem(const std::string& service, const char* method)
    {
        onBus([&](sd_bus* bus) {
            sd_bus_error error = SD_BUS_ERROR_NULL;
            sd_bus_message* reply = nullptr;
            EXPECT_GE(sd_bus_call_method(bus, service.c_str(), "/StatusNotifierItem",
                                         "org.kde.StatusNotifierItem", method, &error, &reply, "ii",
                                         10, 20),
                      0)
                << method << ": " << (error.message ? error.message : "");
            sd_bus_message_unref(reply);
            sd_bus_error_free(&error);
        });
    }

    std::string itemString(const std::string& service, const char* property)
    {
        std::string value;
        onBus([&](sd_bus* bus) {
            char* text = nullptr;
            if (sd_bus_get_property_string(bus, service.c_str(), "/StatusNotifierItem",
                                           "org.kde.StatusNotifierItem", property, nullptr,
                                           &text) >= 0)
                value = text;
            free(text);
        });
        return value;
    }

    std::string itemObjectPath(const std::string& service, const char* property)
    {
        std::string value;
        onBus([&](sd_bus* bus) {
            sd_bus_message* reply = nullptr;
            const char* path = nullptr;
            if (sd_bus_get_property(bus, service.c_str(), "/StatusNotifierItem",
                                    "org.kde.StatusNotifierItem", property, nullptr, &reply,
                                    "o") >= 0 &&
                sd_bus_message_read(reply, "o", &path) >= 0)
                value = path;
            sd_bus_message_unref(reply);
        });
        return value;
    }

    std::string itemToolTipTitle(const std::string& service)
    {
        std::string value;
        onBus([&](sd_bus* bus) {
            sd_bus_message* reply = nullptr;
            const char* icon = nullptr;
            const char* title = nullptr;
            if (sd_bus_get_property(bus, service.c_str(), "/StatusNotifierItem",
                                    "org.kde.StatusNotifierItem", "ToolTip", nullptr, &reply,
                                    "(sa(iiay)ss)") >= 0 &&
                sd_bus_message_enter_container(reply, 'r', "sa(iiay)ss") >= 0 &&
                sd_bus_message_read(reply, "s", &icon) >= 0 &&
                sd_bus_message_skip(reply, "a(iiay)") >= 0 &&
                sd_bus_message_read(reply, "s", &title) >= 0)
                value = title;
            sd_bus_message_unref(reply);
        });
        return value;
    }

    // Width, height and byte count of each size the item offers.
    std::vector<std::array<std::size_t, 3>> itemPixmaps(const std::string& service)
    {
        std::vector<std::array<std::size_t, 3>> sizes;
        onBus([&](sd_bus* bus) {
            sd_bus_message* reply = nullptr;
            if (sd_bus_get_property(bus, service.c_str(), "/StatusNotifierItem",
                                    "org.kde.StatusNotifierItem", "IconPixmap", nullptr, &reply,
                                    "a(iiay)") >= 0 &&
                sd_bus_message_enter_container(reply, 'a', "(iiay)") >= 0) {
                while (sd_bus_message_enter_container(reply, 'r', "iiay") > 0) {
                    int width = 0;
                    int height = 0;
                    const void* data = nullptr;
                    std::size_t size = 0;
                    sd_bus_message_read(reply, "ii", &width, &height);
                    sd_bus_message_read_array(reply, 'y', &data, &size);
                    sd_bus_message_exit_container(reply);
                    sizes.push_back(
                        {static_cast<std::size_t>(width), static_cast<std::size_t>(height), size});
                }
            }
            sd_bus_message_unref(reply);
        });
        return sizes;
    }

    struct MenuLayout {
        std::uint32_t revision = 0;
        std::vector<std::pair<int, std::string>> items; // id and label
    };

    // What a panel draws: the menu's layout from the root down.
    MenuLayout menuLayout(const std::string& service)
    {
        MenuLayout layout;
        onBus([&](sd_bus* bus) {
            sd_bus_message* reply = nullptr;
            sd_bus_error error = SD_BUS_ERROR_NULL;
            int r = sd_bus_call_method(bus, service.c_str(), "/MenuBar", "com.canonical.dbusmenu",
                                       "GetLayout", &error, &reply, "iias", 0, -1, 0);
            EXPECT_GE(r, 0) << (error.message ? error.message : "");
            if (r >= 0)
                r = sd_bus_message_read(reply, "u", &layout.revision);
            if (r >= 0)
                r = sd_bus_message_enter_container(reply, 'r', "ia{sv}av");
            if (r >= 0)
                r = sd_bus_message_skip(reply, "ia{sv}");
            if (r >= 0)
                r = sd_bus_message_enter_container(reply, 'a', "v");
            while (r >= 0 && sd_bus_message_enter_container(reply, 'v', "(ia{sv}av)") > 0) {
                int id = 0;
                std::string label;
                sd_bus_message_enter_container(reply, 'r', "ia{sv}av");
                sd_bus_message_read(reply, "i", &id);
                sd_bus_message_enter_container(reply, 'a', "{sv}");
                while (sd_bus_message_enter_container(reply, 'e', "sv") > 0) {
                    const char* key = nullptr;
                    sd_bus_message_read(reply, "s", &key);
                    if (std::string_view(key) == "label") {
                        const char* text = nullptr;
                        sd_bus_message_read(reply, "v", "s", &text);
                        label = text;
                    } else {
                        sd_bus_message_skip(reply, "v");
                    }
                    sd_bus_message_exit_container(reply);
                }
                sd_bus_message_exit_container(reply);
                r = sd_bus_message_skip(reply, "av");
                sd_bus_message_exit_container(reply);
                sd_bus_message_exit_container(reply);
                layout.items.emplace_back(id, label);
            }
            sd_bus_message_unref(reply);
            sd_bus_error_free(&error);
        });
        return layout;
    }

    // A click (or another event) on a menu item as the panel reports it; false when the
    // item refused it.
    bool menuEvent(const std::string& service, int id, const char* event)
    {
        int r = -1;
        onBus([&](sd_bus* bus) {
            sd_bus_message* reply = nullptr;
            r = sd_bus_call_method(bus, service.c_str(), "/MenuBar", "com.canonical.dbusmenu",
                                   "Event", nullptr, &reply, "isvu", id, event, "s", "", 0u);
            sd_bus_message_unref(reply);
        });
        return r >= 0;
    }

    // Whether GetLayout from this parent is answered at all.
    bool menuLayoutAnswers(const std::string& service, int parent)
    {
        int r = -1;
        onBus([&](sd_bus* bus) {
            sd_bus_message* reply = nullptr;
            r = sd_bus_call_method(bus, service.c_str(), "/MenuBar", "com.canonical.dbusmenu",
                                   "GetLayout", nullptr, &reply, "iias", parent, -1, 0);
            sd_bus_message_unref(reply);
        });
        return r >= 0;
    }

    // Clicks on several items at once; the ids the menu did not know, or nullopt when it
    // refused the whole call.
    std::optional<std::vector<int>> menuClicks(const std::string& service,
                                               const std::vector<int>& ids)
    {
        std::optional<std::vector<int>> unknown;
        onBus([&](sd_bus* bus) {
            sd_bus_message* call = nullptr;
            sd_bus_message* reply = nullptr;
            int r = sd_bus_message_new_method_call(bus, &call, service.c_str(), "/MenuBar",
                                                   "com.canonical.dbusmenu", "EventGroup");
            if (r >= 0)
                r = sd_bus_message_open_container(call, 'a', "(isvu)");
            for (const int id : ids) {
                if (r >= 0)
                    r = sd_bus_message_append(call, "(isvu)", id, "clicked", "s", "", 0u);
            }
            if (r >= 0)
                r = sd_bus_message_close_container(call);
            if (r >= 0)
                r = sd_bus_call(bus, call, 0, nullptr, &reply);
            const void* data = nullptr;
            std::size_t size = 0;
            if (r >= 0 && sd_bus_message_read_array(reply, 'i', &data, &size) >= 0) {
                const auto* values = static_cast<const std::int32_t*>(data);
                unknown.emplace(values, values + size / sizeof(std::int32_t));
            }
            sd_bus_message_unref(reply);
            sd_bus_message_unref(call);
        });
        return unknown;
    }

    bool nameHasOwner(const std::string& name)
    {
        int owned = 0;
        onBus([&](sd_bus* bus) {
            sd_bus_message* reply = nullptr;
            if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                   "org.freedesktop.DBus", "NameHasOwner", nullptr, &reply, "s",
                                   name.c_str()) >= 0)
                sd_bus_message_read(reply, "b", &owned);
            sd_bus_message_unref(reply);
        });
        return owned != 0;
    }

    void stop() { m_bus.stop(kTimeout); }

private:
    static int onRegister(sd_bus_message* call, void* userdata, sd_bus_error*)
    {
        auto* self = static_cast<FakeWatcher*>(userdata);
        const char* service = nullptr;
        if (sd_bus_message_read(call, "s", &service) >= 0) {
            std::lock_guard guard(self->m_lock);
            self->m_registered.push_back(service);
        }
        return sd_bus_reply_method_return(call, nullptr);
    }
    static int onRegisterHost(sd_bus_message* call, void*, sd_bus_error*)
    {
        return sd_bus_reply_method_return(call, nullptr);
    }
    static int getHostRegistered(sd_bus*, const char*, const char*, const char*,
                                 sd_bus_message* reply, void* userdata, sd_bus_error*)
    {
        return sd_bus_message_append(reply, "b",
                                     static_cast<FakeWatcher*>(userdata)->m_hostRegistered);
    }
    static constexpr sd_bus_vtable kVtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("RegisterStatusNotifierItem", "s", "", onRegister, 0),
        SD_BUS_METHOD("RegisterStatusNotifierHost", "s", "", onRegisterHost, 0),
        SD_BUS_PROPERTY("IsStatusNotifierHostRegistered", "b", getHostRegistered, 0, 0),
        SD_BUS_SIGNAL("StatusNotifierHostRegistered", "", 0),
        SD_BUS_VTABLE_END};

    int m_hostRegistered = 0;
    mutable std::mutex m_lock;
    std::vector<std::string> m_registered; // guarded by m_lock
    BusThread m_bus;
};

std::string expectedService()
{
    return "org.kde.StatusNotifierItem-" + std::to_string(::getpid()) + "-" +
           std::to_string(kIconId);
}

class TrayIconTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(m_bus.address().empty()) << m_bus.error(); }

    std::unique_ptr<CTrayIcon> createdTray(const wchar_t* tooltip = L"SPhalvek2vizudi")
    {
        auto tray = std::make_unique<CTrayIcon>(ui::createStatusNotifierBackend(m_bus.address()));
        EXPECT_TRUE(tray->CreateTrayIcon(m_window.hwnd(), kIconId, tooltip, kTrayMessage));
        return tray;
    }

    PrivateBus m_bus;
    MessageRecorder m_window;
};

TEST_F(TrayIconTest, WithoutAWatcherTheIconSaysNothingShowsIt)
{
    auto tray = createdTray();
    EXPECT_TRUE(tray->IsVisible());
    EXPECT_FALSE(tray->HasTrayHost());
}

TEST_F(TrayIconTest, WatcherWithoutHostIsNoTray)
{
    FakeWatcher watcher(m_bus.address(), false);
    auto tray = createdTray();
    EXPECT_EQ(watcher.registered(), std::vector<std::string>{expectedService()});
    EXPECT_FALSE(tray->HasTrayHost());
}

TEST_F(TrayIconTest, PanelSeesIconAndTooltip)
{
    FakeWatcher watcher(m_bus.address(), true);
    auto tray = createdTray(L"Halvek 键盘");
    ASSERT_TRUE(tray->HasTrayHost());
    ASSERT_EQ(watcher.registered(), std::vector<std::string>{expectedService()});
    EXPECT_EQ(watcher.itemString(expectedService(), "IconName"), "org.halvek.Halvek");
    EXPECT_EQ(watcher.itemString(expectedService(), "Status"), "Active");
    EXPECT_EQ(watcher.itemObjectPath(expectedService(), "Menu"), "/MenuBar");
    EXPECT_EQ(watcher.itemToolTipTitle(expectedService()), "Halvek 键盘");

    // The build renders the icon beside the test programs, as an installation does.
    const auto pixmaps = watcher.itemPixmaps(expectedService());
    ASSERT_FALSE(pixmaps.empty()) << "no icon sizes: were the icons built?";
    for (const auto& [width, height, bytes] : pixmaps)
        EXPECT_EQ(bytes, width * height * 4) << width << "x" << height;

    tray->SetTooltipText(L"Halvek: 2 devices");
    EXPECT_EQ(watcher.itemToolTipTitle(expectedService()), "Halvek: 2 devices");
}

TEST_F(TrayIconTest, PanelListsTheItemByTheProgramsReadableName)
{
    // The tooltip the program gives may be its internal id; panels list items by Title.
    FakeWatcher watcher(m_bus.address(), true);
    auto tray = createdTray(L"SPhalvek2vizudi");
    ASSERT_TRUE(tray->HasTrayHost());
    EXPECT_EQ(watcher.itemString(expectedService(), "Title"), "Halvek");
    tray->SetTooltipText(L"Halvek: 2 devices");
    EXPECT_EQ(watcher.itemString(expectedService(), "Title"), "Halvek");
}

TEST_F(TrayIconTest, ClicksReachTheWindowAsTrayMessages)
{
    FakeWatcher watcher(m_bus.address(), true);
    auto tray = createdTray();
    watcher.callItem(expectedService(), "Activate");
    watcher.callItem(expectedService(), "ContextMenu");
    // Middle click and wheel mean nothing here.
    watcher.callItem(expectedService(), "SecondaryActivate");
    ASSERT_TRUE(m_window.waitForCount(2));
    platform::MessageQueue::current().pumpPending();
    const auto& got = m_window.messages();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].message, kTrayMessage);
    EXPECT_EQ(got[0].wParam, kIconId);
    EXPECT_EQ(got[0].lParam, WM_LBUTTONUP);
    EXPECT_EQ(got[1].message, kTrayMessage);
    EXPECT_EQ(got[1].lParam, WM_RBUTTONUP);
}

TEST_F(TrayIconTest, PanelDrawsTheMenuAndItsClicksReachTheWindow)
{
    FakeWatcher watcher(m_bus.address(), true);
    CTrayIcon tray(ui::createStatusNotifierBackend(m_bus.address()));
    // Set before the icon is shown: the panel gets it with the icon.
    tray.SetMenu({{L"show_menu", L"Show_Halvek"}, {L"exit", L"退出"}});
    ASSERT_TRUE(tray.CreateTrayIcon(m_window.hwnd(), kIconId, L"x", kTrayMessage));
    const auto first = watcher.menuLayout(expectedService());
    // "_" would mark an access key: a label shows it as written.
    const std::vector<std::pair<int, std::string>> expected{{1, "Show__Halvek"}, {2, "退出"}};
    EXPECT_EQ(first.items, expected);

    EXPECT_TRUE(watcher.menuEvent(expectedService(), 2, "clicked"));
    // Hovering is no choice; items that do not exist are refused and change nothing.
    EXPECT_TRUE(watcher.menuEvent(expectedService(), 1, "hovered"));
    EXPECT_FALSE(watcher.menuEvent(expectedService(), 3, "clicked"));
    EXPECT_FALSE(watcher.menuEvent(expectedService(), -1, "clicked"));
    ASSERT_TRUE(m_window.waitForCount(1));
    platform::MessageQueue::current().pumpPending();
    ASSERT_EQ(m_window.messages().size(), 1u);
    EXPECT_EQ(m_window.messages()[0].message, WM_MENUCLICK);
    const MenuCmd* record = ui::acceptMenuCommand(m_window.messages()[0].wParam);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(std::wstring(record->szName), L"exit");
    EXPECT_TRUE(ui::releaseMenuCommand(record));

    // Another language: the panel reads the new words under a new revision.
    tray.SetMenu({{L"exit", L"Exit"}});
    const auto second = watcher.menuLayout(expectedService());
    EXPECT_GT(second.revision, first.revision);
    EXPECT_EQ(second.items, (std::vector<std::pair<int, std::string>>{{1, "Exit"}}));
}

TEST_F(TrayIconTest, MenuAnswersOnlyForItsOwnItems)
{
    FakeWatcher watcher(m_bus.address(), true);
    auto tray = createdTray();
    tray->SetMenu({{L"show_menu", L"Show"}, {L"exit", L"Exit"}});
    EXPECT_TRUE(watcher.menuLayoutAnswers(expectedService(), 2));
    EXPECT_FALSE(watcher.menuLayoutAnswers(expectedService(), 3));
    EXPECT_FALSE(watcher.menuLayoutAnswers(expectedService(), -5));
    // Of a group, the known clicks count and the others are named back; a group of
    // nothing but unknown ids is refused.
    EXPECT_EQ(watcher.menuClicks(expectedService(), {1, 99}), std::vector<int>{99});
    EXPECT_EQ(watcher.menuClicks(expectedService(), {7, 8}), std::nullopt);
    ASSERT_TRUE(m_window.waitForCount(1));
    platform::MessageQueue::current().pumpPending();
    ASSERT_EQ(m_window.messages().size(), 1u);
    const MenuCmd* record = ui::acceptMenuCommand(m_window.messages()[0].wParam);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(std::wstring(record->szName), L"show_menu");
    EXPECT_TRUE(ui::releaseMenuCommand(record));
}

TEST_F(TrayIconTest, PanelRestartIsFollowed)
{
    auto watcher = std::make_unique<FakeWatcher>(m_bus.address(), true);
    auto tray = createdTray();
    ASSERT_TRUE(tray->HasTrayHost());

    watcher.reset(); // the panel crashed: its connection and name are gone
    ASSERT_TRUE(m_window.waitForCount(1));
    EXPECT_EQ(m_window.messages()[0].lParam, kTrayHostChanged);
    EXPECT_FALSE(tray->HasTrayHost());

    // A new panel knows nothing of the item: it is registered again.
    FakeWatcher restarted(m_bus.address(), true);
    ASSERT_TRUE(m_window.waitForCount(2));
    EXPECT_EQ(m_window.messages()[1].lParam, kTrayHostChanged);
    EXPECT_TRUE(tray->HasTrayHost());
    EXPECT_EQ(restarted.registered(), std::vector<std::string>{expectedService()});
}

TEST_F(TrayIconTest, DeletedIconLeavesTheBus)
{
    FakeWatcher watcher(m_bus.address(), true);
    auto tray = createdTray();
    ASSERT_TRUE(watcher.nameHasOwner(expectedService()));
    tray->DeleteTrayIcon();
    EXPECT_FALSE(tray->HasTrayHost());
    // The bus daemon drops the name when it sees the connection close, a moment later on a
    // slow (sanitized) run.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (watcher.nameHasOwner(expectedService()) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(watcher.nameHasOwner(expectedService()));
    tray->OnIconMouse(WM_LBUTTONUP);
    platform::MessageQueue::current().pumpPending();
    EXPECT_TRUE(m_window.messages().empty()) << "a removed icon still clicked";
}

TEST(TrayIcon, NoBusMeansNoIconAndNoTray)
{
    MessageRecorder window;
    CTrayIcon tray(ui::createStatusNotifierBackend("unix:path=/nonexistent/halvek-test-bus"));
    EXPECT_FALSE(tray.CreateTrayIcon(window.hwnd(), kIconId, L"x", kTrayMessage));
    EXPECT_FALSE(tray.IsVisible());
    EXPECT_FALSE(tray.HasTrayHost());
}

TEST(TrayIcon, NullBackendDoesNotClaimToShowAnything)
{
    MessageRecorder window;
    CTrayIcon tray(ui::createNullTrayBackend());
    EXPECT_FALSE(tray.CreateTrayIcon(window.hwnd(), kIconId, L"x", kTrayMessage));
    EXPECT_FALSE(tray.HasTrayHost());
}

} // namespace
