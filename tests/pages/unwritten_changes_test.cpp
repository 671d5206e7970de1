// Changes the keyboard does not take, in the real main window with the emulated keyboard:
// a refusal or an unplug during a lighting change, a key map write and a macro write. The
// page says the change is not written, the profile keeps it, and the window's retry or the
// keyboard's return writes it. Leaving the shown profile with such a change asks first.
#include "app/main_wnd_fixture.h"

#include "app/device_option_ui.h"

#include "device/protocol/sequences.h"
#include "devsim/faults.h"
#include "devsim/keyboard.h"
#include "devsim/mouse.h"
#include "pages/device_profile_ui.h"
#include "pages/devices/tessary_keyboard_device.h"
#include "pages/find_by_name.h"
#include "pages/page_handlers.h"
#include "profile/key_codes.h"
#include "profile/keyboard_profile_data.h"
#include "profile/macro_library.h"
#include "ui/combo_ui.h"
#include "ui/list_ui.h"
#include "ui/menu_wnd.h"

#include <array>
#include <chrono>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr UINT kCancel = 0;
constexpr UINT kSaveAndWrite = 1;
constexpr UINT kDiscard = 2;

class UnwrittenChangesTest : public testing_support::MainWindowTest {
protected:
    void openWithKeyboard()
    {
        answerPrompt = [this](std::wstring_view id, int) {
            windowPrompts.emplace_back(id);
            return windowAnswer;
        };
        ASSERT_TRUE(open());
        keyboard.plug(devsim::KeyboardLink::Cable);
        ASSERT_TRUE(ui().waitFor([&] { return window().activeDevice() != nullptr; }, 5s));
        ASSERT_TRUE(ui().waitFor([&] { return window().IsWindowVisible(); }));
        pages::PageHooks hooks;
        hooks.prompt = [this](const pages::PanelMessage& message, int) -> unsigned {
            pagePrompts.emplace_back(message.textId);
            return 1;
        };
        pages::installPageHandlers(window(), hooks);
        // Keys and macros reach the keyboard once its start has read the layout and memory.
        ASSERT_TRUE(ui().waitFor(
            [&] {
                const auto& slots = keyboardModel().positionToSlot();
                return slots.size() > kKey && slots[kKey] != model::kUnmapped &&
                       keyboardModel().info()[protocol::kInfoMacroUnits] != 0;
            },
            5s));
        window().ResizeClient(1500, 960);
        ui().pump();
        ui().render();
    }

    CTessaryKeyboardDevice& device()
    {
        return *static_cast<CTessaryKeyboardDevice*>(
            window().activeDevice()->page()->GetInterface(L"TessaryKeyboardDevice"));
    }
    model::KeyboardModel& keyboardModel() { return device().keyboard(); }
    shell::Pending pending() { return window().activeDevice()->pending(); }
    bool online() { return window().activeDevice() && window().activeDevice()->isOnline(); }
    // The profile as its file holds it, read apart from the window.
    profile::LightInfo storedLight()
    {
        profile::CKeyboardProfiledata data;
        data.LoadProfileFile(keyboardModel().GetProfilePath());
        return data.LoadLightInfo();
    }
    profile::KeyFunctionCode storedKey(std::size_t position)
    {
        profile::CKeyboardProfiledata data;
        data.LoadProfileFile(keyboardModel().GetProfilePath());
        return data.LoadKeyList().at(position).current;
    }
    std::array<std::uint8_t, 3> keyMapEntry(std::size_t position)
    {
        const std::uint8_t slot = keyboardModel().positionToSlot().at(position);
        const devsim::KeyboardMemory memory = keyboard.memory();
        const auto map = memory.area(devsim::Area::KeyMap);
        return {map[3 * slot], map[3 * slot + 1], map[3 * slot + 2]};
    }
    std::array<std::uint8_t, 3> deviceColour()
    {
        const devsim::KeyboardMemory memory = keyboard.memory();
        const auto settings = memory.area(devsim::Area::Settings);
        return {settings[6], settings[7], settings[8]};
    }
    std::wstring pendingText()
    {
        CControlUI* label = pm().FindControl(L"pending_status");
        return label && label->IsVisible() ? std::wstring(label->GetText()) : std::wstring();
    }
    // Unplugs the keyboard (if a fault has not already), waits until the window knows,
    // then plugs it back and waits for its start.
    void replug()
    {
        keyboard.unplug(devsim::KeyboardLink::Cable);
        ASSERT_TRUE(ui().waitFor([&] { return !online(); }, 5s));
        EXPECT_FALSE(pendingText().empty()); // the kept change is still shown
        keyboard.plug(devsim::KeyboardLink::Cable);
        ASSERT_TRUE(
            ui().waitFor([&] { return online() && pending() == shell::Pending::None; }, 10s));
    }
    // Esc → Ctrl+A on the key page, kept in memory only (Apply).
    void editKeyInMemory()
    {
        ASSERT_TRUE(ui().click(L"key_" + std::to_wstring(kKey)));
        ASSERT_TRUE(ui().select(L"keyset_function_combo", 11));
        ASSERT_TRUE(ui().select(L"keyset_combokey_combo", 4));
    }
    bool clickIn(std::wstring_view name)
    {
        ui().render();
        CControlUI* control = pages::findByName(window().activeDevice()->page(), name);
        if (!control || !control->IsVisible() || !control->IsEnabled())
            return false;
        const RECT rc = control->GetPos();
        return ui().clickAt(POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2});
    }
    std::wstring textIn(std::wstring_view name)
    {
        CControlUI* control = pages::findByName(window().activeDevice()->page(), name);
        return control ? std::wstring(control->GetText()) : L"<missing>";
    }

    static inline const std::size_t kKey = [] {
        const auto table = profile::keyboardPositionTable();
        for (std::size_t i = 0; i < table.size(); ++i)
            if (table[i] == profile::makeCode(0x20, 0x00, 0x29))
                return i;
        return std::size_t{0};
    }();
    static inline const std::array<std::uint8_t, 3> kCtrlA{0x20, 0x01, 0x06};

    devsim::Keyboard keyboard;
    std::vector<std::wstring> windowPrompts;
    std::vector<std::wstring> pagePrompts;
    UINT windowAnswer = kCancel;
};

} // namespace

TEST_F(UnwrittenChangesTest, ALightingChangeCutShortByAnUnplugIsWrittenWhenTheKeyboardIsBack)
{
    openWithKeyboard();
    keyboard.injectFaults({devsim::Fault::UnplugBeforeReply});
    ASSERT_TRUE(ui().click(L"color_option_4"));
    const profile::LightInfo chosen = keyboardModel().GetLightSettings();
    EXPECT_EQ(pending(), shell::Pending::Unwritten);
    EXPECT_EQ(storedLight().red, chosen.red);
    EXPECT_EQ(storedLight().blue, chosen.blue);
    ASSERT_NO_FATAL_FAILURE(replug());
    EXPECT_EQ(deviceColour(), (std::array<std::uint8_t, 3>{chosen.red, chosen.green, chosen.blue}));
}

TEST_F(UnwrittenChangesTest, AKeyMapWriteRefusedThenCutShortIsKeptAndWrittenOnRetryAndReturn)
{
    openWithKeyboard();
    const auto before = keyMapEntry(kKey);
    ASSERT_NO_FATAL_FAILURE(editKeyInMemory());
    keyboard.injectFaults({devsim::Fault::StatusFF, devsim::Fault::StatusFF,
                           devsim::Fault::StatusFF, devsim::Fault::StatusFF});
    ASSERT_TRUE(ui().click(L"key_butt_prosave"));
    keyboard.clearFaults();
    ASSERT_FALSE(pagePrompts.empty());
    EXPECT_EQ(pagePrompts.back(), L"change_not_written_refused_text");
    EXPECT_EQ(keyMapEntry(kKey), before);
    EXPECT_EQ(pending(), shell::Pending::Unwritten);
    EXPECT_EQ(pendingText(), L"● Not written to the device");
    EXPECT_EQ(storedKey(kKey), profile::makeCode(0x20, 0x01, 0x06));

    // The window's retry, cut short by an unplug: still kept, written on the return.
    keyboard.injectFaults({devsim::Fault::UnplugMidWrite});
    ASSERT_TRUE(ui().click(L"pending_commit_btn"));
    EXPECT_NE(pending(), shell::Pending::None);
    ASSERT_FALSE(windowPrompts.empty()); // the retry says why it fell short
    EXPECT_EQ(windowPrompts.back(), L"change_not_written_gone_text");
    ASSERT_NO_FATAL_FAILURE(replug());
    EXPECT_EQ(keyMapEntry(kKey), kCtrlA);
}

TEST_F(UnwrittenChangesTest, AMacroWriteRefusedSaysNotWrittenAndTheRetryWritesIt)
{
    openWithKeyboard();
    profile::MacroLibrary library(keyboardModel().dataFolder());
    library.Load();
    ASSERT_FALSE(library.NewMacro().empty());
    ASSERT_TRUE(library.SaveMacro(0, {{R"({"Type": 10, "Action": "down", "Button": 4})", L"20"},
                                      {R"({"Type": 10, "Action": "up", "Button": 4})", L"0"}}));
    auto keys = keyboardModel().keys();
    keys[kKey].current = profile::makeCode(0x70, 0, 1);
    keyboardModel().setKeys(keys);
    keyboardModel().profile().StoreKeyList(keys);
    ASSERT_EQ(keyboardModel().CommitProfile(), model::ProfileResult::Ok);
    ASSERT_TRUE(clickIn(L"macro_Op_tab"));
    ui().pump();
    // Apply acts only with a macro chosen, as a click on its row chooses it.
    auto* names = dynamic_cast<CListUI*>(
        pages::findByName(window().activeDevice()->page(), L"macro_name_list"));
    ASSERT_NE(names, nullptr);
    ASSERT_TRUE(names->SelectItem(0, false, true));
    ui().pump();

    // Nothing else may talk to the keyboard while the faults wait for the macro block.
    keyboardModel().StopLighting();
    const auto keyMapBefore = keyMapEntry(kKey);
    keyboard.injectFault(devsim::Fault::StatusFF); // the macro write's ReadInfo
    ASSERT_TRUE(clickIn(L"macro_btn_save"));
    keyboard.clearFaults();
    EXPECT_EQ(textIn(L"macro_status_label"), L"Not written to the keyboard");
    EXPECT_EQ(pagePrompts, std::vector<std::wstring>{L"macros_refused_text"});
    // The keys must not point at macros the keyboard refused.
    EXPECT_EQ(keyMapEntry(kKey), keyMapBefore);
    EXPECT_EQ(pending(), shell::Pending::Unwritten);
    EXPECT_FALSE(protocol::parseMacroBlock(keyboard.memory().area(devsim::Area::Macros)) &&
                 !protocol::parseMacroBlock(keyboard.memory().area(devsim::Area::Macros))->empty());

    ASSERT_TRUE(ui().click(L"pending_commit_btn"));
    EXPECT_EQ(pending(), shell::Pending::None);
    const devsim::KeyboardMemory memory = keyboard.memory();
    const auto block = protocol::parseMacroBlock(memory.area(devsim::Area::Macros));
    ASSERT_TRUE(block);
    ASSERT_EQ(block->size(), 1u);
    EXPECT_EQ(keyMapEntry(kKey)[0], 0x70);
}

// An edit kept only in memory must survive the keyboard going away: its return writes the
// edit, and reading the profile file over it would lose it.
TEST_F(UnwrittenChangesTest, AnUnsavedKeyEditSurvivesAnUnplugAndIsWrittenOnReturn)
{
    openWithKeyboard();
    ASSERT_NO_FATAL_FAILURE(editKeyInMemory());
    ASSERT_EQ(pending(), shell::Pending::Unsaved);
    keyboard.unplug(devsim::KeyboardLink::Cable);
    ASSERT_TRUE(ui().waitFor([&] { return !online(); }, 5s));
    EXPECT_EQ(pendingText(), L"● Unplugged: change kept");
    shoot("unplugged");
    keyboard.plug(devsim::KeyboardLink::Cable);
    ASSERT_TRUE(ui().waitFor([&] { return online() && keyMapEntry(kKey) == kCtrlA; }, 10s));
    // Written, still unsaved: the file is not changed behind the user's back.
    EXPECT_EQ(pending(), shell::Pending::Unsaved);
    EXPECT_EQ(keyboardModel().keys().at(kKey).current, profile::makeCode(0x20, 0x01, 0x06));
    ASSERT_TRUE(ui().click(L"pending_commit_btn"));
    EXPECT_EQ(pending(), shell::Pending::None);
    EXPECT_EQ(storedKey(kKey), profile::makeCode(0x20, 0x01, 0x06));
}

// Switching profile with a pending edit asks: cancel keeps the profile and the edit, save
// keeps the edit in its own profile's file, discard drops it.
TEST_F(UnwrittenChangesTest, SwitchingProfileWithAPendingEditAsksFirst)
{
    openWithKeyboard();
    CDeviceProfileUI* panel = pages::profilePanelOf(window().activeDevice());
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(ui().click(L"profile_fun_spread_btn"));
    ASSERT_TRUE(ui().click(L"device_add_btn"));
    ASSERT_TRUE(ui().click(L"profile_fun_spread_btn"));
    const std::wstring first = panel->GetCurrentProfileId();
    ASSERT_NO_FATAL_FAILURE(editKeyInMemory());
    auto switchTo = [&](int index) {
        ASSERT_TRUE(ui().select(L"device_profile_combo", index));
        // The switch runs once the choice settles.
        ui().waitFor([&] { return false; }, 2 * pages::ProfilePanelModel::kSwitchDelay);
    };

    windowAnswer = kCancel;
    ASSERT_NO_FATAL_FAILURE(switchTo(1));
    ASSERT_EQ(windowPrompts, std::vector<std::wstring>{L"pending_close_question_text"});
    EXPECT_EQ(panel->GetCurrentProfileId(), first);
    EXPECT_EQ(keyboardModel().profileBaseName(), first);
    EXPECT_EQ(panel->GetSelectedIndex(), panel->model()->selectedIndex());
    EXPECT_EQ(pending(), shell::Pending::Unsaved);

    windowAnswer = kSaveAndWrite;
    ASSERT_NO_FATAL_FAILURE(switchTo(1));
    ASSERT_TRUE(ui().waitFor([&] { return keyboardModel().profileBaseName() != first; }, 3s));
    EXPECT_EQ(pending(), shell::Pending::None);
    // The edit went into the first profile's file, and the new profile is untouched.
    EXPECT_NE(keyboardModel().keys().at(kKey).current, profile::makeCode(0x20, 0x01, 0x06));
    ASSERT_NO_FATAL_FAILURE(switchTo(0));
    ASSERT_TRUE(ui().waitFor([&] { return keyboardModel().profileBaseName() == first; }, 3s));
    EXPECT_EQ(keyboardModel().keys().at(kKey).current, profile::makeCode(0x20, 0x01, 0x06));
    EXPECT_EQ(keyMapEntry(kKey), kCtrlA);

    // Discarded: the edit is gone from memory, and the next profile is shown.
    ASSERT_TRUE(ui().click(L"key_" + std::to_wstring(kKey)));
    ASSERT_TRUE(ui().select(L"keyset_function_combo", 11));
    ASSERT_TRUE(ui().select(L"keyset_combokey_combo", 5));
    ASSERT_EQ(pending(), shell::Pending::Unsaved);
    windowAnswer = kDiscard;
    ASSERT_NO_FATAL_FAILURE(switchTo(1));
    ASSERT_TRUE(ui().waitFor([&] { return keyboardModel().profileBaseName() != first; }, 3s));
    EXPECT_EQ(pending(), shell::Pending::None);
    ASSERT_NO_FATAL_FAILURE(switchTo(0));
    ASSERT_TRUE(ui().waitFor([&] { return keyboardModel().profileBaseName() == first; }, 3s));
    EXPECT_EQ(keyboardModel().keys().at(kKey).current, profile::makeCode(0x20, 0x01, 0x06));
}

// Showing another device with a pending edit asks the same: cancel keeps the keyboard shown
// with its edit, discard drops the edit and shows the mouse.
TEST_F(UnwrittenChangesTest, SwitchingDeviceWithAPendingEditAsksFirst)
{
    openWithKeyboard();
    shell::ShellDevice* keyboardShell = window().activeDevice();
    model::KeyboardModel& keyboardOnly = keyboardModel();
    devsim::Mouse mouse;
    mouse.plug(devsim::KeyboardLink::Cable);
    std::size_t keyboardTile = 0;
    std::size_t mouseTile = 0;
    for (std::size_t i = 0; i < window().deviceCount(); ++i) {
        if (window().deviceAt(i) == keyboardShell)
            keyboardTile = i;
        else
            mouseTile = i;
    }
    ASSERT_TRUE(ui().waitFor(
        [&] { return window().deviceAt(mouseTile) && window().deviceAt(mouseTile)->isOnline(); },
        5s));
    if (window().activeDevice() != keyboardShell) {
        ASSERT_TRUE(
            ui().click(keyboardTile < mouseTile ? L"device_select_prev" : L"device_select_next"));
    }
    ASSERT_EQ(window().activeDevice(), keyboardShell);
    ui().render();
    ASSERT_NO_FATAL_FAILURE(editKeyInMemory());
    const wchar_t* toMouse =
        mouseTile > keyboardTile ? L"device_select_next" : L"device_select_prev";

    windowAnswer = kCancel;
    ASSERT_TRUE(ui().click(toMouse));
    ASSERT_EQ(windowPrompts, std::vector<std::wstring>{L"pending_close_question_text"});
    EXPECT_EQ(window().activeDevice(), keyboardShell);
    EXPECT_TRUE(window().tileControl(keyboardTile)->IsChosen());
    EXPECT_EQ(keyboardShell->pending(), shell::Pending::Unsaved);

    windowAnswer = kDiscard;
    ASSERT_TRUE(ui().click(toMouse));
    EXPECT_EQ(window().activeDevice(), window().deviceAt(mouseTile));
    EXPECT_EQ(keyboardShell->pending(), shell::Pending::None);
    EXPECT_EQ(keyboardOnly.keys().at(kKey).current, profile::makeCode(0x20, 0x00, 0x29));
}

// The tray's Exit asks as the close does: cancel keeps the program and the edit; save and
// write stores the edit before the program ends.
TEST_F(UnwrittenChangesTest, TheTraysExitAsksAboutAPendingEdit)
{
    openWithKeyboard();
    ASSERT_NO_FATAL_FAILURE(editKeyInMemory());
    const std::filesystem::path file = keyboardModel().GetProfilePath();
    auto storedInFile = [&] {
        profile::CKeyboardProfiledata data;
        data.LoadProfileFile(file);
        return data.LoadKeyList().at(kKey).current;
    };

    windowAnswer = kCancel;
    ASSERT_TRUE(ui::postMenuCommand(window().GetHWND(), L"exit"));
    ui().pump();
    ASSERT_EQ(windowPrompts, std::vector<std::wstring>{L"pending_close_question_text"});
    EXPECT_TRUE(window().IsWindowVisible());
    EXPECT_EQ(pending(), shell::Pending::Unsaved);
    EXPECT_EQ(storedInFile(), profile::makeCode(0x20, 0x00, 0x29));

    windowAnswer = kSaveAndWrite;
    ASSERT_TRUE(ui::postMenuCommand(window().GetHWND(), L"exit"));
    ui().pump();
    EXPECT_EQ(windowPrompts.size(), 2u);
    EXPECT_EQ(storedInFile(), profile::makeCode(0x20, 0x01, 0x06));
}

// The keyboard asks to be read again after a change made on it; the settings it holds go into
// the profile file. When the file cannot take them the window says "Changes not saved", and
// its save button keeps them once the file can be written again.
TEST_F(UnwrittenChangesTest, SettingsReadFromTheKeyboardThatCannotBeSavedAreShownUnsaved)
{
    openWithKeyboard();
    ASSERT_EQ(pending(), shell::Pending::None);
    // A folder where the file was: no save can replace it, whoever runs the test.
    const std::filesystem::path file = keyboardModel().GetProfilePath();
    const std::filesystem::path kept = file.string() + ".kept";
    std::filesystem::rename(file, kept);
    std::filesystem::create_directory(file);
    keyboard.setArea(devsim::Area::Settings, 6, std::array<std::uint8_t, 1>{0x42});
    ASSERT_TRUE(keyboard.sendConsumerUsage(devsim::kUsageSync));
    ASSERT_TRUE(ui().waitFor([&] { return keyboardModel().GetLightSettings().red == 0x42; }, 5s));
    ASSERT_TRUE(ui().waitFor([&] { return !pendingText().empty(); }, 5s));
    EXPECT_EQ(pending(), shell::Pending::Unsaved);
    EXPECT_EQ(pendingText(), L"● Changes not saved");

    std::filesystem::remove(file);
    std::filesystem::rename(kept, file);
    ASSERT_TRUE(ui().click(L"pending_commit_btn"));
    EXPECT_EQ(pending(), shell::Pending::None);
    EXPECT_TRUE(windowPrompts.empty());
    EXPECT_EQ(storedLight().red, 0x42);
}
