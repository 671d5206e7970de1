#include "pages/light_control_ui.h"

#include "pages/find_by_name.h"
#include "ui/button_ui.h"
#include "ui/color_palette_ui.h"
#include "ui/combo_ui.h"
#include "ui/list_ui.h"
#include "ui/slider_ui.h"

#include <string>

namespace {

constexpr int kModeRowHeight = 30;
constexpr DWORD kAccent = 0xFF1EA7FF;
constexpr DWORD kDimmed = 0xFF2D3640;

std::wstring editName(std::wstring_view prefix, wchar_t component)
{
    return std::wstring(prefix) + component;
}

} // namespace

void* CLightControlUI::GetInterface(std::wstring_view name)
{
    if (name == L"LightControl")
        return this;
    return CHorizontalLayoutUI::GetInterface(name);
}

CControlUI* CLightControlUI::find(std::wstring_view name)
{
    return pages::findByName(this, name);
}

void CLightControlUI::setEnabled(std::wstring_view name, const std::optional<bool>& enabled)
{
    CControlUI* area = enabled ? find(name) : nullptr;
    if (!area)
        return;
    const bool on = *enabled;
    area->FindControl(
        [](CControlUI* control, void* data) -> CControlUI* {
            const bool on = *static_cast<bool*>(data);
            control->SetEnabled(on);
            if (auto* slider = static_cast<CSliderUI*>(control->GetInterface(L"Slider"))) {
                slider->SetForeColor(on ? kAccent : kDimmed);
                slider->SetAttribute(L"thumbcolor", on ? L"#FFE6EDF3" : L"#FF4A525C");
            }
            if (auto* option = static_cast<COptionUI*>(control->GetInterface(L"Option"));
                option && std::wstring_view(option->GetSelectedImage()).starts_with(L"common/btn"))
                option->SetSelectedImage(on ? L"common/btn_accent.svg"
                                            : L"common/btn_accent_dim.svg");
            return nullptr; // every control below, not the first
        },
        const_cast<bool*>(&on), UIFIND_ALL);
}

void CLightControlUI::setShown(std::wstring_view name, const std::optional<bool>& shown)
{
    if (!shown)
        return;
    if (CControlUI* control = find(name))
        control->SetVisible(*shown);
}

void CLightControlUI::setOption(std::wstring_view name, bool selected)
{
    CControlUI* control = find(name);
    if (auto* option =
            control ? static_cast<COptionUI*>(control->GetInterface(L"Option")) : nullptr)
        option->Selected(selected, false);
}

bool CLightControlUI::isOptionSelected(std::wstring_view name)
{
    CControlUI* control = find(name);
    auto* option = control ? static_cast<COptionUI*>(control->GetInterface(L"Option")) : nullptr;
    return option && option->IsSelected();
}

int CLightControlUI::comboSelection(std::wstring_view name)
{
    CControlUI* control = find(name);
    auto* combo = control ? static_cast<CComboUI*>(control->GetInterface(L"Combo")) : nullptr;
    if (!combo)
        return -1;
    // A selection waiting for its combo to show is the page's selection already.
    if (const auto pending = m_pendingSelections.find(name); pending != m_pendingSelections.end())
        return pending->second < combo->GetCount() ? pending->second : -1;
    return combo->GetCurSel();
}

void CLightControlUI::selectCombo(std::wstring_view name, int index)
{
    m_pendingSelections.insert_or_assign(std::wstring(name), index);
    retrySelections();
}

void CLightControlUI::retrySelections()
{
    for (auto it = m_pendingSelections.begin(); it != m_pendingSelections.end();) {
        CControlUI* control = find(it->first);
        auto* combo = control ? static_cast<CComboUI*>(control->GetInterface(L"Combo")) : nullptr;
        const int index = combo && it->second < combo->GetCount() ? it->second : -1;
        if (!combo || combo->GetCurSel() == index || combo->SelectItem(index, false, false))
            it = m_pendingSelections.erase(it);
        else
            ++it;
    }
}

void CLightControlUI::SetAttribute(std::wstring_view name, std::wstring_view value)
{
    if (name != L"effectnames") {
        CHorizontalLayoutUI::SetAttribute(name, value);
        return;
    }
    m_ownEffectNames.clear();
    while (!value.empty()) {
        const auto end = value.find(L';');
        m_ownEffectNames.emplace_back(value.substr(0, end));
        if (end == std::wstring_view::npos)
            break;
        value = value.substr(end + 1);
    }
}

void CLightControlUI::DoInit()
{
    CHorizontalLayoutUI::DoInit();
    ownOptionGroups();
}

void CLightControlUI::ownOptionGroups()
{
    if (m_groupsOwned)
        return;
    m_groupsOwned = true;
    static unsigned pages = 0;
    const std::wstring suffix = L"#" + std::to_wstring(++pages);
    FindControl(
        [](CControlUI* control, void* data) -> CControlUI* {
            auto* option = static_cast<COptionUI*>(control->GetInterface(L"Option"));
            if (option && !option->GetGroup().empty())
                option->SetGroup(option->GetGroup() + *static_cast<const std::wstring*>(data));
            return nullptr;
        },
        const_cast<std::wstring*>(&suffix), UIFIND_ALL);
}

void CLightControlUI::SetInternVisible(bool visible)
{
    CHorizontalLayoutUI::SetInternVisible(visible);
    if (visible)
        retrySelections();
}

int CLightControlUI::sliderValue(std::wstring_view name)
{
    CControlUI* control = find(name);
    auto* slider = control ? static_cast<CSliderUI*>(control->GetInterface(L"Slider")) : nullptr;
    return slider ? slider->GetValue() : 0;
}

void CLightControlUI::setSliderValue(std::wstring_view name, int value)
{
    CControlUI* control = find(name);
    if (auto* slider =
            control ? static_cast<CSliderUI*>(control->GetInterface(L"Slider")) : nullptr)
        slider->SetValue(value);
}

void CLightControlUI::InitModes(std::span<const std::wstring> names,
                                std::span<const std::int32_t> visible, int maxBrightness,
                                int maxSpeed)
{
    CControlUI* control = find(L"light_combo_modeSelect");
    if (auto* combo = control ? static_cast<CComboUI*>(control->GetInterface(L"Combo")) : nullptr) {
        combo->RemoveAll();
        for (std::size_t i = 0; i < names.size(); ++i) {
            auto* row = new CListLabelElementUI();
            row->SetFixedHeight(kModeRowHeight);
            row->SetResourceText(true);
            row->SetText(names[i]);
            row->SetUserData(names[i]);
            row->SetVisible(i < visible.size() && visible[i] != 0);
            combo->Add(row);
        }
    }
    for (const auto& [name, maximum] : {std::pair{L"deng_light_slider", maxBrightness},
                                        std::pair{L"deng_speed_slider", maxSpeed}}) {
        CControlUI* found = find(name);
        if (auto* slider =
                found ? static_cast<CSliderUI*>(found->GetInterface(L"Slider")) : nullptr)
            slider->SetMaxValue(maximum);
    }
}

int CLightControlUI::ModeCount()
{
    CControlUI* control = find(L"light_combo_modeSelect");
    auto* combo = control ? static_cast<CComboUI*>(control->GetInterface(L"Combo")) : nullptr;
    return combo ? combo->GetCount() : 0;
}

void CLightControlUI::showColourOn(std::wstring_view prefix, std::wstring_view palette,
                                   std::wstring_view button, pages::Rgb8 colour)
{
    for (const auto& [component, value] :
         {std::pair{L'R', colour.red}, std::pair{L'G', colour.green},
          std::pair{L'B', colour.blue}}) {
        if (CControlUI* edit = find(editName(prefix, component)))
            edit->SetText(std::to_wstring(value));
    }
    const std::uint32_t argb = pages::argbOf(colour.red, colour.green, colour.blue);
    CControlUI* found = find(palette);
    if (auto* pallet =
            found ? static_cast<CColorPaletteUI*>(found->GetInterface(L"ColorPalette")) : nullptr)
        pallet->SetSelectColor(argb);
    if (CControlUI* swatch = find(button))
        swatch->SetBkColor(argb);
}

void CLightControlUI::ShowColour(pages::Rgb8 colour, KeepColourCycle keep)
{
    showColourOn(L"deng_edit_", L"deng_Color_Pallet", L"deng_colordp_btn", colour);
    if (keep == KeepColourCycle::No)
        setOption(L"deng_7color_check", false);
}

void CLightControlUI::SetLightInfo(const profile::LightInfo& settings)
{
    selectCombo(L"light_combo_modeSelect", settings.mode);
    setSliderValue(L"deng_light_slider", settings.brightness);
    setSliderValue(L"deng_speed_slider", settings.speed);
    showColourOn(L"deng_edit_", L"deng_Color_Pallet", L"deng_colordp_btn",
                 {settings.red, settings.green, settings.blue});
    setOption(L"deng_7color_check", settings.multiColour != 0);
    selectCombo(L"light_combo_ZZCCmodeSelect", settings.subMode);
    setOption(L"deng_FXL_check", settings.direction != 0);
    setOption(L"deng_FXR_check", settings.direction == 0);
    applyStates(settings.mode);
}

void CLightControlUI::SelectMode(int index)
{
    selectCombo(L"light_combo_modeSelect", index);
    applyStates(index);
}

void CLightControlUI::SetSameModeAllowed(bool allowed)
{
    m_sameAllowed = allowed;
    applyStates(GetMode());
}

void CLightControlUI::SetCapabilities(const model::Capabilities& capabilities)
{
    m_limits = pages::lightPageLimits(capabilities);
    applyLimits();
}

void CLightControlUI::applyLimits()
{
    for (const pages::LightPageLimit& limit : m_limits) {
        CControlUI* area = find(limit.area);
        if (!area)
            continue;
        setEnabled(limit.area, false);
        area->FindControl(
            [](CControlUI* control, void* data) -> CControlUI* {
                // Only text ids can be swapped for another id; literal texts keep their tip.
                if (control->IsResourceText())
                    control->SetToolTip(*static_cast<const std::wstring_view*>(data));
                return nullptr;
            },
            const_cast<std::wstring_view*>(&limit.reasonText), UIFIND_ALL);
    }
}

void CLightControlUI::applyStates(int effect)
{
    pages::LightPageStates states = pages::lightPageStates(m_kind, effect, m_sameAllowed);
    // The colour area holds the others: disabled, nothing inside it is usable.
    if (states.colourLayoutEnabled == false) {
        for (auto* inner :
             {&states.rgbEnabled, &states.sevenColourEnabled, &states.colourAreasEnabled})
            *inner = false;
    }
    if (CControlUI* colours = find(L"light_color_layout"); colours && states.colourLayoutEnabled)
        colours->SetEnabled(*states.colourLayoutEnabled);
    setEnabled(L"deng_rgb_layout", states.rgbEnabled);
    setShown(L"lightcustom_layout", states.customShown);
    setShown(L"deng_same_mode", states.sameShown);
    // Without a shared number the button stays away; the page says why instead.
    // Effects with a row of their own leave the card no room for it.
    const bool extraRow = states.audioModeShown.value_or(false) ||
                          states.subModeShown.value_or(false) || states.customShown.value_or(false);
    setShown(L"deng_same_mode_note",
             m_sameAllowed && !states.sameShown.value_or(false) && !extraRow);
    setEnabled(L"deng_fx_layout", states.fxEnabled);
    setEnabled(L"deng_light_layout", states.lightEnabled);
    setEnabled(L"deng_speed_layout", states.speedEnabled);
    setShown(L"deng_speed_layout", states.speedShown);
    setShown(L"light_combo_ZZCCmodeSelectLayout", states.subModeShown);
    setEnabled(L"deng_7color_check", states.sevenColourEnabled);
    setEnabled(L"deng_color_layout", states.colourAreasEnabled);
    setEnabled(L"colorpallet_layout", states.colourAreasEnabled);
    setShown(L"light_combo_AudiomodeSelectLayout", states.audioModeShown);
    if (states.colourTab) {
        CControlUI* control = find(L"light_color_tablayout");
        if (auto* tabs =
                control ? static_cast<CTabLayoutUI*>(control->GetInterface(L"TabLayout")) : nullptr)
            tabs->SelectItem(*states.colourTab);
    }
    for (const auto& [name, text] : {std::pair{L"deng_FXL_check", states.firstDirectionText},
                                     std::pair{L"deng_FXR_check", states.secondDirectionText}}) {
        CControlUI* option = text ? find(name) : nullptr;
        if (option) {
            option->SetResourceText(true);
            option->SetText(*text);
        }
    }
    applyLimits();
    retrySelections();
}

int CLightControlUI::GetMode()
{
    return comboSelection(L"light_combo_modeSelect");
}

int CLightControlUI::GetBrightness()
{
    return sliderValue(L"deng_light_slider");
}

int CLightControlUI::GetSpeed()
{
    return sliderValue(L"deng_speed_slider");
}

int CLightControlUI::GetSubMode()
{
    return comboSelection(L"light_combo_ZZCCmodeSelect");
}

int CLightControlUI::GetCustomGroup()
{
    return comboSelection(L"light_combo_custommodeSelect");
}

void CLightControlUI::SetCustomGroup(int group)
{
    selectCombo(L"light_combo_custommodeSelect", group);
}

std::wstring CLightControlUI::GetEditText(wchar_t component)
{
    CControlUI* edit = find(editName(L"deng_edit_", component));
    return edit ? std::wstring(edit->GetText()) : std::wstring();
}

std::wstring CLightControlUI::GetAudioEditText(wchar_t component)
{
    CControlUI* edit = find(editName(L"deng_audioedit_", component));
    return edit ? std::wstring(edit->GetText()) : std::wstring();
}

std::uint32_t CLightControlUI::GetPaletteColour()
{
    CControlUI* found = find(L"deng_Color_Pallet");
    auto* pallet =
        found ? static_cast<CColorPaletteUI*>(found->GetInterface(L"ColorPalette")) : nullptr;
    return pallet ? pallet->GetSelectColor() : 0xFF000000u;
}

std::uint32_t CLightControlUI::GetAudioPaletteColour()
{
    CControlUI* found = find(L"deng_audioColor_Pallet");
    auto* pallet =
        found ? static_cast<CColorPaletteUI*>(found->GetInterface(L"ColorPalette")) : nullptr;
    return pallet ? pallet->GetSelectColor() : 0xFF000000u;
}

bool CLightControlUI::GetSevenColour()
{
    return isOptionSelected(L"deng_7color_check");
}

std::uint32_t CLightControlUI::GetSwatchColour(int n)
{
    CControlUI* swatch = find(L"color_option_" + std::to_wstring(n));
    return swatch ? swatch->GetBkColor() : 0;
}

std::uint32_t CLightControlUI::GetAudioSwatchColour(int n)
{
    CControlUI* swatch = find(L"audiocolor_option_" + std::to_wstring(n));
    return swatch ? swatch->GetBkColor() : 0;
}

void CLightControlUI::SetAudioLightInfo(const profile::AudioLightInfo& audio)
{
    m_audio = audio;
    selectCombo(L"light_combo_audiomodeSelect", audio.audioMode);
    const pages::AudioColourSlot slot = pages::slotOf(audio);
    if (slot == pages::AudioColourSlot::Foreground) {
        setOption(L"audio_FgColor_check", true);
        setOption(L"audio_BkColor_check", false);
        setOption(L"deng_7audiocolor_check", audio.multiColour != 0);
    } else {
        setOption(L"audio_BkColor_check", true);
        setOption(L"audio_FgColor_check", false);
    }
    showColourOn(L"deng_audioedit_", L"deng_audioColor_Pallet", L"deng_audiocolordp_btn",
                 pages::audioColour(audio, slot));
    const bool editable = audio.audioMode != pages::kNoAudioColourMode;
    setEnabled(L"light_audiocolor_layout", editable);
    setEnabled(L"audiocolorpallet_layout", editable);
}

std::optional<profile::AudioLightInfo> CLightControlUI::GetAudioLightInfo(bool takeButtonColour)
{
    CControlUI* background = find(L"audio_BkColor_check");
    CControlUI* foreground = find(L"audio_FgColor_check");
    CControlUI* seven = find(L"deng_7audiocolor_check");
    CControlUI* button = find(L"deng_audiocolordp_btn");
    if (!background || !foreground || !seven || !button || !find(L"light_combo_audiomodeSelect"))
        return std::nullopt;
    const int mode = comboSelection(L"light_combo_audiomodeSelect");
    if (mode >= 0)
        m_audio.audioMode = static_cast<std::uint8_t>(mode);
    m_audio.multiColour = isOptionSelected(L"deng_7audiocolor_check") ? 1 : 0;
    if (isOptionSelected(L"audio_BkColor_check"))
        m_audio.colourSelector = 0;
    else if (isOptionSelected(L"audio_FgColor_check"))
        m_audio.colourSelector = 1;
    if (takeButtonColour) {
        const pages::Rgb8 colour = pages::componentsOf(button->GetBkColor());
        if (pages::slotOf(m_audio) == pages::AudioColourSlot::Foreground) {
            m_audio.foreRed = colour.red;
            m_audio.foreGreen = colour.green;
            m_audio.foreBlue = colour.blue;
        } else {
            m_audio.backRed = colour.red;
            m_audio.backGreen = colour.green;
            m_audio.backBlue = colour.blue;
        }
    }
    return m_audio;
}
