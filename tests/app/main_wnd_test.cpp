#include "main_wnd_fixture.h"
#include "ui/test_window.h"

#include "app/device_option_ui.h"
#include "app/msg_wnd.h"
#include "app/simulation_hook.h"
#include "device/usb_ids.h"
#include "devsim/keyboard.h"
#include "platform/event.h"
#include "platform/paths.h"
#include "platform/settings_store.h"
#include "platform/text.h"
#include "shell/main_messages.h"
#include "ui/button_ui.h"
#include "ui/container_ui.h"

#include <pugixml.hpp>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>

using namespace std::chrono_literals;
using testing_support::MainWindowTest;

namespace {

std::map<std::wstring, std::wstring> languageTexts(const char* file)
{
    std::map<std::wstring, std::wstring> texts;
    pugi::xml_document doc;
    const auto path = std::filesystem::path(HALVEK_SOURCE_DIR) / "data/skin" / file;
    if (!doc.load_file(path.c_str()))
        return texts;
    for (const auto& text : doc.child("Language").children("Text"))
        texts[platform::fromUtf8(text.attribute("id").value())] =
            platform::fromUtf8(text.attribute("value").value());
    return texts;
}

void forEachControl(CControlUI* control, const std::function<void(CControlUI&)>& visit)
{
    if (!control)
        return;
    visit(*control);
    if (auto* container = static_cast<CContainerUI*>(control->GetInterface(L"Container"))) {
        for (int i = 0; i < container->GetCount(); ++i)
            forEachControl(container->GetItemAt(i), visit);
    }
}

// A source with one keyboard command interface whose probe waits until released.
class HeldSource final : public detect::InterfaceSource {
public:
    std::optional<std::vector<std::wstring>> enumerate() override
    {
        return std::vector<std::wstring>{L"held:vid_36b0&pid_5078&mi_01&col04"};
    }
    std::optional<Probe> probe(const std::wstring&) override
    {
        go.wait();
        probed.set();
        return Probe{usb::kHalvekVendorId, usb::kKeyboardCableProductId, 0xFF1C, 0x92};
    }
    bool isPresent(const std::wstring&) override { return true; }

    platform::Event go{platform::Event::ResetPolicy::Manual};
    platform::Event probed{platform::Event::ResetPolicy::Manual};
};

} // namespace

TEST_F(MainWindowTest, StartsWithTheMouseAndKeyboardHiddenAndTheNoDeviceNotice)
{
    ASSERT_TRUE(open(true, nullptr, false));
    ASSERT_EQ(window().deviceCount(), 2u);
    EXPECT_EQ(window().deviceAt(0)->typeId(), detect::DeviceTypeId::MouseCable);
    EXPECT_EQ(window().deviceAt(1)->typeId(), detect::DeviceTypeId::KeyboardCable);
    EXPECT_EQ(window().activeDevice(), nullptr);
    EXPECT_TRUE(visible(L"No_device_Link"));
    EXPECT_FALSE(window().tileControl(0)->IsVisible());
    EXPECT_FALSE(window().tileControl(1)->IsVisible());
    // A run against real devices offers the emulated keyboard as another run.
    EXPECT_TRUE(visible(L"no_device_command"));
    EXPECT_FALSE(visible(L"nodevice_plug_btn"));
}

TEST_F(MainWindowTest, TheNoDevicePageOfAnEmulatedRunPlugsTheEmulatedKeyboardIn)
{
    simulated = true;
    std::vector<std::pair<ui::script::SimAction, ui::script::SimLink>> asked;
    bool plugs = false;
    app::setSimulationHandler([&](ui::script::SimAction action, ui::script::SimLink link) {
        asked.emplace_back(action, link);
        return plugs;
    });
    std::vector<std::wstring> prompts;
    answerPrompt = [&](std::wstring_view textId, int) -> UINT {
        prompts.emplace_back(textId);
        return 1;
    };
    ASSERT_TRUE(open(true, nullptr, false));
    ui().render();
    // Not "start halvek --simulate" to a program started so: what this run can do.
    EXPECT_FALSE(visible(L"no_device_command"));
    ASSERT_TRUE(visible(L"nodevice_plug_btn"));
    EXPECT_EQ(std::wstring(pm().FindControl(L"no_device_try")->GetText()),
              std::wstring(CResourceManager::GetInstance()->GetText(L"try_plug_emulated_text")));
    // A refused plug is said, not silent.
    ASSERT_TRUE(ui().click(L"nodevice_plug_btn"));
    EXPECT_EQ(prompts, std::vector<std::wstring>{L"plug_emulated_failed_text"});
    plugs = true;
    ASSERT_TRUE(ui().click(L"nodevice_plug_btn"));
    EXPECT_EQ(prompts.size(), 1u);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].first, ui::script::SimAction::Plug);
    EXPECT_EQ(asked[1].second, ui::script::SimLink::Cable);
    app::setSimulationHandler({});
}

TEST_F(MainWindowTest, KeyboardPluggedWhileRunningGetsATileAndBecomesTheActiveDevice)
{
    ASSERT_TRUE(open());
    devsim::Keyboard keyboard;
    const auto plugged = std::chrono::steady_clock::now();
    keyboard.plug(devsim::KeyboardLink::Cable);
    ASSERT_TRUE(ui().waitFor([&] { return window().activeDevice() != nullptr; }, 5s));
    const auto latency = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - plugged);
    // Informational: a pass comes every 100 ms; the tile follows the pass that found it.
    std::printf("plug to active tile: %lld ms\n", static_cast<long long>(latency.count()));

    EXPECT_EQ(window().activeDevice()->typeId(), detect::DeviceTypeId::KeyboardCable);
    EXPECT_TRUE(window().activeDevice()->isOnline());
    EXPECT_FALSE(window().activeDevice()->isReceiverMode());
    EXPECT_TRUE(window().tileControl(1)->IsVisible());
    EXPECT_TRUE(window().tileControl(1)->IsChosen());
    EXPECT_FALSE(visible(L"No_device_Link"));
    EXPECT_TRUE(visible(L"keyboard_device_key_light"));
    close();
}

TEST_F(MainWindowTest, CableLeavingKeepsTheTileOnTheReceiverAndBothLeavingShowTheNotice)
{
    ASSERT_TRUE(open());
    devsim::Keyboard keyboard;
    keyboard.plug(devsim::KeyboardLink::Cable);
    keyboard.plug(devsim::KeyboardLink::Receiver);
    ASSERT_TRUE(ui().waitFor(
        [&] { return window().activeDevice() && window().interfaceTable().row(2).present; }));
    shell::ShellDevice* device = window().activeDevice();

    keyboard.unplug(devsim::KeyboardLink::Cable);
    ASSERT_TRUE(ui().waitFor([&] { return device->isReceiverMode(); }));
    EXPECT_TRUE(window().tiles().tile(1).visible);
    EXPECT_EQ(window().activeDevice(), device);
    EXPECT_FALSE(visible(L"No_device_Link"));

    keyboard.unplug(devsim::KeyboardLink::Receiver);
    ASSERT_TRUE(
        ui().waitFor([&] { return !window().tiles().tile(1).visible && !device->isOnline(); }));
    EXPECT_EQ(window().activeDevice(), nullptr);
    EXPECT_TRUE(visible(L"No_device_Link"));
    close();
}

TEST_F(MainWindowTest, CloseButtonHidesTheWindowWhileTheTrayIconIsShown)
{
    ASSERT_TRUE(open(true, nullptr, false));
    // Shown by the first layout for the screen, as on start.
    ASSERT_TRUE(ui().waitFor([&] { return window().IsWindowVisible(); }));
    ASSERT_TRUE(window().isTrayShown());
    ASSERT_TRUE(ui().click(L"closebtn"));
    ui().pump();
    EXPECT_TRUE(platform::isWindow(window().GetHWND()));
    EXPECT_FALSE(window().IsWindowVisible());
    EXPECT_FALSE(platform::MessageQueue::current().quitPending());
}

TEST_F(MainWindowTest, CloseButtonEndsTheProgramWhenNoTrayIconCanBeShown)
{
    ASSERT_TRUE(open(false, nullptr, false));
    ASSERT_TRUE(ui().waitFor([&] { return window().IsWindowVisible(); }));
    const HWND hwnd = window().GetHWND();
    ASSERT_TRUE(ui().click(L"closebtn"));
    ui().pump();
    EXPECT_FALSE(platform::isWindow(hwnd));
    EXPECT_TRUE(window().isShuttingDown());
    EXPECT_TRUE(platform::MessageQueue::current().quitPending());
}

TEST_F(MainWindowTest, ShutdownCompletesWhileTheWatcherWaitsForItsReport)
{
    HeldSource source;
    ASSERT_TRUE(open(true, &source, true));
    // The watcher finds the interface now and reports it, while the window's thread does
    // not run its loop: it goes straight into its shutdown.
    source.go.set();
    ASSERT_TRUE(source.probed.waitFor(5s));
    const HWND hwnd = window().GetHWND();
    ui::destroyWindow(hwnd);
    EXPECT_TRUE(window().isShuttingDown());
    EXPECT_FALSE(platform::isWindow(hwnd));
}

TEST_F(MainWindowTest, NumericMessagesWithRowsOutOfRangeAreIgnored)
{
    ASSERT_TRUE(open(true, nullptr, false));
    const HWND hwnd = window().GetHWND();
    for (const WPARAM row : {WPARAM{11}, WPARAM{0xFFFF}, ~WPARAM{0}}) {
        platform::sendMessage(hwnd, shell::MSG_DEVICE_ARRIVED, row, 0);
        platform::sendMessage(hwnd, shell::MSG_DEVICE_REMOVED, row, 0);
        platform::sendMessage(hwnd, shell::MSG_TILE_VISIBILITY, row, 1);
    }
    EXPECT_EQ(window().deviceCount(), 2u);
    EXPECT_EQ(window().tiles().visibleCount(), 0u);
    EXPECT_TRUE(visible(L"No_device_Link"));

    // A language index beyond Language.config changes no text and keeps the saved choice.
    const auto saved = platform::SettingsStore(m_dir / "settings.conf").integer(L"LANGUAGE");
    const std::wstring before(pm().FindControl(L"no_device_title")->GetText());
    platform::sendMessage(hwnd, shell::MSG_LANGUAGE_CHANGED, 99, 0);
    EXPECT_EQ(std::wstring(pm().FindControl(L"no_device_title")->GetText()), before);
    EXPECT_EQ(platform::SettingsStore(m_dir / "settings.conf").integer(L"LANGUAGE"), saved);

    // A short colour payload is read only as far as it goes.
    const std::uint8_t three[3] = {1, 2, 3};
    COPYDATASTRUCT data;
    data.dwData = 2;
    data.cbData = sizeof(three);
    data.lpData = three;
    platform::sendMessage(hwnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    data.lpData = nullptr;
    platform::sendMessage(hwnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}

TEST_F(MainWindowTest, ALanguageSwitchRetranslatesEveryVisibleText)
{
    ASSERT_TRUE(open(true, nullptr, false));
    window().ShowWindow(true, true);
    const auto english = languageTexts("lan_en.xml");
    const auto chinese = languageTexts("lan_cn.xml");
    ASSERT_FALSE(chinese.empty());
    EXPECT_EQ(std::wstring(pm().FindControl(L"no_device_title")->GetText()),
              english.at(L"no_device_text"));

    platform::sendMessage(window().GetHWND(), shell::MSG_LANGUAGE_CHANGED, 1, 0);
    EXPECT_EQ(window().languageIndex(), 1);
    int checked = 0;
    forEachControl(pm().GetRoot(), [&](CControlUI& control) {
        if (!control.IsVisible() || !control.IsResourceText() || control.GetTextId().empty())
            return;
        const std::wstring id(control.GetTextId());
        ASSERT_TRUE(chinese.contains(id)) << platform::toUtf8(id);
        EXPECT_EQ(std::wstring(control.GetText()), chinese.at(id)) << platform::toUtf8(id);
        ++checked;
    });
    EXPECT_GT(checked, 3);
    EXPECT_EQ(platform::SettingsStore(m_dir / "settings.conf").integer(L"LANGUAGE"), 2052);
}

TEST_F(MainWindowTest, TheMessageWindowAnswersOneForConfirmAndZeroForCancelAndClose)
{
    testing_support::OpenWindow owner(LR"(<Window><VerticalLayout name="root"/></Window>)");
    ASSERT_TRUE(owner.opened);
    constexpr UINT kClick = WM_APP + 7;
    std::wstring button;
    // The click comes from inside the prompt's own loop, as a person's would.
    owner.window->onMessage = [&](UINT msg, WPARAM, LPARAM) {
        if (msg != kClick)
            return false;
        auto* prompt = dynamic_cast<CMsgWnd*>(ui::windowFromHandle(ui::findWindow(L"MsgWnd")));
        if (prompt) {
            ui::UiDriver driver(prompt->GetPaintManager());
            driver.render();
            EXPECT_TRUE(driver.click(button)) << platform::toUtf8(button);
        }
        return true;
    };
    for (const auto& [name, expected] :
         {std::pair{L"confirm_btn", 1u}, {L"cancel_btn", 0u}, {L"closebtn", 0u}}) {
        button = name;
        platform::postMessage(owner.window->GetHWND(), kClick, 0, 0);
        EXPECT_EQ(
            CMsgWnd::ShowPrompt(owner.window->GetHWND(), nullptr, L"message_text_22", 96, true, 1),
            expected)
            << platform::toUtf8(button);
    }
    // A number goes into the words by substitution only: a translation with other "%"
    // conversions shows them as written.
    std::wstring shown;
    owner.window->onMessage = [&](UINT msg, WPARAM, LPARAM) {
        if (msg != kClick)
            return false;
        auto* prompt = dynamic_cast<CMsgWnd*>(ui::windowFromHandle(ui::findWindow(L"MsgWnd")));
        if (prompt) {
            shown = prompt->GetPaintManager().FindControl(L"MessageText")->GetText();
            ui::UiDriver driver(prompt->GetPaintManager());
            driver.render();
            EXPECT_TRUE(driver.click(L"confirm_btn"));
        }
        return true;
    };
    ASSERT_TRUE(open(true, nullptr, false));
    CResourceManager::GetInstance()->LoadLanguageText(
        R"(<Language><Text id="message_text_16" value="%s %n %d%% of %d"/></Language>)");
    platform::postMessage(owner.window->GetHWND(), kClick, 0, 0);
    EXPECT_EQ(window().promptWithNumber(L"message_text_16", 42, 0), 1u);
    EXPECT_EQ(shown, L"%s %n 42% of %d");
    button = L"confirm_btn";

    // A notice has one button; its answer is 1.
    button = L"confirm_btn";
    platform::postMessage(owner.window->GetHWND(), kClick, 0, 0);
    EXPECT_EQ(CMsgWnd::ShowPrompt(owner.window->GetHWND(), L"", L"", 100, false, 0), 1u);

    // A prompt whose skin cannot be built answers 0, freed once.
    const std::wstring resources(CPaintManagerUI::GetResourcePath());
    testing_support::TempDir empty;
    CPaintManagerUI::SetResourcePath(platform::toWide(empty.path()) + L"/");
    EXPECT_EQ(CMsgWnd::ShowPrompt(owner.window->GetHWND(), L"", L"", 100, false, 0), 0u);
    CPaintManagerUI::SetResourcePath(resources);
}

// HALVEK_LOOK_PNG=<prefix> writes the window with the emulated keyboard at 100% and 200%
// scale as <prefix>-96.png and <prefix>-192.png, for a look at the skin.
TEST_F(MainWindowTest, WritesItsLookWhenAsked)
{
    const char* prefix = std::getenv("HALVEK_LOOK_PNG");
    if (!prefix)
        GTEST_SKIP() << "HALVEK_LOOK_PNG is not set";
    ASSERT_TRUE(open());
    devsim::Keyboard keyboard;
    keyboard.plug(devsim::KeyboardLink::Cable);
    keyboard.plug(devsim::KeyboardLink::Receiver);
    ASSERT_TRUE(ui().waitFor([&] { return window().activeDevice() != nullptr; }, 5s));
    ASSERT_TRUE(ui().waitFor([&] { return window().IsWindowVisible(); }));
    for (const int dpi : {96, 192}) {
        CPaintManagerUI::SetAllDPI(96);
        window().ResizeClient(1000, 640);
        CPaintManagerUI::SetAllDPI(dpi);
        ui().pump();
        ui().render();
        EXPECT_TRUE(ui().writePng(std::string(prefix) + "-" + std::to_string(dpi) + ".png"));
    }
    close();
}

TEST_F(MainWindowTest, AKeyOfThePictureOpensTheKeyPageOfThatKeyboard)
{
    ASSERT_TRUE(open());
    devsim::Keyboard keyboard;
    keyboard.plug(devsim::KeyboardLink::Cable);
    ASSERT_TRUE(ui().waitFor([&] { return window().activeDevice() != nullptr; }, 5s));
    ASSERT_TRUE(ui().waitFor([&] { return window().IsWindowVisible(); }));
    CControlUI* page = window().activeDevice()->page();
    auto* keySwitch = static_cast<CTabLayoutUI*>(
        pm().FindSubControlByName(page, L"device_key_function_switch")->GetInterface(L"TabLayout"));
    ASSERT_NE(keySwitch, nullptr);
    EXPECT_EQ(keySwitch->GetCurSel(), 0);
    ui().render();
    ASSERT_TRUE(ui().click(L"key_64")); // A
    EXPECT_EQ(keySwitch->GetCurSel(), 1);
    auto* keyTab = static_cast<COptionUI*>(
        pm().FindSubControlByName(page, L"key_Op_tab")->GetInterface(L"Option"));
    EXPECT_TRUE(keyTab->IsSelected());
    close();
}

TEST_F(MainWindowTest, PreviousAndNextMoveBetweenVisibleTiles)
{
    ASSERT_TRUE(open(true, nullptr, false));
    const HWND hwnd = window().GetHWND();
    platform::sendMessage(hwnd, shell::MSG_TILE_VISIBILITY, 1, 1);
    platform::sendMessage(hwnd, shell::MSG_TILE_VISIBILITY, 0, 1);
    ASSERT_EQ(window().tiles().activeTile(), 1u);
    ui().render();
    ASSERT_TRUE(ui().click(L"device_select_next"));
    EXPECT_EQ(window().tiles().activeTile(), 1u) << "the last visible tile stays";
    ASSERT_TRUE(ui().click(L"device_select_prev"));
    EXPECT_EQ(window().tiles().activeTile(), 0u);
    EXPECT_TRUE(window().tileControl(0)->IsChosen());
    EXPECT_FALSE(window().tileControl(1)->IsChosen());
    // Hiding the chosen tile hands the choice to the other one.
    platform::sendMessage(hwnd, shell::MSG_TILE_VISIBILITY, 0, 0);
    EXPECT_EQ(window().tiles().activeTile(), 1u);
    EXPECT_FALSE(visible(L"No_device_Link"));
}

TEST_F(MainWindowTest, TheHeaderNamesTheDeviceShown)
{
    ASSERT_TRUE(open(true, nullptr, false));
    const HWND hwnd = window().GetHWND();
    const auto header = [&] {
        return std::wstring(pm().FindControl(L"title_model_label")->GetText());
    };
    platform::sendMessage(hwnd, shell::MSG_TILE_VISIBILITY, 1, 1);
    platform::sendMessage(hwnd, shell::MSG_TILE_VISIBILITY, 0, 1);
    EXPECT_EQ(header(), L"Halvek 2VAV IRI");
    ui().render();
    ASSERT_TRUE(ui().click(L"device_select_prev"));
    ASSERT_EQ(window().tiles().activeTile(), 0u);
    EXPECT_EQ(header(), L"Halvek Mouse");
    // The mouse leaving shows the keyboard again, and its name with it.
    platform::sendMessage(hwnd, shell::MSG_TILE_VISIBILITY, 0, 0);
    EXPECT_EQ(header(), L"Halvek 2VAV IRI");
    platform::sendMessage(hwnd, shell::MSG_TILE_VISIBILITY, 0, 1);
    ui().render();
    ASSERT_TRUE(ui().click(L"device_select_prev"));
    platform::sendMessage(hwnd, shell::MSG_TILE_VISIBILITY, 1, 0);
    platform::sendMessage(hwnd, shell::MSG_TILE_VISIBILITY, 0, 0);
    EXPECT_TRUE(visible(L"No_device_Link"));
    EXPECT_EQ(header(), L"Halvek 2VAV IRI");
}
