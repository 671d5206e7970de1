// The key assignment page in the real main window: keys of the picture clicked through the
// off-screen driver, choices applied and written to the emulated keyboard, and key capture
// through the window's input hook (events injected through the hook's backend seam).
#include "app/main_wnd_fixture.h"

#include "devsim/keyboard.h"
#include "hook/hook_messages.h"
#include "pages/devices/device_key_button_ui.h"
#include "pages/devices/tessary_keyboard_device.h"
#include "pages/find_by_name.h"
#include "pages/key_set_control_ui.h"
#include "pages/page_handlers.h"
#include "platform/text.h"
#include "profile/key_codes.h"
#include "profile/macro_library.h"
#include "shell/main_messages.h"
#include "support/scripted_input_hook.h"
#include "ui/container_ui.h"

#include <array>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr std::uint16_t kEvdevC = 46;
constexpr std::uint16_t kEvdevRightShift = 54;
constexpr std::uint16_t kEvdevVolumeUp = 115;

using ScriptedInput = testing_support::ScriptedInputHook;

std::size_t positionOf(const profile::KeyFunctionCode& code)
{
    const auto table = profile::keyboardPositionTable();
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i] == code)
            return i;
    return table.size();
}

const std::size_t kEsc = positionOf(profile::makeCode(0x20, 0x00, 0x29));
const std::size_t kA = positionOf(profile::makeCode(0x20, 0x00, 0x04));

std::wstring keyName(std::size_t position)
{
    return L"key_" + std::to_wstring(position);
}

class KeySetPageTest : public testing_support::MainWindowTest {
protected:
    void openWithKeyboard()
    {
        inputHook = [this] {
            auto backend = std::make_unique<ScriptedInput>(grabs, windowOnlyCapture);
            input = backend.get();
            return backend;
        };
        ASSERT_TRUE(open());
        keyboard.plug(devsim::KeyboardLink::Cable);
        ASSERT_TRUE(ui().waitFor([&] { return window().activeDevice() != nullptr; }, 5s));
        ASSERT_TRUE(ui().waitFor([&] { return window().IsWindowVisible(); }));
        pages::PageHooks hooks;
        hooks.prompt = [this](const pages::PanelMessage& message, int) -> unsigned {
            prompts.emplace_back(message.textId);
            return 1;
        };
        pages::installPageHandlers(window(), hooks);
        // Keys reach their slots once the device's start has read its key layout.
        ASSERT_TRUE(ui().waitFor(
            [&] {
                const auto& slots = device().keyboard().positionToSlot();
                return slots.size() > kA && slots[kA] != model::kUnmapped;
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
    CKeySetControlUI& page()
    {
        return *static_cast<CKeySetControlUI*>(
            pages::findByName(&device(), L"KeySetControlItem")->GetInterface(L"KeySetControl"));
    }
    // The three bytes the keyboard's key map holds for a key position.
    std::array<std::uint8_t, 3> keyMapEntry(std::size_t position)
    {
        const std::uint8_t slot = device().keyboard().positionToSlot().at(position);
        const devsim::KeyboardMemory memory = keyboard.memory();
        const auto map = memory.area(devsim::Area::KeyMap);
        return {map[3 * slot], map[3 * slot + 1], map[3 * slot + 2]};
    }
    profile::KeyFunctionCode stored(std::size_t position)
    {
        return device().keyboard().keys().at(position).current;
    }
    // The mouse's page has controls of the same names: the one on show counts.
    bool visible(std::wstring_view name)
    {
        CControlUI* control = ui().find(name);
        return control && control->IsVisible();
    }
    bool enabled(std::wstring_view name)
    {
        CControlUI* control = ui().find(name);
        return control && control->IsEnabled();
    }
    std::wstring text(std::wstring_view name)
    {
        CControlUI* control = ui().find(name);
        return control ? std::wstring(control->GetText()) : std::wstring();
    }

    devsim::Keyboard keyboard;
    std::vector<std::wstring> prompts;
    int grabs = 0;
    bool windowOnlyCapture = false;
    ScriptedInput* input = nullptr;
};

} // namespace

TEST_F(KeySetPageTest, CtrlCOnEscReachesTheKeyboardsKeyMap)
{
    openWithKeyboard();
    EXPECT_FALSE(visible(L"keyset_layout"));
    ASSERT_TRUE(ui().click(keyName(kEsc)));
    ui().render();
    ASSERT_TRUE(visible(L"keyset_layout"));
    // Esc still does what its cap says: nothing to write yet.
    EXPECT_FALSE(enabled(L"key_butt_prosave"));
    shoot("keyset-selected");

    // A keyboard has no DPI and no gun key functions.
    EXPECT_FALSE(ui().select(L"keyset_function_combo", 4));
    EXPECT_FALSE(ui().select(L"keyset_function_combo", 10));
    ASSERT_TRUE(ui().select(L"keyset_function_combo", 11));
    ASSERT_TRUE(ui().select(L"keyset_combokey_combo", 4));
    EXPECT_EQ(stored(kEsc), profile::makeCode(0x20, 0x01, 0x06));
    EXPECT_TRUE(enabled(L"key_butt_prosave"));
    // The picture marks the key as reassigned.
    CDeviceKeyButtonUI* esc = device().keyButton(static_cast<int>(kEsc));
    ASSERT_NE(esc, nullptr);
    EXPECT_FALSE(esc->isKeySetImageHidden());
    // Its tooltip names the key, then what it does now: left Ctrl's name joined with C's.
    const std::wstring tooltip(esc->GetToolTip());
    EXPECT_TRUE(tooltip.starts_with(L"Esc")) << tooltip;
    EXPECT_TRUE(tooltip.ends_with(L"Ctrl+C")) << tooltip;
    shoot("keyset-combo");

    ASSERT_TRUE(ui().click(L"key_butt_prosave"));
    EXPECT_EQ(keyMapEntry(kEsc), (std::array<std::uint8_t, 3>{0x20, 0x01, 0x06}));
    EXPECT_FALSE(enabled(L"key_butt_prosave"));
    EXPECT_TRUE(prompts.empty());
    // The profile file holds it too: a fresh read of the profile sees the new code.
    EXPECT_EQ(device().keyboard().profile().LoadKeyList().at(kEsc).current,
              profile::makeCode(0x20, 0x01, 0x06));

    // Selecting the key again shows the choice: Ctrl+C decodes as Ctrl with C.
    ASSERT_TRUE(ui().click(keyName(kA)));
    ASSERT_TRUE(ui().click(keyName(kEsc)));
    EXPECT_EQ(page().SelectedModifier(), 1);
    EXPECT_EQ(text(L"keyset_keyboard_text_edit"), L"C");
}

// The lost-edit journey: a key chosen but not written is marked in the window, and closing
// asks; "Save and write" puts it in the profile file and on the keyboard.
TEST_F(KeySetPageTest, AnUnwrittenKeyIsMarkedAndClosingAsksToWriteIt)
{
    std::vector<std::wstring> asked;
    UINT reply = 0;
    answerPrompt = [&](std::wstring_view id, int) {
        asked.emplace_back(id);
        return reply;
    };
    openWithKeyboard();
    const auto before = keyMapEntry(kEsc);
    ASSERT_TRUE(ui().click(keyName(kEsc)));
    ASSERT_TRUE(ui().select(L"keyset_function_combo", 11));
    ASSERT_TRUE(ui().select(L"keyset_combokey_combo", 4));
    EXPECT_EQ(window().activeDevice()->pending(), shell::Pending::Unsaved);
    EXPECT_TRUE(visible(L"pending_status"));
    shoot("unsaved");

    ASSERT_TRUE(ui().click(L"closebtn")); // cancelled: the window stays, nothing written
    ASSERT_EQ(asked, std::vector<std::wstring>{L"pending_close_question_text"});
    EXPECT_TRUE(window().IsWindowVisible());
    EXPECT_EQ(keyMapEntry(kEsc), before);

    reply = 1;
    ASSERT_TRUE(ui().click(L"closebtn"));
    EXPECT_EQ(keyMapEntry(kEsc), (std::array<std::uint8_t, 3>{0x20, 0x01, 0x06}));
    EXPECT_EQ(device().keyboard().profile().LoadKeyList().at(kEsc).current,
              profile::makeCode(0x20, 0x01, 0x06));
    EXPECT_EQ(window().activeDevice()->pending(), shell::Pending::None);
}

// Choosing "Keyboard key" names a kind, not a function: Esc keeps its function, cap and
// saved state until a key is pressed, and the pressed key is then an edit like any other.
TEST_F(KeySetPageTest, AKindChosenWithoutAKeyIsNoChangeUntilAKeyIsPressed)
{
    openWithKeyboard();
    ASSERT_TRUE(ui().click(keyName(kEsc)));
    CDeviceKeyButtonUI* esc = device().keyButton(static_cast<int>(kEsc));
    ASSERT_NE(esc, nullptr);
    const std::wstring cap(esc->GetText());
    const auto before = stored(kEsc);

    ASSERT_TRUE(ui().select(L"keyset_function_combo", 6));
    EXPECT_EQ(stored(kEsc), before);
    EXPECT_EQ(std::wstring(esc->GetText()), cap);
    EXPECT_TRUE(esc->isKeySetImageHidden());
    EXPECT_EQ(window().activeDevice()->pending(), shell::Pending::None);
    EXPECT_FALSE(visible(L"pending_status"));

    ASSERT_TRUE(ui().click(L"keyset_keyboard_text_edit"));
    input->press(kEvdevC);
    ui().pump();
    EXPECT_EQ(stored(kEsc), profile::makeCode(0x20, 0x00, 0x06));
    EXPECT_EQ(window().activeDevice()->pending(), shell::Pending::Unsaved);
    EXPECT_TRUE(visible(L"pending_status"));
}

TEST_F(KeySetPageTest, MediaMouseButtonAndRestoreDefaultReachTheKeyMap)
{
    openWithKeyboard();
    ASSERT_TRUE(ui().click(keyName(kA)));
    ASSERT_TRUE(ui().select(L"keyset_function_combo", 7));
    ASSERT_TRUE(ui().select(L"keyset_media_combo", 6));
    ASSERT_TRUE(ui().click(L"key_butt_prosave"));
    EXPECT_EQ(keyMapEntry(kA), (std::array<std::uint8_t, 3>{0x30, 0xE9, 0x00}));

    ASSERT_TRUE(ui().select(L"keyset_function_combo", 1));
    ASSERT_TRUE(ui().select(L"keyset_mousekey_combo", 2));
    ASSERT_TRUE(ui().click(L"key_butt_prosave"));
    EXPECT_EQ(keyMapEntry(kA), (std::array<std::uint8_t, 3>{0x10, 0x02, 0x00}));

    // Restore default only shows the factory function; Apply stores it.
    ASSERT_TRUE(ui().click(L"key_butt_keydefalut"));
    EXPECT_EQ(stored(kA), profile::makeCode(0x10, 0x02, 0x00));
    ASSERT_TRUE(ui().click(L"key_butt_keysave"));
    EXPECT_EQ(stored(kA), profile::makeCode(0x20, 0x00, 0x04));
    ASSERT_TRUE(ui().click(L"key_butt_prosave"));
    EXPECT_EQ(keyMapEntry(kA), (std::array<std::uint8_t, 3>{0x20, 0x00, 0x04}));
    EXPECT_TRUE(device().keyButton(static_cast<int>(kA))->isKeySetImageHidden());
}

TEST_F(KeySetPageTest, AMacroWithRepeatModeTwoIsWrittenWithItsBlock)
{
    openWithKeyboard();
    profile::MacroLibrary library(device().keyboard().dataFolder());
    library.Load();
    ASSERT_FALSE(library.NewMacro().empty());
    ASSERT_TRUE(library.SaveMacro(0, {{R"({"Type": 0, "Action": "down", "Button": 4})", L"20"},
                                      {R"({"Type": 0, "Action": "up", "Button": 4})", L"20"}}));

    ASSERT_TRUE(ui().click(keyName(kA)));
    ASSERT_TRUE(ui().select(L"keyset_function_combo", 9));
    ASSERT_TRUE(ui().select(L"keyset_macro_combo", 0));
    ASSERT_TRUE(ui().select(L"keyset_macro_over_combo", 2));
    EXPECT_EQ(stored(kA), profile::makeCode(0x70, 0x00, 0x02));
    EXPECT_FALSE(visible(L"keyset_macro_cycle_layout"));
    shoot("keyset-macro");

    const devsim::KeyboardMemory before = keyboard.memory();
    ASSERT_TRUE(ui().click(L"key_butt_prosave"));
    EXPECT_EQ(keyMapEntry(kA), (std::array<std::uint8_t, 3>{0x70, 0x00, 0x02}));
    const devsim::KeyboardMemory after = keyboard.memory();
    const auto macrosBefore = before.area(devsim::Area::Macros);
    const auto macros = after.area(devsim::Area::Macros);
    EXPECT_FALSE(std::equal(macros.begin(), macros.end(), macrosBefore.begin()));
    EXPECT_TRUE(prompts.empty());

    // The keyboard refuses the macro block: its keys would point at macros it does not
    // hold, so the key map stays as it was, the page says why and the edit stays owed.
    ASSERT_TRUE(ui().select(L"keyset_macro_over_combo", 1));
    EXPECT_EQ(stored(kA), profile::makeCode(0x70, 0x00, 0x01));
    device().keyboard().StopLighting();
    keyboard.injectFaults({devsim::Fault::None, devsim::Fault::None, devsim::Fault::StatusFF});
    ASSERT_TRUE(ui().click(L"key_butt_prosave"));
    keyboard.clearFaults();
    EXPECT_EQ(prompts, std::vector<std::wstring>{L"macros_refused_text"});
    EXPECT_EQ(keyMapEntry(kA), (std::array<std::uint8_t, 3>{0x70, 0x00, 0x02}));
    EXPECT_TRUE(enabled(L"key_butt_prosave"));
    EXPECT_EQ(window().activeDevice()->pending(), shell::Pending::Unwritten);
    // Once the keyboard takes the macros, the keys follow.
    prompts.clear();
    ASSERT_TRUE(ui().click(L"key_butt_prosave"));
    EXPECT_TRUE(prompts.empty());
    EXPECT_EQ(keyMapEntry(kA), (std::array<std::uint8_t, 3>{0x70, 0x00, 0x01}));
    EXPECT_FALSE(enabled(L"key_butt_prosave"));

    // A number of times: the count area shows and the code carries the count.
    ASSERT_TRUE(ui().select(L"keyset_macro_over_combo", 4));
    ui().render();
    EXPECT_TRUE(visible(L"keyset_macro_cycle_layout"));
    ASSERT_TRUE(ui().type(L"keyset_macro_cycle_edit", L"7"));
    ASSERT_TRUE(ui().click(L"key_butt_keysave"));
    EXPECT_EQ(stored(kA), profile::makeCode(0x71, 0x00, 0x07));
}

TEST_F(KeySetPageTest, AFailedKeyMapWriteKeepsTheButtonsEnabled)
{
    openWithKeyboard();
    ASSERT_TRUE(ui().click(keyName(kEsc)));
    ASSERT_TRUE(ui().select(L"keyset_function_combo", 11));
    ASSERT_TRUE(ui().select(L"keyset_combokey_combo", 4));
    // Nothing else may talk to the device while the fault waits for the write.
    device().keyboard().StopLighting();
    // No macros: the key map's ReadInfo and Begin go first, then its first chunk fails.
    keyboard.injectFaults({devsim::Fault::None, devsim::Fault::None, devsim::Fault::StatusFF});
    ASSERT_TRUE(ui().click(L"key_butt_prosave"));
    keyboard.clearFaults();
    EXPECT_TRUE(enabled(L"key_butt_prosave"));
    EXPECT_TRUE(enabled(L"key_butt_keysave"));

    // Trying again once the device answers writes the map and leaves the page clean.
    ASSERT_TRUE(ui().click(L"key_butt_prosave"));
    EXPECT_EQ(keyMapEntry(kEsc), (std::array<std::uint8_t, 3>{0x20, 0x01, 0x06}));
    EXPECT_FALSE(enabled(L"key_butt_prosave"));
}

TEST_F(KeySetPageTest, AButtonPastAShortKeyListLeavesThePageHidden)
{
    openWithKeyboard();
    // A profile file's key list may be shorter than the picture.
    auto keys = device().keyboard().keys();
    ASSERT_GT(keys.size(), kA);
    keys.resize(kA);
    device().keyboard().setKeys(keys);
    ASSERT_TRUE(ui().click(keyName(kEsc)));
    ui().render();
    EXPECT_TRUE(visible(L"keyset_layout"));
    ASSERT_TRUE(ui().click(keyName(kA)));
    ui().render();
    EXPECT_FALSE(visible(L"keyset_layout"));
    EXPECT_EQ(device().keyboard().keys().size(), kA);
    EXPECT_EQ(stored(kEsc), profile::makeCode(0x20, 0x00, 0x29));
}

TEST_F(KeySetPageTest, KeyCaptureTakesKeysOnlyThroughItsOwnHook)
{
    openWithKeyboard();
    ASSERT_TRUE(ui().click(keyName(kEsc)));
    ASSERT_TRUE(ui().select(L"keyset_function_combo", 6));
    ASSERT_TRUE(ui().click(L"key_ComBox_check_1")); // Ctrl
    ASSERT_TRUE(ui().click(L"keyset_keyboard_text_edit"));
    ASSERT_TRUE(window().isHookInstalled());
    EXPECT_EQ(window().hookMode(), hook::kModeKeyCapture);
    EXPECT_EQ(grabs, 1);

    input->press(kEvdevC);
    ui().pump();
    EXPECT_EQ(stored(kEsc), profile::makeCode(0x20, 0x01, 0x06));
    EXPECT_EQ(text(L"keyset_keyboard_text_edit"), L"C");

    // A modifier alone: right Shift selects the Shift option and ends as left Shift.
    input->press(kEvdevRightShift);
    ui().pump();
    EXPECT_EQ(page().SelectedModifier(), 2);
    EXPECT_EQ(stored(kEsc), profile::makeCode(0x20, 0x02, 0x00));

    // A media key is not a key the capture takes.
    input->press(kEvdevVolumeUp);
    ui().pump();
    EXPECT_EQ(stored(kEsc), profile::makeCode(0x20, 0x02, 0x00));

    // Anyone may send the hook's message; a pointer our hook is not delivering is never read.
    hook::HookKeyboardEvent forged;
    forged.scanCode = 0x1E; // A
    platform::sendMessage(window().GetHWND(), hook::hookMessages().keySingleKey, WM_KEYDOWN,
                          reinterpret_cast<LPARAM>(&forged));
    platform::sendMessage(window().GetHWND(), hook::hookMessages().keySingleKey, WM_KEYDOWN, 0x10);
    EXPECT_EQ(stored(kEsc), profile::makeCode(0x20, 0x02, 0x00));

    // Leaving the edit ends the capture and gives the keyboard back.
    pm().SetFocus(nullptr);
    ui().pump();
    EXPECT_FALSE(window().isHookInstalled());
    EXPECT_EQ(grabs, 0);
    shoot("keyset-capture");
}

TEST_F(KeySetPageTest, TheHookIsReleasedOnFocusLossTileRemovalAndClose)
{
    openWithKeyboard();
    ASSERT_TRUE(ui().click(keyName(kEsc)));
    ASSERT_TRUE(ui().select(L"keyset_function_combo", 6));
    auto capture = [&] {
        pm().SetFocus(nullptr);
        return ui().click(L"keyset_keyboard_text_edit") && window().isHookInstalled();
    };

    ASSERT_TRUE(capture());
    platform::sendMessage(window().GetHWND(), WM_ACTIVATE, 0, 0);
    EXPECT_FALSE(window().isHookInstalled());
    EXPECT_EQ(grabs, 0);
    platform::sendMessage(window().GetHWND(), WM_ACTIVATE, 1, 0);

    ASSERT_TRUE(capture());
    keyboard.unplug(devsim::KeyboardLink::Cable);
    ASSERT_TRUE(ui().waitFor([&] { return !window().isHookInstalled(); }, 5s));
    EXPECT_EQ(grabs, 0);
    keyboard.plug(devsim::KeyboardLink::Cable);
    ASSERT_TRUE(ui().waitFor([&] { return window().activeDevice() != nullptr; }, 5s));
    ui().render();

    ASSERT_TRUE(ui().click(keyName(kEsc)));
    ASSERT_TRUE(ui().select(L"keyset_function_combo", 6));
    ASSERT_TRUE(capture());
    EXPECT_EQ(grabs, 1);
    close();
    EXPECT_EQ(grabs, 0);
}

TEST_F(KeySetPageTest, ACaptureLimitedToTheWindowSaysSo)
{
    windowOnlyCapture = true;
    openWithKeyboard();
    ASSERT_TRUE(ui().click(keyName(kEsc)));
    ASSERT_TRUE(ui().select(L"keyset_function_combo", 6));
    CControlUI* hint = ui().find(L"keyset_capture_hint_label");
    ASSERT_NE(hint, nullptr);
    EXPECT_EQ(std::wstring(hint->GetTextId()), L"keyset_capture_hint_text");
    ASSERT_TRUE(ui().click(L"keyset_keyboard_text_edit"));
    ASSERT_TRUE(window().isHookInstalled());
    EXPECT_EQ(std::wstring(hint->GetTextId()), L"keyset_capture_focus_text");
}

// The edited key stands out from reassigned ones and is named in the panel; after a profile
// switch the page shows what the new profile gives the key, not the old one's choice.
TEST_F(KeySetPageTest, TheEditedKeyIsMarkedNamedAndFollowsAProfileSwitch)
{
    openWithKeyboard();
    ASSERT_TRUE(ui().click(keyName(kEsc)));
    ASSERT_TRUE(ui().select(L"keyset_function_combo", 11));
    ASSERT_TRUE(ui().select(L"keyset_combokey_combo", 4));
    ASSERT_TRUE(ui().click(L"key_butt_prosave"));
    CDeviceKeyButtonUI* esc = device().keyButton(static_cast<int>(kEsc));
    CDeviceKeyButtonUI* a = device().keyButton(static_cast<int>(kA));
    ASSERT_TRUE(esc && a);
    EXPECT_TRUE(esc->isEditing());
    EXPECT_EQ(esc->remapLabel(), L"Ctrl+C");
    EXPECT_EQ(std::wstring(esc->GetText()), L"Ctrl+C") << "the cap says what the key does now";
    EXPECT_EQ(text(L"keyset_key_name_label"), L"Function of Esc");
    EXPECT_EQ(std::wstring(a->GetToolTip()), L"A — unchanged");

    ASSERT_TRUE(ui().click(keyName(kA)));
    EXPECT_FALSE(esc->isEditing());
    EXPECT_TRUE(a->isEditing());
    EXPECT_FALSE(esc->isKeySetImageHidden()) << "the reassigned mark stays";
    ASSERT_TRUE(ui().click(keyName(kEsc)));
    shoot("keyset-editing");
    // The mark shows only while the key page does.
    ASSERT_TRUE(ui().click(L"deng_Op_tab"));
    EXPECT_FALSE(esc->isEditing());
    ASSERT_TRUE(ui().click(L"key_Op_tab"));
    EXPECT_TRUE(esc->isEditing());

    // A new profile, then a switch to it: Esc is Esc there.
    ASSERT_TRUE(ui().click(L"profile_fun_spread_btn"));
    ASSERT_TRUE(ui().click(L"device_add_btn"));
    ASSERT_TRUE(ui().click(L"profile_fun_spread_btn"));
    ASSERT_TRUE(ui().select(L"device_profile_combo", 1));
    ASSERT_TRUE(ui().waitFor([&] { return stored(kEsc).p1 == 0x00; }, 3s));
    ui().pump();
    EXPECT_EQ(page().model()->current(), profile::makeCode(0x20, 0x00, 0x29))
        << "the page shows Esc's own function";
    EXPECT_FALSE(enabled(L"key_butt_prosave"));
    EXPECT_EQ(std::wstring(esc->GetText()), L"Esc");
    EXPECT_TRUE(esc->isKeySetImageHidden());
    EXPECT_EQ(std::wstring(esc->GetToolTip()), L"Esc — unchanged");
}

TEST_F(KeySetPageTest, TheEditedKeysCaptionFollowsALanguageSwitchAtOnce)
{
    openWithKeyboard();
    ASSERT_TRUE(ui().click(keyName(kEsc)));
    ASSERT_TRUE(text(L"keyset_key_name_label").starts_with(L"Function of "))
        << platform::toUtf8(text(L"keyset_key_name_label"));
    platform::sendMessage(window().GetHWND(), shell::MSG_LANGUAGE_CHANGED, 1, 0);
    const std::wstring caption = text(L"keyset_key_name_label");
    EXPECT_TRUE(caption.ends_with(L"的功能")) << platform::toUtf8(caption);
    EXPECT_EQ(window().activeDevice()->pending(), shell::Pending::None) << "no edit from a refresh";
}

TEST_F(KeySetPageTest, EveryCategorysControlsLieWhollyOnThePageAtTheWindowsOwnSize)
{
    openWithKeyboard();
    // At the size the window opens at (1000 x 640 at its scale), where the page has the
    // least room.
    ASSERT_TRUE(ui().click(keyName(kA)));
    auto* tabs = static_cast<CTabLayoutUI*>(
        pages::findByName(&device(), L"function_switch_tablayout")->GetInterface(L"TabLayout"));
    ASSERT_NE(tabs, nullptr);
    // The categories a keyboard offers.
    for (const int category : {0, 1, 2, 3, 5, 6, 7, 8, 9, 11}) {
        ASSERT_TRUE(ui().select(L"keyset_function_combo", category)) << category;
        ui().render();
        ASSERT_EQ(tabs->GetCurSel(), category);
        const RECT area = tabs->GetPos();
        std::function<void(CControlUI*)> check = [&](CControlUI* control) {
            if (!control->IsVisible())
                return;
            const RECT rc = control->GetPos();
            if (rc.right > rc.left) {
                EXPECT_GE(rc.left, area.left)
                    << category << " " << platform::toUtf8(control->GetName());
                EXPECT_LE(rc.right, area.right)
                    << category << " " << platform::toUtf8(control->GetName());
            }
            if (auto* container = static_cast<CContainerUI*>(control->GetInterface(L"Container")))
                for (int i = 0; i < container->GetCount(); ++i)
                    check(container->GetItemAt(i));
        };
        check(tabs->GetItemAt(category));
    }
}
