// The profile panel and the keyboard's system page in the real main window, driven through
// the off-screen driver with the emulated keyboard on its cable.
#include "app/main_wnd_fixture.h"

#include "devsim/faults.h"
#include "devsim/keyboard.h"
#include "pages/device_profile_ui.h"
#include "pages/devices/tessary_keyboard_device.h"
#include "pages/page_handlers.h"
#include "platform/message_queue.h"
#include "platform/text.h"
#include "shell/main_messages.h"
#include "support/full_disk.h"
#include "ui/button_ui.h"
#include "ui/combo_ui.h"
#include "ui/edit_ui.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr std::size_t kWinLockByte = 21;

class DevicePagesWindowTest : public testing_support::MainWindowTest {
protected:
    // Opens the window with the keyboard plugged in and the pages' prompts recorded.
    void openWithKeyboard()
    {
        ASSERT_TRUE(open());
        keyboard.plug(devsim::KeyboardLink::Cable);
        ASSERT_TRUE(ui().waitFor([&] { return window().activeDevice() != nullptr; }, 5s));
        ASSERT_TRUE(ui().waitFor([&] { return window().IsWindowVisible(); }));
        pages::PageHooks hooks;
        hooks.prompt = [this](const pages::PanelMessage& message, int buttons) -> unsigned {
            prompts.emplace_back(message.textId);
            promptNames.push_back(message.name.value_or(L""));
            return buttons == 1 ? answer : 1u;
        };
        hooks.pickProfileFile = [this](bool, std::wstring_view proposed) {
            proposedNames.emplace_back(proposed);
            return pickedFile;
        };
        pages::installPageHandlers(window(), hooks);
        // The size the window takes on a common screen: picture, tabs and pages all show.
        window().ResizeClient(1500, 960);
        // The device's start (read, profile, lighting) runs from its tile's timer. A change
        // made before it would be written by the start rather than by the page.
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (!keyboardModel().lightingThread().isRunning() &&
               std::chrono::steady_clock::now() < deadline)
            ui().waitFor([] { return false; }, 10ms);
        ASSERT_TRUE(keyboardModel().lightingThread().isRunning());
        ui().pump();
        ui().render();
    }

    CDeviceProfileUI* panel() { return pages::profilePanelOf(window().activeDevice()); }
    model::KeyboardModel& keyboardModel()
    {
        return static_cast<CTessaryKeyboardDevice*>(
                   window().activeDevice()->page()->GetInterface(L"TessaryKeyboardDevice"))
            ->keyboard();
    }
    std::uint8_t settingsByte(std::size_t offset)
    {
        const devsim::KeyboardMemory memory = keyboard.memory();
        return memory.area(devsim::Area::Settings)[offset];
    }

    devsim::Keyboard keyboard;
    std::vector<std::wstring> prompts;
    std::vector<std::wstring> promptNames;
    unsigned answer = 1;
    std::optional<std::filesystem::path> pickedFile;
    std::vector<std::wstring> proposedNames; // what each file dialog started with
};

} // namespace

TEST_F(DevicePagesWindowTest, ThePanelListsTheProfilesAndSelectingOneWritesTheKeyboard)
{
    openWithKeyboard();
    ASSERT_NE(panel(), nullptr);
    ASSERT_NE(panel()->model(), nullptr);
    EXPECT_EQ(panel()->GetSelectedIndex(), 0);
    EXPECT_FALSE(panel()->GetNameText().empty());
    EXPECT_EQ(keyboardModel().profileBaseName(), panel()->GetCurrentProfileId());
    shoot("profile");

    ASSERT_TRUE(ui().click(L"profile_fun_spread_btn"));
    ASSERT_TRUE(ui().click(L"device_add_btn"));
    ASSERT_EQ(panel()->model()->items().size(), 2u);
    ASSERT_TRUE(ui().click(L"profile_fun_spread_btn"));
    // Switching writes the device; the back-and-forth of two profiles is in the model tests.
    ASSERT_TRUE(ui().select(L"device_profile_combo", 1));
    ASSERT_TRUE(ui().waitFor(
        [&] {
            return panel()->model()->selectedIndex() == 1 &&
                   keyboardModel().profileBaseName() == panel()->GetCurrentProfileId() &&
                   panel()->model()->storedSelection() == 1;
        },
        3s));
    // The device got the new profile's slot record, and the name box names the profile.
    EXPECT_EQ(settingsByte(2), keyboardModel().profile().LoadLightInfo().brightness);
    EXPECT_EQ(panel()->GetNameText(), panel()->model()->items()[1]);
    ASSERT_TRUE(ui().select(L"device_profile_combo", 0));
    ASSERT_TRUE(ui().waitFor([&] { return panel()->model()->selectedIndex() == 0; }, 3s));
    EXPECT_EQ(panel()->GetNameText(), panel()->model()->items()[0]);
    EXPECT_TRUE(prompts.empty());
}

TEST_F(DevicePagesWindowTest, ASwitchThatCannotBeStoredIsRefusedSaidAndNotMade)
{
    if (!testing_support::FullDisk::isAvailable())
        GTEST_SKIP() << "no way to fill a disk here";
    openWithKeyboard();
    ASSERT_TRUE(ui().click(L"profile_fun_spread_btn"));
    ASSERT_TRUE(ui().click(L"device_add_btn"));
    ASSERT_TRUE(ui().click(L"profile_fun_spread_btn"));
    ASSERT_TRUE(ui().select(L"device_profile_combo", 1));
    ASSERT_TRUE(ui().waitFor(
        [&] {
            return panel()->model()->selectedIndex() == 1 &&
                   keyboardModel().profileBaseName() == panel()->GetCurrentProfileId();
        },
        3s));
    const std::wstring shown = panel()->GetCurrentProfileId();
    {
        testing_support::FullDisk full;
        ASSERT_TRUE(ui().select(L"device_profile_combo", 0));
        ASSERT_TRUE(ui().waitFor([&] { return !prompts.empty(); }, 3s));
    }
    EXPECT_EQ(prompts, std::vector<std::wstring>{L"profile_select_not_written_text"});
    // The window shows, and the device holds, the profile the next start will use.
    EXPECT_EQ(panel()->model()->selectedIndex(), 1);
    EXPECT_EQ(panel()->GetSelectedIndex(), 1);
    EXPECT_EQ(panel()->model()->storedSelection(), 1);
    EXPECT_EQ(keyboardModel().profileBaseName(), shown);
}

TEST_F(DevicePagesWindowTest, RefusedCommandsSayWhy)
{
    openWithKeyboard();
    ASSERT_NE(panel(), nullptr);
    ASSERT_TRUE(ui().click(L"profile_fun_spread_btn"));
    shoot("profile-menu");

    // Deleting the only profile.
    ASSERT_TRUE(ui().click(L"device_sub_btn"));
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(prompts.back(), L"profile_last_text");

    // Renaming to the name of another profile.
    ASSERT_TRUE(ui().click(L"device_add_btn"));
    ASSERT_TRUE(ui().click(L"profile_fun_spread_btn"));
    EXPECT_FALSE(panel()->IsMenuShown());
    const std::wstring taken = panel()->model()->items()[1];
    panel()->SetNameText(taken);
    ASSERT_TRUE(ui().click(L"device_profile_edit_save_btn"));
    ASSERT_EQ(prompts.size(), 2u);
    EXPECT_EQ(prompts.back(), L"message_text_5");

    // A blank name does nothing and says nothing.
    panel()->SetNameText(L"");
    ASSERT_TRUE(ui().click(L"device_profile_edit_save_btn"));
    EXPECT_EQ(prompts.size(), 2u);

    // A new name is taken and shown.
    panel()->SetNameText(L"Evening");
    ASSERT_TRUE(ui().click(L"device_profile_edit_save_btn"));
    EXPECT_EQ(prompts.size(), 2u);
    EXPECT_EQ(panel()->model()->items()[0], L"Evening");

    ASSERT_TRUE(ui().click(L"profile_fun_spread_btn"));
    // A reset that is cancelled changes nothing; import of a file that is no profile says so.
    answer = 0;
    ASSERT_TRUE(ui().click(L"device_reset_btn"));
    EXPECT_EQ(prompts.back(), L"message_text_22");
    const std::filesystem::path bad = m_dir / "bad.json";
    {
        std::ofstream(bad) << R"({"profilename": 5, "Device": [[[[[[]]]]]]})";
    }
    pickedFile = bad;
    ASSERT_TRUE(ui().click(L"device_import_btn"));
    EXPECT_EQ(panel()->model()->items().size(), 2u);

    EXPECT_TRUE(panel()->IsMenuShown());
}

TEST_F(DevicePagesWindowTest, ExportProposesTheProfilesNameAsTheFileName)
{
    openWithKeyboard();
    ASSERT_NE(panel(), nullptr);
    struct Case {
        const wchar_t* name;
        const wchar_t* proposed;
    };
    // Characters no file name takes are left out; a name with nothing left proposes nothing.
    const Case cases[] = {{L"Evening", L"Evening.json"},
                          {L"Night: red/blue", L"Night redblue.json"},
                          {L"夜间", L"夜间.json"},
                          {L"..", L""}};
    for (const Case& c : cases) {
        panel()->SetNameText(c.name);
        ASSERT_TRUE(ui().click(L"device_profile_edit_save_btn"));
        ASSERT_EQ(panel()->model()->nameText(), c.name);
        pickedFile = m_dir / "export.json";
        std::filesystem::remove(*pickedFile);
        ASSERT_TRUE(ui().click(L"profile_fun_spread_btn"));
        ASSERT_TRUE(ui().click(L"device_export_btn"));
        ASSERT_FALSE(proposedNames.empty());
        EXPECT_EQ(proposedNames.back(), c.proposed);
        EXPECT_TRUE(std::filesystem::exists(*pickedFile)) << "exported where the user chose";
        ASSERT_TRUE(ui().click(L"profile_fun_spread_btn"));
    }
    // An import starts with no name of its own.
    pickedFile.reset();
    ASSERT_TRUE(ui().click(L"profile_fun_spread_btn"));
    ASSERT_TRUE(ui().click(L"device_import_btn"));
    EXPECT_EQ(proposedNames.back(), L"");
    EXPECT_TRUE(prompts.empty());
}

// The blank-combo and orphan-file journeys: after every panel command the combo, the name
// box and the keyboard's profile are one listed profile, so the next save lands in a file the
// list names.
TEST_F(DevicePagesWindowTest, TheComboAlwaysNamesTheProfileTheKeyboardHolds)
{
    openWithKeyboard();
    ASSERT_NE(panel(), nullptr);
    // The panel's own combo: every device page has one of this name.
    auto* combo = static_cast<CComboUI*>(
        pm().FindSubControlByName(panel(), L"device_profile_combo")->GetInterface(L"Combo"));
    ASSERT_NE(combo, nullptr);
    // Checked as the user sees it: with the commands closed and the combo shown again.
    auto expectInStep = [&](const char* after) {
        SCOPED_TRACE(after);
        ASSERT_TRUE(ui().click(L"profile_fun_spread_btn"));
        ui().pump();
        const pages::ProfilePanelModel& model = *panel()->model();
        EXPECT_FALSE(model.nameText().empty());
        EXPECT_EQ(std::wstring(combo->GetText()), model.nameText());
        EXPECT_EQ(panel()->GetNameText(), model.nameText());
        EXPECT_EQ(keyboardModel().profileBaseName(), model.currentProfileId());
        ASSERT_TRUE(ui().click(L"profile_fun_spread_btn"));
    };
    ASSERT_TRUE(ui().click(L"profile_fun_spread_btn"));
    ASSERT_TRUE(ui().click(L"device_add_btn"));
    expectInStep("New");
    ASSERT_TRUE(ui().click(L"device_copy_btn"));
    expectInStep("Copy");
    pickedFile = m_dir / "Imported.json";
    {
        std::ofstream(*pickedFile) << R"({"profilename": "x", "profileUUID": "y"})";
    }
    ASSERT_TRUE(ui().click(L"device_import_btn"));
    expectInStep("Import");
    const std::size_t count = panel()->model()->items().size();
    ASSERT_EQ(count, 4u);

    // Show the imported profile, then delete it: asked once, by name.
    ASSERT_TRUE(ui().click(L"profile_fun_spread_btn"));
    ASSERT_TRUE(ui().select(L"device_profile_combo", static_cast<int>(count - 1)));
    ASSERT_TRUE(ui().waitFor(
        [&] {
            return keyboardModel().profileBaseName() == panel()->GetCurrentProfileId() &&
                   panel()->model()->selectedIndex() == static_cast<int>(count - 1);
        },
        3s));
    ASSERT_TRUE(ui().click(L"profile_fun_spread_btn"));
    answer = 0;
    ASSERT_TRUE(ui().click(L"device_sub_btn"));
    ASSERT_EQ(prompts.back(), L"profile_delete_question_text");
    EXPECT_EQ(promptNames.back(), L"Imported");
    EXPECT_EQ(panel()->model()->items().size(), count);
    answer = 1;
    const std::size_t asked = prompts.size();
    ASSERT_TRUE(ui().click(L"device_sub_btn"));
    EXPECT_EQ(prompts.size(), asked + 1);
    EXPECT_EQ(panel()->model()->items().size(), count - 1);
    expectInStep("Delete");
    ASSERT_TRUE(ui().click(L"profile_fun_spread_btn"));
    shoot("profile-after-delete");

    // The next save goes into a listed profile's file, and no file is left unlisted.
    ASSERT_EQ(keyboardModel().CommitProfile(), model::ProfileResult::Ok);
    profile::ProfileList& list = panel()->model()->list();
    std::set<std::filesystem::path> listed;
    for (int i = 0; i < list.GetProfileCount(); ++i)
        listed.insert(list.GetProfilePath(i));
    std::set<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(keyboardModel().dataFolder()))
        if (entry.path().extension() == ".Json")
            files.insert(entry.path());
    EXPECT_EQ(files, listed);
}

// A lighting change the keyboard refuses is shown as not written and stays in the profile;
// the window's "Save and write" puts it on the keyboard once it answers again.
TEST_F(DevicePagesWindowTest, ARefusedLightingChangeIsKeptAndWrittenOnRetry)
{
    openWithKeyboard();
    keyboard.injectFaults({devsim::Fault::StatusFF, devsim::Fault::StatusFF,
                           devsim::Fault::StatusFF, devsim::Fault::StatusFF,
                           devsim::Fault::StatusFF, devsim::Fault::StatusFF,
                           devsim::Fault::StatusFF, devsim::Fault::StatusFF});
    ASSERT_TRUE(ui().click(L"color_option_4"));
    keyboard.clearFaults();
    const profile::LightInfo chosen = keyboardModel().GetLightSettings();
    const std::array<std::uint8_t, 3> colour{chosen.red, chosen.green, chosen.blue};
    auto deviceColour = [&] {
        return std::array<std::uint8_t, 3>{settingsByte(6), settingsByte(7), settingsByte(8)};
    };
    EXPECT_EQ(window().activeDevice()->pending(), shell::Pending::Unwritten);
    EXPECT_TRUE(visible(L"pending_status"));
    EXPECT_TRUE(visible(L"pending_commit_btn"));
    EXPECT_EQ(keyboardModel().profile().LoadLightInfo().red, chosen.red); // saved all the same
    shoot("not-written");

    ASSERT_TRUE(ui().click(L"pending_commit_btn"));
    EXPECT_EQ(window().activeDevice()->pending(), shell::Pending::None);
    EXPECT_FALSE(visible(L"pending_status"));
    EXPECT_EQ(deviceColour(), colour);
}

TEST_F(DevicePagesWindowTest, AFailedReapplyAfterResumeShowsAndTheKeyboardsReturnWritesIt)
{
    openWithKeyboard();
    // The keyboard lost its settings in the sleep and refuses the first request after it.
    keyboard.injectFaults({devsim::Fault::StatusFF});
    platform::sendMessage(window().GetHWND(), WM_POWERBROADCAST, shell::PBT_APMRESUMEAUTOMATIC, 0);
    EXPECT_EQ(window().activeDevice()->pending(), shell::Pending::Unwritten);
    EXPECT_TRUE(visible(L"pending_status"));

    keyboard.unplug(devsim::KeyboardLink::Cable);
    ASSERT_TRUE(ui().waitFor(
        [&] { return !window().activeDevice() || !window().activeDevice()->isOnline(); }, 5s));
    keyboard.plug(devsim::KeyboardLink::Cable);
    ASSERT_TRUE(ui().waitFor(
        [&] {
            return window().activeDevice() && window().activeDevice()->isOnline() &&
                   window().activeDevice()->pending() == shell::Pending::None;
        },
        5s));
    ASSERT_TRUE(ui().waitFor([&] { return !visible(L"pending_status"); }, 5s));
}

TEST_F(DevicePagesWindowTest, WinLockOnTheSystemPageReachesTheKeyboard)
{
    openWithKeyboard();
    ASSERT_TRUE(ui().click(L"system_Op_tab"));
    ui().render();
    shoot("system");
    ASSERT_TRUE(visible(L"winlockflag_option"));
    EXPECT_EQ(settingsByte(kWinLockByte), 0);
    ASSERT_TRUE(ui().click(L"winlockflag_option"));
    EXPECT_EQ(settingsByte(kWinLockByte), 1);
    EXPECT_EQ(keyboardModel().profile().LoadSystemStages().winFlag, 1);
    ASSERT_TRUE(ui().click(L"polling_rate_option_2"));
    EXPECT_EQ(settingsByte(22), 2);
    ASSERT_TRUE(ui().click(L"repeat_delay_check_3"));
    EXPECT_EQ(keyboardModel().profile().LoadSystemStages().repeatDelay, 3);
    CControlUI* label = pm().FindControl(L"repeat_delay_time_label1");
    ASSERT_NE(label, nullptr);
    // The unit reads as on the options: "1000 ms".
    EXPECT_TRUE(std::wstring(label->GetText()).ends_with(L"1000 ms"))
        << std::wstring(label->GetText());
    shoot("system-changed");
    ASSERT_TRUE(ui().click(L"winlockflag_option"));
    EXPECT_EQ(settingsByte(kWinLockByte), 0);
}

// The system page's texts put together in code follow a language switch while it is on show,
// not only when it is shown again.
TEST_F(DevicePagesWindowTest, TheSystemPagesTextsFollowALanguageSwitchAtOnce)
{
    openWithKeyboard();
    ASSERT_TRUE(ui().click(L"system_Op_tab"));
    ASSERT_TRUE(ui().click(L"repeat_delay_check_3"));
    auto* tryField = dynamic_cast<CEditUI*>(pm().FindControl(L"repeat_input_richedit"));
    CControlUI* delay = pm().FindControl(L"repeat_delay_time_label1");
    ASSERT_NE(tryField, nullptr);
    ASSERT_NE(delay, nullptr);
    EXPECT_EQ(std::wstring(tryField->GetTipValue()), L"Hold a key here to try it");

    platform::sendMessage(window().GetHWND(), shell::MSG_LANGUAGE_CHANGED, 1, 0);
    EXPECT_EQ(std::wstring(tryField->GetTipValue()), L"在此按住一个键试试");
    const std::wstring shown(delay->GetText());
    EXPECT_TRUE(shown.starts_with(L"重复延迟：")) << platform::toUtf8(shown);
    EXPECT_TRUE(shown.ends_with(L"1000 毫秒")) << platform::toUtf8(shown);
    ui().render();
    shoot("system-chinese");
}
