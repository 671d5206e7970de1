#include "pages/light_page_handlers.h"

#include "pages/custom_controls.h"
#include "pages/devices/device_key_button_ui.h"
#include "pages/devices/tessary_keyboard_device.h"
#include "pages/light_control_ui.h"
#include "pages/light_page_binding.h"
#include "pages/models/light_page_model.h"
#include "pages/page_handlers.h"
#include "shell/page_host.h"
#include "ui/button_ui.h"

#include <memory>
#include <vector>

namespace pages {
namespace {

constexpr int kLightingTab = 1;

CTessaryUSBDevice* deviceObjectOf(shell::ShellDevice* device)
{
    CControlUI* page = device ? device->page() : nullptr;
    return page ? static_cast<CTessaryUSBDevice*>(page->GetInterface(L"TessaryUSBDevice"))
                : nullptr;
}

CTessaryKeyboardDevice* keyboardOf(shell::ShellDevice* device)
{
    CControlUI* page = device ? device->page() : nullptr;
    return page ? static_cast<CTessaryKeyboardDevice*>(page->GetInterface(L"TessaryKeyboardDevice"))
                : nullptr;
}

// A colour component as typed: blanks around digits, or nothing (which reads as 0). Anything
// else is refused on the field rather than read as a colour the user did not mean.
std::optional<std::uint8_t> typedComponent(std::wstring_view text)
{
    const auto first = text.find_first_not_of(L" \t");
    if (first == std::wstring_view::npos)
        return parseColourComponent(text);
    const auto last = text.find_last_not_of(L" \t");
    for (const wchar_t c : text.substr(first, last - first + 1)) {
        if (c < L'0' || c > L'9')
            return std::nullopt;
    }
    return parseColourComponent(text);
}

std::uint8_t& componentOf(Rgb8& colour, wchar_t component)
{
    return component == L'R' ? colour.red : component == L'G' ? colour.green : colour.blue;
}

// An option group reports the option that lost its selection as well.
bool isDeselection(TNotifyUI* msg)
{
    auto* option = msg && msg->pSender
                       ? static_cast<COptionUI*>(msg->pSender->GetInterface(L"Option"))
                       : nullptr;
    return option && !option->IsSelected();
}

class LightingPages {
public:
    LightingPages(shell::PageHost& window, LightingHooks hooks)
        : m_window(window), m_hooks(std::move(hooks))
    {
        if (!m_hooks.pickColour)
            m_hooks.pickColour = windowColourPicker(m_window);
    }

    void lighting(const shell::Route& route, TNotifyUI* msg, shell::ShellDevice* device);
    void audio(const shell::Route& route, TNotifyUI* msg, shell::ShellDevice* device);

private:
    void chooseColour(CTessaryUSBDevice& object, CLightControlUI& page, Rgb8 colour);
    void editComponent(CTessaryUSBDevice& object, CLightControlUI& page, wchar_t component);
    void paintSelection(CTessaryKeyboardDevice& keyboard, TNotifyUI* msg);
    void storeAudioColour(CTessaryUSBDevice& object, CLightControlUI& page, Rgb8 colour);
    // Every lighting change ends here: what the file and the device did not take stays
    // pending on the device, for the window to show and to write again.
    static void note(CTessaryUSBDevice& object, const ChangeResult& result)
    {
        object.pending().committed(ProfileBlock::Lighting, result);
    }
    static void store(CTessaryUSBDevice& object,
                      const std::function<void(profile::LightInfo&)>& change)
    {
        note(object, storeLighting(object.model(), change));
    }
    static void storeAudioOf(CTessaryUSBDevice& object, const profile::AudioLightInfo& audio)
    {
        note(object, storeAudio(object.model(), audio));
    }

    shell::PageHost& m_window;
    LightingHooks m_hooks;
};

void LightingPages::chooseColour(CTessaryUSBDevice& object, CLightControlUI& page, Rgb8 colour)
{
    store(object, [&](profile::LightInfo& settings) { setColour(settings, colour); });
    page.ShowColour(colour);
}

void LightingPages::editComponent(CTessaryUSBDevice& object, CLightControlUI& page,
                                  wchar_t component)
{
    const profile::LightInfo settings = object.model().GetLightSettings();
    Rgb8 colour{settings.red, settings.green, settings.blue};
    const auto value = typedComponent(page.GetEditText(component));
    if (!value) {
        page.ShowColour(colour, CLightControlUI::KeepColourCycle::Yes);
        return;
    }
    componentOf(colour, component) = *value;
    chooseColour(object, page, colour);
}

void LightingPages::paintSelection(CTessaryKeyboardDevice& keyboard, TNotifyUI* msg)
{
    auto* panel = msg ? dynamic_cast<CSelectPanelUI*>(msg->pSender) : nullptr;
    if (!panel)
        return;
    const RECT selection = panel->GetSelectRect();
    std::vector<std::size_t> lights;
    for (int light = 0; light < keyboard.model().lightCount(); ++light) {
        CDeviceKeyButtonUI* button = keyboard.lightButton(light);
        if (!button || !button->IsVisible())
            continue;
        if (selectionTakes(selection, button->GetPos()))
            lights.push_back(static_cast<std::size_t>(light));
    }
    if (!lights.empty())
        note(keyboard, writtenBy(keyboard.keyboard().PaintCustomKeys(lights)));
}

void LightingPages::lighting(const shell::Route& route, TNotifyUI* msg, shell::ShellDevice* device)
{
    CTessaryUSBDevice* object = deviceObjectOf(device);
    CLightControlUI* page = object ? object->lightPage() : nullptr;
    if (!object || !page)
        return;
    const std::wstring_view command = route.command;
    model::UsbDeviceModel& model = object->model();
    CTessaryKeyboardDevice* keyboard = keyboardOf(device);

    if (command == L"light_combo_modeSelect") {
        const int mode = page->GetMode();
        if (mode < 0)
            return;
        const int before = model.GetLightSettings().mode;
        page->SelectMode(mode);
        store(*object, [&](profile::LightInfo& s) { s.mode = std::uint8_t(mode); });
        // The audio effect needs the audio-capture companion; other effects let it rest.
        if (mode == kAudioEffect)
            m_window.startAudioCompanion();
        else if (before == kAudioEffect)
            m_window.pauseAudioCompanion();
    } else if (command == L"deng_light_slider") {
        const int level = page->GetBrightness();
        store(*object, [&](profile::LightInfo& s) { s.brightness = std::uint8_t(level); });
    } else if (command == L"deng_speed_slider") {
        const int speed = page->GetSpeed();
        store(*object, [&](profile::LightInfo& s) { s.speed = std::uint8_t(speed); });
    } else if (command == L"light_combo_ZZCCmodeSelect") {
        const int sub = page->GetSubMode();
        if (keyboard && sub >= 0)
            store(*object, [&](profile::LightInfo& s) { s.subMode = std::uint8_t(sub); });
    } else if (command == L"deng_7color_check") {
        const bool cycle = page->GetSevenColour();
        store(*object, [&](profile::LightInfo& s) { s.multiColour = cycle ? 1 : 0; });
    } else if (command == L"deng_FXL_check" || command == L"deng_FXR_check") {
        if (isDeselection(msg))
            return;
        const std::uint8_t direction = command == L"deng_FXL_check" ? 1 : 0;
        store(*object, [&](profile::LightInfo& s) { s.direction = direction; });
    } else if (command == L"deng_Color_Pallet") {
        chooseColour(*object, *page, componentsOf(page->GetPaletteColour()));
    } else if (command == L"color_option_") {
        chooseColour(*object, *page, componentsOf(page->GetSwatchColour(route.number)));
    } else if (command == L"deng_colordp_btn") {
        const profile::LightInfo s = model.GetLightSettings();
        if (const auto picked = m_hooks.pickColour(argbOf(s.red, s.green, s.blue)))
            chooseColour(*object, *page, componentsOf(*picked));
    } else if (command == L"deng_edit_R" || command == L"deng_edit_G" ||
               command == L"deng_edit_B") {
        editComponent(*object, *page, command.back());
    } else if (command == L"light_combo_custommodeSelect") {
        if (keyboard)
            note(*keyboard, selectCustomGroup(keyboard->keyboard(), page->GetCustomGroup()));
    } else if (command == L"custom_bright_color_btn" || command == L"custom_off_color_btn") {
        if (keyboard)
            note(*keyboard,
                 fillCustomColours(keyboard->keyboard(),
                                   command == L"custom_bright_color_btn" ? CustomFill::Lit
                                                                         : CustomFill::Dark,
                                   page->GetCustomGroup() >= 0));
    } else if (command == L"device_key_light") {
        // A box drawn while the keys are not being painted (another page, another effect)
        // leaves the colours alone.
        if (keyboard && paintsKeys(keyboard->keyboard()))
            paintSelection(*keyboard, msg);
    } else if (command == L"key_") {
        if (keyboard && route.number >= 0)
            note(*keyboard, writtenBy(keyboard->keyboard().PaintCustomKey(
                                static_cast<std::size_t>(route.number))));
    } else if (command == L"deng_same_mode") {
        m_window.applySameLighting();
    }
}

void LightingPages::storeAudioColour(CTessaryUSBDevice& object, CLightControlUI& page, Rgb8 colour)
{
    auto audio = page.GetAudioLightInfo(false);
    if (!audio)
        return;
    setAudioColour(*audio, slotOf(*audio), colour);
    storeAudioOf(object, *audio);
    page.SetAudioLightInfo(*audio);
}

void LightingPages::audio(const shell::Route& route, TNotifyUI* msg, shell::ShellDevice* device)
{
    CTessaryUSBDevice* object = deviceObjectOf(device);
    CLightControlUI* page = object ? object->lightPage() : nullptr;
    if (!object || !page)
        return;
    const std::wstring_view command = route.command;
    if (command == L"light_combo_audiomodeSelect") {
        if (auto audio = page->GetAudioLightInfo(true)) {
            storeAudioOf(*object, *audio);
            page->SetAudioLightInfo(*audio);
            if (object->model().GetLightSettings().mode == kAudioEffect)
                m_window.startAudioCompanion();
        }
    } else if (command == L"deng_7audiocolor_check") {
        if (auto audio = page->GetAudioLightInfo(false))
            storeAudioOf(*object, *audio);
    } else if (command == L"audio_BkColor_check" || command == L"audio_FgColor_check") {
        if (isDeselection(msg))
            return;
        if (auto audio = page->GetAudioLightInfo(false)) {
            storeAudioOf(*object, *audio);
            page->SetAudioLightInfo(*audio);
        }
    } else if (command == L"deng_audioColor_Pallet") {
        storeAudioColour(*object, *page, componentsOf(page->GetAudioPaletteColour()));
    } else if (command == L"audiocolor_option_") {
        storeAudioColour(*object, *page, componentsOf(page->GetAudioSwatchColour(route.number)));
    } else if (command == L"deng_audiocolordp_btn") {
        auto audio = page->GetAudioLightInfo(false);
        if (!audio)
            return;
        const Rgb8 now = audioColour(*audio, slotOf(*audio));
        if (const auto picked = m_hooks.pickColour(argbOf(now.red, now.green, now.blue)))
            storeAudioColour(*object, *page, componentsOf(*picked));
    } else if (command == L"deng_audioedit_R" || command == L"deng_audioedit_G" ||
               command == L"deng_audioedit_B") {
        auto audio = page->GetAudioLightInfo(false);
        if (!audio)
            return;
        Rgb8 colour = audioColour(*audio, slotOf(*audio));
        const auto value = typedComponent(page->GetAudioEditText(command.back()));
        if (!value) {
            page->SetAudioLightInfo(*audio);
            return;
        }
        componentOf(colour, command.back()) = *value;
        storeAudioColour(*object, *page, colour);
    }
}

} // namespace

bool paintsKeys(shell::ShellDevice* device)
{
    CTessaryKeyboardDevice* keyboard = keyboardOf(device);
    return keyboard && paintsKeys(keyboard->keyboard());
}

bool paintsKeys(model::KeyboardModel& keyboard)
{
    return keyboard.GetFunctionTab() == kLightingTab &&
           keyboard.GetLightSettings().mode == kCustomEffect;
}

void installLightingHandlers(shell::PageHost& window, LightingHooks hooks)
{
    auto pages = std::make_shared<LightingPages>(window, std::move(hooks));
    window.setPageHandler(
        shell::RouteOwner::Lighting,
        [pages](const shell::Route& route, TNotifyUI* msg, shell::ShellDevice* device) {
            pages->lighting(route, msg, device);
        });
    window.setPageHandler(
        shell::RouteOwner::Audio,
        [pages](const shell::Route& route, TNotifyUI* msg, shell::ShellDevice* device) {
            pages->audio(route, msg, device);
        });
}

} // namespace pages
