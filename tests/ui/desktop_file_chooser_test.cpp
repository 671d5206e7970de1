// Import and export through the desktop's file chooser (a fake XDG portal on a private
// bus), and the program's own dialog when no portal answers.

#include "platform/desktop_file_chooser.h"
#include "platform/folders.h"
#include "platform/linux/bus_thread.h"
#include "platform/message_queue.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "support/private_bus.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"
#include "ui/file_dialog.h"
#include "ui/list_ui.h"
#include "ui/ui_driver.h"
#include "ui/window_wnd.h"

#include <gtest/gtest.h>

#include <fstream>
#include <mutex>
#include <systemd/sd-bus.h>

namespace {

using platform::BusThread;
using testing_support::PrivateBus;
using testing_support::ScopedEnvironment;
using testing_support::TempDir;

constexpr auto kTimeout = std::chrono::milliseconds(5000);

// The desktop's side: OpenFile and SaveFile record what they were asked and answer on the
// request object with the configured address, or with "cancelled".
class FakePortal {
public:
    struct Asked {
        std::string method;
        std::string parent;
        std::string title;
        std::string folder;
        std::string currentName;
        std::vector<std::string> filterNames;
        std::vector<std::string> patterns;
    };

    FakePortal(const std::string& address, std::string answerUri)
        : m_answerUri(std::move(answerUri))
    {
        static const sd_bus_vtable kVtable[] = {
            SD_BUS_VTABLE_START(0),
            SD_BUS_METHOD("OpenFile", "ssa{sv}", "o", onCall, SD_BUS_VTABLE_UNPRIVILEGED),
            SD_BUS_METHOD("SaveFile", "ssa{sv}", "o", onCall, SD_BUS_VTABLE_UNPRIVILEGED),
            SD_BUS_VTABLE_END};
        const auto started = m_bus.start(
            "fake portal", BusThread::Bus::Session, address,
            [this](sd_bus* bus) -> platform::Result<void> {
                if (sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/portal/desktop",
                                             "org.freedesktop.portal.FileChooser", kVtable,
                                             this) < 0 ||
                    sd_bus_request_name(bus, "org.freedesktop.portal.Desktop", 0) < 0)
                    return platform::makeError(platform::Error::Code::Failed, "portal");
                return {};
            },
            nullptr, kTimeout);
        EXPECT_TRUE(started) << (started ? "" : started.error().message);
    }
    ~FakePortal() { m_bus.stop(kTimeout); }

    Asked asked()
    {
        std::lock_guard guard(m_lock);
        return m_asked;
    }

private:
    static std::string readString(sd_bus_message* m)
    {
        const char* text = nullptr;
        sd_bus_message_read(m, "s", &text);
        return text ? text : "";
    }

    static int onCall(sd_bus_message* call, void* userdata, sd_bus_error*)
    {
        auto* self = static_cast<FakePortal*>(userdata);
        Asked asked;
        asked.method = sd_bus_message_get_member(call);
        asked.parent = readString(call);
        asked.title = readString(call);
        std::string token;
        sd_bus_message_enter_container(call, 'a', "{sv}");
        while (sd_bus_message_enter_container(call, 'e', "sv") > 0) {
            const std::string key = readString(call);
            if (key == "handle_token" || key == "current_name") {
                sd_bus_message_enter_container(call, 'v', "s");
                (key == "handle_token" ? token : asked.currentName) = readString(call);
                sd_bus_message_exit_container(call);
            } else if (key == "current_folder") {
                sd_bus_message_enter_container(call, 'v', "ay");
                const void* bytes = nullptr;
                std::size_t size = 0;
                sd_bus_message_read_array(call, 'y', &bytes, &size);
                asked.folder.assign(static_cast<const char*>(bytes), size);
                sd_bus_message_exit_container(call);
            } else if (key == "filters") {
                sd_bus_message_enter_container(call, 'v', "a(sa(us))");
                sd_bus_message_enter_container(call, 'a', "(sa(us))");
                while (sd_bus_message_enter_container(call, 'r', "sa(us)") > 0) {
                    asked.filterNames.push_back(readString(call));
                    sd_bus_message_enter_container(call, 'a', "(us)");
                    std::uint32_t kind = 0;
                    const char* pattern = nullptr;
                    while (sd_bus_message_read(call, "(us)", &kind, &pattern) > 0)
                        asked.patterns.emplace_back(pattern);
                    sd_bus_message_exit_container(call);
                    sd_bus_message_exit_container(call);
                }
                sd_bus_message_exit_container(call);
                sd_bus_message_exit_container(call);
            } else {
                sd_bus_message_skip(call, "v");
            }
            sd_bus_message_exit_container(call);
        }
        std::string sender(sd_bus_message_get_sender(call) + 1);
        for (char& c : sender)
            c = c == '.' ? '_' : c;
        const std::string path = "/org/freedesktop/portal/desktop/request/" + sender + "/" + token;
        {
            std::lock_guard guard(self->m_lock);
            self->m_asked = asked;
        }
        sd_bus* bus = sd_bus_message_get_bus(call);
        sd_bus_reply_method_return(call, "o", path.c_str());
        // The user's answer: the chosen address, or a cancel.
        sd_bus_message* signal = nullptr;
        sd_bus_message_new_signal(bus, &signal, path.c_str(), "org.freedesktop.portal.Request",
                                  "Response");
        if (self->m_answerUri.empty()) {
            sd_bus_message_append(signal, "ua{sv}", 1u, 0);
        } else {
            sd_bus_message_append(signal, "u", 0u);
            sd_bus_message_open_container(signal, 'a', "{sv}");
            sd_bus_message_append(signal, "{sv}", "uris", "as", 1, self->m_answerUri.c_str());
            sd_bus_message_close_container(signal);
        }
        sd_bus_send(bus, signal, nullptr);
        sd_bus_message_unref(signal);
        return 1;
    }

    std::mutex m_lock;
    Asked m_asked;
    std::string m_answerUri;
    BusThread m_bus;
};

ui::FileDialogOptions exportMacro(const std::filesystem::path& folder)
{
    ui::FileDialogOptions options;
    options.mode = ui::FileDialogOptions::Mode::Save;
    options.title = L"Export macro";
    options.filters = {{L"Macro Files(*.mac)", L"*.mac;"}};
    options.defaultExtension = L"mac";
    options.folder = folder;
    options.fileName = L"macro 1";
    options.fileMustExist = false;
    return options;
}

} // namespace

TEST(DesktopFileChooser, ThePortalIsAskedWithTitleFolderAndFiltersAndItsChoiceIsUsed)
{
    PrivateBus bus;
    if (bus.address().empty())
        GTEST_SKIP() << bus.error();
    ScopedEnvironment desktop("HALVEK_FILE_CHOOSER", std::nullopt);
    TempDir dir;
    // The user typed a name with a blank and no extension in the desktop's chooser.
    FakePortal portal(bus.address(), "file://" + (dir.path() / "my%20macro").string());
    const auto chosen = ui::showFileDialog(nullptr, exportMacro(dir.path()), bus.address());
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, dir.path() / "my macro.mac") << "the default extension is added";
    EXPECT_EQ(ui::lastFolder(), dir.path());
    const auto asked = portal.asked();
    EXPECT_EQ(asked.method, "SaveFile");
    EXPECT_EQ(asked.title, "Export macro");
    EXPECT_EQ(asked.folder, dir.path().string() + std::string(1, '\0'));
    EXPECT_EQ(asked.currentName, "macro 1");
    EXPECT_EQ(asked.filterNames, std::vector<std::string>{"Macro Files(*.mac)"});
    EXPECT_EQ(asked.patterns, std::vector<std::string>{"*.mac"})
        << "the empty pattern after ';' is dropped";
}

TEST(DesktopFileChooser, ACancelInThePortalIsACancelAndOpensNoOtherDialog)
{
    PrivateBus bus;
    if (bus.address().empty())
        GTEST_SKIP() << bus.error();
    ScopedEnvironment desktop("HALVEK_FILE_CHOOSER", std::nullopt);
    TempDir dir;
    FakePortal portal(bus.address(), "");
    const auto before = ui::allWindows().size();
    EXPECT_FALSE(ui::showFileDialog(nullptr, exportMacro(dir.path()), bus.address()).has_value());
    EXPECT_EQ(ui::allWindows().size(), before);
    EXPECT_EQ(portal.asked().method, "SaveFile");
}

TEST(DesktopFileChooser, WithoutAPortalTheOwnDialogOpensTitledInTheLastFolderWithItsFilters)
{
    PrivateBus bus;
    if (bus.address().empty())
        GTEST_SKIP() << bus.error();
    ScopedEnvironment desktop("HALVEK_FILE_CHOOSER", std::nullopt);
    TempDir dir;
    std::ofstream(dir.path() / "kept.mac") << "x";
    std::ofstream(dir.path() / "other.txt") << "x";
    // A choice made before decides where the next dialog starts.
    {
        FakePortal portal(bus.address(), "file://" + (dir.path() / "kept.mac").string());
        ASSERT_TRUE(ui::showFileDialog(nullptr, exportMacro({}), bus.address()).has_value());
    }
    // No portal now: the bus has nobody of that name, so the own dialog comes at once.
    std::wstring title;
    std::wstring folder;
    std::vector<std::wstring> rows;
    std::wstring filter;
    auto& queue = platform::MessageQueue::current();
    const HWND helper = queue.createWindow([&](HWND self, UINT msg, WPARAM, LPARAM) -> LRESULT {
        if (msg != WM_TIMER)
            return 0;
        const HWND found = ui::findWindow(L"FileDialogWnd");
        auto* dialog = found ? dynamic_cast<CFileDialogWnd*>(ui::windowFromHandle(found)) : nullptr;
        if (!dialog)
            return 0;
        platform::killTimer(self, 1);
        title = dialog->GetTitle();
        folder = platform::toWide(dialog->folder());
        ui::UiDriver driver(dialog->GetPaintManager());
        auto* list = driver.findAs<CListUI>(L"file_list");
        for (int i = 0; list && i < list->GetCount(); ++i)
            rows.emplace_back(list->GetItemAt(i)->GetText());
        filter = driver.find(L"filter_combo")->GetText();
        // Keys only: the name field, then Enter.
        driver.type(L"path_edit", L"typed");
        driver.key(VK_RETURN);
        return 0;
    });
    platform::setTimer(helper, 1, std::chrono::milliseconds(20));
    ui::FileDialogOptions options = exportMacro({});
    options.title = L"Import macro";
    options.mode = ui::FileDialogOptions::Mode::Save;
    const auto chosen = ui::showFileDialog(nullptr, options, bus.address());
    queue.destroyWindow(helper);
    EXPECT_EQ(title, L"Import macro");
    EXPECT_EQ(folder, platform::toWide(dir.path()));
    EXPECT_EQ(rows, std::vector<std::wstring>{L"kept.mac"});
    EXPECT_EQ(filter, L"Macro Files(*.mac)");
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, dir.path() / "typed.mac");
}

TEST(DesktopFileChooser, EachKindStartsInItsLastFolderNextRunAndAFolderSinceRemovedInHome)
{
    PrivateBus bus;
    if (bus.address().empty())
        GTEST_SKIP() << bus.error();
    ScopedEnvironment desktop("HALVEK_FILE_CHOOSER", std::nullopt);
    TempDir dir;
    const auto settings = dir.path() / "settings.conf";
    const auto macros = dir.path() / "macros 宏";
    std::filesystem::create_directories(macros);
    ui::FileDialogOptions macro = exportMacro({});
    macro.kind = L"Macro";
    ui::FileDialogOptions profile = exportMacro({});
    profile.kind = L"Profile";
    const std::string home = platform::homeFolder().string() + std::string(1, '\0');
    // The folder the portal is asked to start in, as a fresh run would ask it.
    auto startsIn = [&](const ui::FileDialogOptions& options) {
        ui::rememberFoldersIn(settings);
        FakePortal portal(bus.address(), "");
        (void)ui::showFileDialog(nullptr, options, bus.address());
        return portal.asked().folder;
    };
    {
        ui::rememberFoldersIn(settings);
        FakePortal portal(bus.address(), "file://" + (macros / "a.mac").string());
        ASSERT_TRUE(ui::showFileDialog(nullptr, macro, bus.address()).has_value());
    }
    EXPECT_EQ(startsIn(macro), macros.string() + std::string(1, '\0'));
    EXPECT_EQ(startsIn(profile), home) << "a macro's folder is not the profiles'";
    std::filesystem::remove_all(macros);
    EXPECT_EQ(startsIn(macro), home);
    ui::rememberFoldersIn({});
}

TEST(DesktopFileChooser, FileAddressesBecomePathsAndAnythingElseIsRefused)
{
    EXPECT_EQ(platform::pathFromFileUri("file:///home/u/a%20b%C3%A9.mac"),
              std::filesystem::path("/home/u/a bé.mac"));
    EXPECT_EQ(platform::pathFromFileUri("file://localhost/tmp/x"), std::filesystem::path("/tmp/x"));
    EXPECT_FALSE(platform::pathFromFileUri("file://server/share/x"));
    EXPECT_FALSE(platform::pathFromFileUri("https://example.org/x.mac"));
    EXPECT_FALSE(platform::pathFromFileUri("file:///tmp/a%00b")) << "a NUL would cut the path";
    EXPECT_FALSE(platform::pathFromFileUri("file:///tmp/a%2"));
    EXPECT_FALSE(platform::pathFromFileUri("file:///tmp/%zz"));
}
