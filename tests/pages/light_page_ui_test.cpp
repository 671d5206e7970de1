// The lighting page in the real main window with the emulated keyboard (and mouse) on their
// cables, driven through the off-screen driver: what each change writes to the device.
#include "app/main_wnd_fixture.h"

#include "app/lighting_sync/game_lighting.h"
#include "app/main_lighting.h"
#include "device/model/keyboard_conversions.h"
#include "devsim/keyboard.h"
#include "devsim/mouse.h"
#include "pages/device_profile_ui.h"
#include "pages/devices/tessary_keyboard_device.h"
#include "pages/devices/tessary_mouse_device.h"
#include "pages/find_by_name.h"
#include "pages/light_control_ui.h"
#include "pages/light_page_binding.h"
#include "pages/page_handlers.h"
#include "platform/message_queue.h"
#include "platform/registered_messages.h"
#include "shell/main_messages.h"
#include "ui/button_ui.h"
#include "ui/combo_ui.h"
#include "ui/resource_manager.h"
#include "ui/slider_ui.h"

#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr std::size_t kEffectByte = 1;

class LightPageWindowTest : public testing_support::MainWindowTest {
protected:
    void openWithDevices(bool withMouse = false)
    {
        ASSERT_TRUE(open());
        keyboard.plug(devsim::KeyboardLink::Cable);
        if (withMouse)
            mouse.plug(devsim::KeyboardLink::Cable);
        ASSERT_TRUE(settle(
            [&] {
                return keyboardDevice() && keyboardDevice()->model().channel().isOpen() &&
                       (!withMouse || (mouseDevice() && mouseDevice()->model().channel().isOpen()));
            },
            5s));
        pages::PageHooks hooks;
        hooks.prompt = [](const pages::PanelMessage&, int) -> unsigned { return 1; };
        hooks.pickColour = [this](std::uint32_t) { return picked; };
        pages::installPageHandlers(window(), hooks);
        window().ResizeClient(1500, 960);
        // The device's start (read, profile, page) runs from its tile's timer.
        // The mouse reads its state once started, which ends synchronised mode: wait for it.
        if (withMouse) {
            ASSERT_TRUE(settle(
                [&] {
                    CLightControlUI* mousePage = pages::lightPageOf(mouseDevice());
                    return mousePage && mousePage->ModeCount() > 0;
                },
                5s));
        }
        ASSERT_TRUE(settle([&] { return page() && page()->ModeCount() > 0; }, 5s))
            << "page " << page() << " effects " << kb().presets().effectNames.size();
        ui().pump();
        ui().render();
    }

    // Runs the window until the condition holds; the deadline holds even while the picture
    // keeps repainting (the driver's waitFor looks at it only when the queue is idle).
    bool settle(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!condition()) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            ui().pump();
            std::this_thread::sleep_for(2ms);
        }
        return true;
    }

    // Device pages share control names: the one on the page shown.
    bool shown(std::wstring_view name)
    {
        CControlUI* control = ui().find(name);
        return control && control->IsVisible();
    }

    CTessaryKeyboardDevice* keyboardDevice()
    {
        for (std::size_t i = 0; i < window().deviceCount(); ++i)
            if (auto* device = static_cast<CTessaryKeyboardDevice*>(
                    window().deviceAt(i)->page()->GetInterface(L"TessaryKeyboardDevice")))
                return device;
        return nullptr;
    }
    CTessaryMouseDevice* mouseDevice()
    {
        for (std::size_t i = 0; i < window().deviceCount(); ++i)
            if (auto* device = static_cast<CTessaryMouseDevice*>(
                    window().deviceAt(i)->page()->GetInterface(L"TessaryMouseDevice")))
                return device;
        return nullptr;
    }
    model::KeyboardModel& kb() { return keyboardDevice()->keyboard(); }
    CLightControlUI* page()
    {
        return keyboardDevice() ? pages::lightPageOf(keyboardDevice()) : nullptr;
    }

    protocol::SlotRecord deviceRecord()
    {
        const auto settings = keyboard.area(devsim::Area::Settings);
        protocol::SlotRecord record{};
        std::copy_n(settings.begin(), record.size(), record.begin());
        return record;
    }
    protocol::SlotRecord expectedRecord()
    {
        return model::buildSlotRecord(kb().profile().LoadLightInfo(),
                                      kb().profile().LoadSystemStages(), 0, kb().presets());
    }
    void selectEffect(int effect)
    {
        ASSERT_TRUE(ui().select(L"light_combo_modeSelect", effect)) << effect;
        ASSERT_EQ(kb().GetLightSettings().mode, effect);
    }
    void setSlider(std::wstring_view name, int value)
    {
        auto* slider = ui().findAs<CSliderUI>(name);
        ASSERT_NE(slider, nullptr);
        slider->SetValue(value);
        pm().SendNotify(slider, L"valuechanged");
    }
    void typeInto(std::wstring_view edit, std::wstring_view text, std::wstring_view next)
    {
        ui().find(edit)->SetText(L"");
        ASSERT_TRUE(ui().type(edit, text));
        ASSERT_TRUE(ui().click(next)); // leaving the edit applies it
    }
    void sendPacket(double amplitude, int packet)
    {
        std::vector<std::int32_t> samples(500);
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<std::int32_t>(
                amplitude * std::sin(0.3 * double(i) + 1.7 * double(packet)));
        COPYDATASTRUCT data;
        data.dwData = 1;
        data.cbData = static_cast<DWORD>(samples.size() * 4);
        data.lpData = samples.data();
        platform::sendMessage(window().GetHWND(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    }

    devsim::Keyboard keyboard;
    devsim::Mouse mouse;
    std::optional<std::uint32_t> picked;
};

} // namespace

TEST_F(LightPageWindowTest, EveryEffectWritesItsSlotRecordByteForByte)
{
    openWithDevices();
    shoot("light");
    const profile::LightPresets& presets = kb().presets();
    ASSERT_GE(presets.effectCodes.size(), 31u);
    int tried = 0;
    for (int effect = 0; effect <= 30; ++effect) {
        if (presets.effectVisible[std::size_t(effect)] == 0)
            continue;
        selectEffect(effect);
        const protocol::SlotRecord record = deviceRecord();
        EXPECT_EQ(record, expectedRecord()) << "effect " << effect;
        EXPECT_EQ(record[kEffectByte], presets.effectCodes[std::size_t(effect)]) << effect;
        EXPECT_EQ(page()->GetMode(), effect);
        ++tried;
    }
    EXPECT_GE(tried, 25);

    // Brightness, speed (counted the other way round on the device) and direction.
    selectEffect(5);
    setSlider(L"deng_light_slider", 2);
    setSlider(L"deng_speed_slider", 1);
    EXPECT_EQ(deviceRecord()[2], 2);
    EXPECT_EQ(deviceRecord()[3], 3);
    // Breathing has no direction: its options take no clicks.
    const std::uint8_t direction = deviceRecord()[4];
    (void)ui().click(direction ? L"deng_FXR_check" : L"deng_FXL_check");
    EXPECT_EQ(deviceRecord()[4], direction);
    selectEffect(1);
    ASSERT_TRUE(ui().click(L"deng_FXR_check"));
    EXPECT_EQ(deviceRecord()[4], 0);
    ASSERT_TRUE(ui().click(L"deng_FXL_check"));
    EXPECT_EQ(deviceRecord()[4], 1);
    EXPECT_EQ(deviceRecord(), expectedRecord());
}

TEST_F(LightPageWindowTest, ColourEditsAreHeldToAByteAndEndTheColourCycle)
{
    openWithDevices();
    selectEffect(6);
    auto* seven = ui().findAs<COptionUI>(L"deng_7color_check");
    ASSERT_NE(seven, nullptr);
    if (!seven->IsSelected()) {
        ASSERT_TRUE(ui().click(L"deng_7color_check"));
    }
    EXPECT_EQ(deviceRecord()[5], 1);

    typeInto(L"deng_edit_G", L"300", L"deng_edit_B");
    EXPECT_EQ(std::wstring(ui().find(L"deng_edit_G")->GetText()), L"255");
    EXPECT_EQ(deviceRecord()[7], 255);
    EXPECT_EQ(deviceRecord()[5], 0);
    EXPECT_FALSE(seven->IsSelected());

    // The field takes digits only: a minus sign never reaches it.
    typeInto(L"deng_edit_R", L"-5", L"deng_edit_B");
    EXPECT_EQ(std::wstring(ui().find(L"deng_edit_R")->GetText()), L"5");
    EXPECT_EQ(deviceRecord()[6], 5);
    // Text that is not a number (pasted, say) is refused on the field, not sent as 0.
    for (const std::wstring text : {L"12a", L"-5", L"0x10", L"1 2"}) {
        ASSERT_TRUE(ui().click(L"deng_edit_R"));
        ui().find(L"deng_edit_R")->SetText(text);
        ASSERT_TRUE(ui().click(L"deng_edit_B"));
        EXPECT_EQ(std::wstring(ui().find(L"deng_edit_R")->GetText()), L"5") << text;
        EXPECT_EQ(deviceRecord()[6], 5) << text;
        EXPECT_EQ(kb().GetLightSettings().red, 5) << text;
    }
    typeInto(L"deng_edit_B", L"", L"deng_edit_R");
    EXPECT_EQ(std::wstring(ui().find(L"deng_edit_B")->GetText()), L"0");
    EXPECT_EQ(deviceRecord()[8], 0);

    // A swatch and the colour window.
    ASSERT_TRUE(ui().click(L"color_option_0"));
    const pages::Rgb8 swatch = pages::componentsOf(page()->GetSwatchColour(0));
    EXPECT_EQ(deviceRecord()[6], swatch.red);
    EXPECT_EQ(deviceRecord()[7], swatch.green);
    EXPECT_EQ(deviceRecord()[8], swatch.blue);
    picked = 0xFF102030u;
    ASSERT_TRUE(ui().click(L"deng_colordp_btn"));
    EXPECT_EQ(deviceRecord()[6], 0x10);
    EXPECT_EQ(deviceRecord()[7], 0x20);
    EXPECT_EQ(deviceRecord()[8], 0x30);
    EXPECT_EQ(std::wstring(ui().find(L"deng_edit_B")->GetText()), L"48");
    EXPECT_EQ(page()->GetPaletteColour() & 0xFFFFFF, 0x102030u);
    picked.reset();
    ASSERT_TRUE(ui().click(L"deng_colordp_btn")); // cancelled: nothing changes
    EXPECT_EQ(deviceRecord()[6], 0x10);
    EXPECT_EQ(deviceRecord(), expectedRecord());
}

TEST_F(LightPageWindowTest, PaintedKeysReachTheKeyboardsColourGroup)
{
    openWithDevices();
    selectEffect(pages::kCustomEffect);
    ui().render();
    ASSERT_TRUE(shown(L"lightcustom_layout"));
    EXPECT_FALSE(shown(L"deng_speed_layout"));
    ASSERT_TRUE(ui().select(L"light_combo_custommodeSelect", 1));
    EXPECT_EQ(kb().GetLightSettings().customGroup, 1);
    EXPECT_EQ(deviceRecord()[25], 1);

    ASSERT_TRUE(ui().click(L"custom_off_color_btn"));
    ASSERT_TRUE(ui().click(L"color_option_0"));
    const pages::Rgb8 red = pages::componentsOf(page()->GetSwatchColour(0));
    constexpr int kKey = 22;
    ASSERT_TRUE(ui().click(L"key_" + std::to_wstring(kKey)));
    // The key stays on the lighting page: painting, not key assignment.
    EXPECT_EQ(kb().GetFunctionTab(), 1);
    const std::uint8_t led = kb().positionToLed()[kKey];
    ASSERT_NE(led, model::kUnmapped);
    const auto colours = keyboard.area(devsim::Area::Colours);
    const std::size_t at = 1 * devsim::kColourGroupStride + 3 * std::size_t(led);
    EXPECT_EQ(colours[at], red.red);
    EXPECT_EQ(colours[at + 1], red.green);
    EXPECT_EQ(colours[at + 2], red.blue);
    // A neighbour stays dark, and the profile keeps the group's colours.
    const std::uint8_t otherLed = kb().positionToLed()[kKey + 1];
    EXPECT_EQ(colours[1 * devsim::kColourGroupStride + 3 * std::size_t(otherLed)], 0);
    EXPECT_EQ(kb().profile().LoadCustomColours(1, kb().lightCount())[kKey].red, red.red);
    shoot("light-custom");

    // Every key at once.
    ASSERT_TRUE(ui().click(L"custom_bright_color_btn"));
    const auto all = keyboard.area(devsim::Area::Colours);
    EXPECT_EQ(all[1 * devsim::kColourGroupStride + 3 * std::size_t(otherLed)], red.red);
    // Group 0 was never written.
    EXPECT_EQ(all[3 * std::size_t(otherLed)], 0);
}

TEST_F(LightPageWindowTest, ABoxDraggedFromAKeyShowsWhileDraggingAndPaintsTheKeysItTouches)
{
    openWithDevices();
    selectEffect(pages::kCustomEffect);
    ASSERT_TRUE(ui().select(L"light_combo_custommodeSelect", 1));
    ASSERT_TRUE(ui().click(L"custom_off_color_btn"));
    ASSERT_TRUE(ui().click(L"color_option_0"));
    const pages::Rgb8 red = pages::componentsOf(page()->GetSwatchColour(0));
    ui().render();
    const HWND hwnd = window().GetHWND();
    // From the middle of one key to the middle of a key two rows down and along.
    const POINT from = ui().centerOf(L"key_22");
    const POINT to = ui().centerOf(L"key_46");
    ASSERT_LT(from.x, to.x);
    ASSERT_LT(from.y, to.y);
    ASSERT_GT(from.y, 0) << from.x;
    ASSERT_LT(to.y, pm().GetCanvas()->height()) << to.x;
    platform::sendMessage(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(from.x, from.y));
    platform::sendMessage(hwnd, WM_LBUTTONDOWN, 1, MAKELPARAM(from.x, from.y));
    platform::sendMessage(hwnd, WM_MOUSEMOVE, 1,
                          MAKELPARAM((from.x + to.x) / 2, (from.y + to.y) / 2));
    platform::sendMessage(hwnd, WM_MOUSEMOVE, 1, MAKELPARAM(to.x, to.y));
    // The frame the window paints for the move itself shows the box's edge.
    ui().pump();
    const ui::Canvas& canvas = *pm().GetCanvas();
    const auto pixel = [&](int x, int y) { return canvas.pixels()[y * canvas.stride() / 4 + x]; };
    const int middle = (from.x + to.x) / 2;
    EXPECT_EQ(pixel(middle, from.y), 0xFF0099FFu) << "top edge";
    EXPECT_EQ(pixel(middle, to.y - 1), 0xFF0099FFu) << "bottom edge";
    EXPECT_EQ(pixel(from.x, (from.y + to.y) / 2), 0xFF0099FFu) << "left edge";
    shoot("light-box-drag");
    platform::sendMessage(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
    ui().pump();
    EXPECT_NE(pixel(middle, from.y), 0xFF0099FFu) << "gone once let go";

    // The keys the box touched are painted, one outside it is not.
    const auto colours = kb().profile().LoadCustomColours(1, kb().lightCount());
    const auto isRed = [&](int key) {
        const std::size_t light = std::size_t(key);
        return colours[light].red == red.red && colours[light].green == red.green &&
               colours[light].blue == red.blue;
    };
    EXPECT_TRUE(isRed(22));
    EXPECT_TRUE(isRed(46));
    EXPECT_FALSE(isRed(0)) << "Esc lies outside the box";

    // On the key page a box from between the keys paints nothing, and a press on a key is
    // the key's: it opens the key's function.
    ASSERT_TRUE(ui().click(L"key_Op_tab"));
    ui().render();
    const RECT picture = ui().find(L"keyboard_device_key_light")->GetPos();
    ASSERT_TRUE(ui().drag(POINT{picture.left + 4, picture.top + 4}, ui().centerOf(L"key_2")));
    EXPECT_FALSE(isRed(0));
    EXPECT_EQ(kb().profile().LoadCustomColours(1, kb().lightCount())[0].red, colours[0].red);
    ASSERT_TRUE(ui().click(L"key_0"));
    EXPECT_TRUE(shown(L"keyset_layout"));
}

TEST_F(LightPageWindowTest, AHostEffectStreamsFrames)
{
    openWithDevices();
    selectEffect(5); // breathing, animated by the program
    const auto first = keyboard.area(devsim::Area::LiveFrame);
    std::vector<std::vector<std::uint8_t>> seen{first};
    ASSERT_TRUE(settle(
        [&] {
            const auto now = keyboard.area(devsim::Area::LiveFrame);
            if (now != seen.back())
                seen.push_back(now);
            return seen.size() >= 4;
        },
        5s));
}

TEST_F(LightPageWindowTest, AnAudioStyleFollowsTheAudioFeed)
{
    openWithDevices();
    selectEffect(pages::kAudioEffect);
    ui().render();
    ASSERT_TRUE(shown(L"light_combo_AudiomodeSelectLayout"));
    ASSERT_TRUE(ui().select(L"light_combo_audiomodeSelect", 0));
    ASSERT_TRUE(ui().click(L"audio_FgColor_check"));
    ASSERT_TRUE(ui().click(L"audiocolor_option_0"));
    ASSERT_TRUE(ui().click(L"audio_BkColor_check"));
    ASSERT_TRUE(ui().click(L"audiocolor_option_9")); // white background...
    typeInto(L"deng_audioedit_R", L"0", L"deng_audioedit_G");
    typeInto(L"deng_audioedit_G", L"0", L"deng_audioedit_B");
    typeInto(L"deng_audioedit_B", L"0", L"deng_audioedit_R"); // ...made black by hand
    const profile::AudioLightInfo audio = kb().audioParams();
    EXPECT_EQ(audio.audioMode, 0);
    EXPECT_EQ(audio.backRed, 0);
    EXPECT_GT(audio.foreRed, 200);
    shoot("light-audio");

    auto litLights = [&] {
        int lit = 0;
        for (std::size_t light = 0; light < std::size_t(kb().lightCount()); ++light) {
            const std::uint32_t word = kb().GetLightColour(light);
            if ((word & 0xFF) != 0 && (word >> 24) != 0)
                ++lit;
        }
        return lit;
    };
    // Blocks from other programs that are empty, short, or without data are read only as
    // far as they go.
    for (const DWORD size : {0u, 3u, 7u}) {
        std::array<std::uint8_t, 8> bytes{};
        bytes.fill(0x7F);
        COPYDATASTRUCT data;
        data.dwData = 1;
        data.cbData = size;
        data.lpData = bytes.data();
        platform::sendMessage(window().GetHWND(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
        data.lpData = nullptr;
        platform::sendMessage(window().GetHWND(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    }
    // Silence: nothing lights.
    for (int packet = 0; packet < 9; ++packet)
        sendPacket(0, packet);
    (void)settle([] { return false; }, 300ms);
    EXPECT_EQ(litLights(), 0);
    int packet = 0;
    EXPECT_TRUE(settle(
        [&] {
            sendPacket(1 << 20, packet++);
            return litLights() > 20;
        },
        5s));
}

TEST_F(LightPageWindowTest, SameLightingPutsKeyboardAndMouseInStep)
{
    openWithDevices(true);
    ASSERT_NE(mouseDevice(), nullptr);
    selectEffect(6); // static: one colour, shared number 1
    ASSERT_TRUE(ui().click(L"color_option_5"));
    ui().render();
    ASSERT_TRUE(shown(L"deng_same_mode"));
    ASSERT_TRUE(ui().click(L"deng_same_mode"));

    model::UsbDeviceModel& mouseModel = mouseDevice()->model();
    EXPECT_EQ(mouseModel.GetLightSettings().mode, 3);
    EXPECT_TRUE(kb().channel().isLightingSync());
    EXPECT_TRUE(mouseModel.channel().isLightingSync());
    EXPECT_EQ(mouseModel.GetLightSettings().red, kb().GetLightSettings().red);
    // The worker lights both alike.
    const pages::Rgb8 colour = pages::componentsOf(page()->GetSwatchColour(5));
    const std::uint32_t expected = colour.red | colour.green << 8 | colour.blue << 16;
    EXPECT_TRUE(settle(
        [&] {
            return (kb().GetLightColour(0) & 0xFFFFFF) == expected &&
                   (mouseModel.GetLightColour(0) & 0xFFFFFF) == expected &&
                   kb().GetLightColour(0) == mouseModel.GetLightColour(0);
        },
        5s));
    // The mouse keeps the shared effect in its own slot record.
    const protocol::MouseRecord record = mouse.slotRecord(0);
    EXPECT_EQ(record[protocol::mouse_record::kRed], colour.red);
    EXPECT_EQ(record[protocol::mouse_record::kGreen], colour.green);
    EXPECT_EQ(record[protocol::mouse_record::kBlue], colour.blue);

    // A change on the page leaves synchronised mode.
    setSlider(L"deng_light_slider", 1);
    EXPECT_FALSE(kb().channel().isLightingSync());
    EXPECT_TRUE(mouseModel.channel().isLightingSync());
}

TEST_F(LightPageWindowTest, AGameEventSwitchesTheEffectAndTheTimerBringsItBack)
{
    openWithDevices();
    selectEffect(6);
    const HWND hwnd = window().GetHWND();
    platform::sendMessage(hwnd, platform::registerMessage(L"Game_Start"), 0, 23);
    EXPECT_EQ(deviceRecord()[kEffectByte], kb().presets().effectCodes[23]);
    EXPECT_EQ(page()->GetMode(), 23);
    EXPECT_EQ(kb().GetLightSettings().oldLedMode, 6);
    // A later event switches again but keeps what to return to.
    platform::sendMessage(hwnd, platform::registerMessage(L"Game_Kill"), 1, 4);
    EXPECT_EQ(deviceRecord()[kEffectByte], kb().presets().effectCodes[4]);
    EXPECT_EQ(kb().GetLightSettings().oldLedMode, 6);
    // An unknown step changes nothing.
    platform::sendMessage(hwnd, platform::registerMessage(L"Game_End"), 7, 9);
    EXPECT_EQ(deviceRecord()[kEffectByte], kb().presets().effectCodes[4]);

    // The restore timer fires (the window kills it first).
    platform::sendMessage(hwnd, WM_TIMER, shell::kGameRestoreTimer, 0);
    EXPECT_EQ(deviceRecord()[kEffectByte], kb().presets().effectCodes[6]);
    EXPECT_EQ(page()->GetMode(), 6);
    EXPECT_EQ(deviceRecord(), expectedRecord());
}

// HALVEK_IDLE_SECONDS=60 makes this a longer watch of the idle worker.
TEST_F(LightPageWindowTest, TheSynchronisedLightingWorkerSleepsUntilADeviceIsPutInStep)
{
    openWithDevices();
    ASSERT_NE(window().lighting(), nullptr);
    const auto& worker = window().lighting()->worker();
    const char* configured = std::getenv("HALVEK_IDLE_SECONDS");
    const auto seconds = std::chrono::seconds(configured ? std::atoi(configured) : 1);
    // The keyboard's arrival woke it; from then on nothing should.
    (void)settle([] { return false; }, 300ms);
    const std::uint64_t wakes = worker.idleWakes();
    (void)settle([] { return false; }, seconds);
    std::printf("sync lighting worker idle: %llu wakes in %lld s\n",
                static_cast<unsigned long long>(worker.idleWakes() - wakes),
                static_cast<long long>(seconds.count()));
    EXPECT_EQ(worker.idleWakes(), wakes);
    EXPECT_EQ(worker.steps(), 0u);

    // The channel's flag alone wakes it.
    kb().channel().setLightingSync(true);
    EXPECT_TRUE(settle([&] { return worker.steps() > 0; }, 5s));
    kb().channel().setLightingSync(false);
}

namespace {

template <class T> T* findByNameAs(CControlUI* parent, std::wstring_view name)
{
    CControlUI* control = pages::findByName(parent, name);
    return control ? dynamic_cast<T*>(control) : nullptr;
}

// The effect list's row texts (text ids) of a page.
std::vector<std::wstring> effectRows(CLightControlUI* page)
{
    std::vector<std::wstring> rows;
    auto* combo = page ? findByNameAs<CComboUI>(page, L"light_combo_modeSelect") : nullptr;
    for (int i = 0; combo && i < combo->GetCount(); ++i)
        rows.emplace_back(combo->GetItemAt(i)->GetUserData());
    return rows;
}

bool isSelected(CLightControlUI* page, std::wstring_view name)
{
    auto* option = findByNameAs<COptionUI>(page, name);
    return option && option->IsSelected();
}

} // namespace

TEST_F(LightPageWindowTest, EachDeviceShowsItsOwnEffectsAndKeepsItsOwnDirection)
{
    openWithDevices(true);
    CLightControlUI* mousePage = pages::lightPageOf(mouseDevice());
    ASSERT_NE(mousePage, nullptr);
    const auto keyboardRows = effectRows(page());
    const auto mouseRows = effectRows(mousePage);
    ASSERT_EQ(keyboardRows.size(), kb().presets().effectNames.size());
    EXPECT_EQ(keyboardRows[3], L"light_effect_sweep");
    // The mouse's ten effects under their own names; the effect codes stay the shared ones,
    // so its static colour (3) is what the keyboard calls Static (6) when synchronised.
    ASSERT_EQ(mouseRows.size(), 10u);
    EXPECT_EQ(mouseRows[3], L"light_effect_static");
    EXPECT_EQ(mouseRows[9], L"light_effect_off");
    for (const auto& row : mouseRows) {
        EXPECT_NE(row, L"light_effect_column_wave");
        EXPECT_NE(row, L"light_effect_rain");
        EXPECT_FALSE(CResourceManager::GetInstance()->GetText(row).empty()) << row;
    }

    // A direction on the keyboard survives the mouse's page being shown and changed.
    selectEffect(1);
    ASSERT_TRUE(ui().click(L"deng_FXR_check"));
    EXPECT_TRUE(isSelected(page(), L"deng_FXR_check"));
    pages::refreshLightPage(*mouseDevice());
    auto* mouseFirst = findByNameAs<COptionUI>(mousePage, L"deng_FXL_check");
    ASSERT_NE(mouseFirst, nullptr);
    mouseFirst->Selected(true, false);
    EXPECT_TRUE(isSelected(page(), L"deng_FXR_check"));
    EXPECT_FALSE(isSelected(page(), L"deng_FXL_check"));
    EXPECT_EQ(kb().GetLightSettings().direction, 0);
    // Swatches likewise belong to one page.
    ASSERT_TRUE(ui().click(L"color_option_2"));
    findByNameAs<COptionUI>(mousePage, L"color_option_7")->Selected(true, false);
    EXPECT_TRUE(isSelected(page(), L"color_option_2"));

    // With two devices an effect without a shared number says so where the button would be.
    window().ResizeClient(1500, 960);
    ui().render();
    EXPECT_FALSE(shown(L"deng_same_mode"));
    EXPECT_TRUE(shown(L"deng_same_mode_note"));
    selectEffect(6);
    ui().render();
    EXPECT_TRUE(shown(L"deng_same_mode"));
    EXPECT_FALSE(shown(L"deng_same_mode_note"));
    shoot("light-two-devices");
}

TEST_F(LightPageWindowTest, TheMousePageHasItsOwnProfilePanel)
{
    ASSERT_TRUE(open());
    mouse.plug(devsim::KeyboardLink::Cable);
    ASSERT_TRUE(
        settle([&] { return mouseDevice() && mouseDevice()->model().channel().isOpen(); }, 5s));
    CDeviceProfileUI* panel = pages::profilePanelOf(window().activeDevice());
    ASSERT_NE(panel, nullptr);
    ASSERT_NE(panel->model(), nullptr);
    EXPECT_EQ(panel->model()->items().size(), 1u);
    EXPECT_FALSE(panel->GetNameText().empty());
    // The mouse's profiles live in its own folder.
    EXPECT_EQ(mouseDevice()->model().profileBaseName(), panel->GetCurrentProfileId());
    window().ResizeClient(1500, 960);
    shoot("mouse");
}

TEST_F(LightPageWindowTest, AreasTheFamilyLacksAreDisabledAndSayWhy)
{
    openWithDevices(true);
    auto text = [](std::wstring_view id) {
        return std::wstring(CResourceManager::GetInstance()->GetText(id));
    };
    // The keyboard has every part: its audio styles take input and keep their own tip.
    selectEffect(pages::kAudioEffect);
    CControlUI* styles = ui().find(L"light_combo_audiomodeSelect");
    ASSERT_NE(styles, nullptr);
    EXPECT_TRUE(styles->IsEnabled());
    EXPECT_EQ(std::wstring(styles->GetToolTip()), text(L"light_audio_style_tip_text"));

    // The mouse keeps neither custom colour groups nor an audio input.
    CLightControlUI* mousePage = pages::lightPageOf(mouseDevice());
    ASSERT_NE(mousePage, nullptr);
    for (const auto& [control, reason] :
         {std::pair{L"light_combo_audiomodeSelect", L"light_no_audio_input_tip_text"},
          std::pair{L"music_setting_btn", L"light_no_audio_input_tip_text"},
          std::pair{L"light_combo_custommodeSelect", L"light_no_custom_colours_tip_text"},
          std::pair{L"custom_bright_color_btn", L"light_no_custom_colours_tip_text"}}) {
        CControlUI* found = findByNameAs<CControlUI>(mousePage, control);
        ASSERT_NE(found, nullptr) << control;
        EXPECT_FALSE(found->IsEnabled()) << control;
        EXPECT_EQ(std::wstring(found->GetToolTip()), text(reason)) << control;
        EXPECT_FALSE(text(reason).empty());
    }

    // A keyboard family told it lacks them shows the areas its effects need, disabled: the
    // user sees why rather than a control that does nothing.
    page()->SetCapabilities({model::Capability::Profile, model::Capability::Lighting});
    selectEffect(pages::kAudioEffect);
    EXPECT_TRUE(shown(L"light_combo_AudiomodeSelectLayout"));
    EXPECT_FALSE(styles->IsEnabled());
    EXPECT_EQ(std::wstring(styles->GetToolTip()), text(L"light_no_audio_input_tip_text"));
    selectEffect(pages::kCustomEffect);
    EXPECT_TRUE(shown(L"lightcustom_layout"));
    const auto painted = keyboard.area(devsim::Area::Colours);
    (void)ui().click(L"custom_bright_color_btn");
    EXPECT_EQ(keyboard.area(devsim::Area::Colours), painted);
    ui().render();
    shoot("light-limited");
}
