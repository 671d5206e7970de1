#include "pages/keyboard_system_page.h"

#include "pages/find_by_name.h"
#include "pages/models/system_settings_model.h"
#include "ui/button_ui.h"
#include "ui/paint_manager_ui.h"
#include "ui/slider_ui.h"

namespace pages {

CControlUI* KeyboardSystemPage::find(std::wstring_view name) const
{
    return findByName(m_page, name);
}

void KeyboardSystemPage::selectOne(std::wstring_view prefix, int count, int index)
{
    for (int i = 0; i < count; ++i)
        setOption(std::wstring(prefix) + std::to_wstring(i), i == index);
}

void KeyboardSystemPage::setOption(std::wstring_view name, bool on)
{
    if (CControlUI* control = find(name))
        if (auto* button = static_cast<COptionUI*>(control->GetInterface(L"Option")))
            button->Selected(on, false);
}

bool KeyboardSystemPage::option(std::wstring_view name)
{
    CControlUI* control = find(name);
    auto* button = control ? static_cast<COptionUI*>(control->GetInterface(L"Option")) : nullptr;
    return button && button->IsSelected();
}

std::wstring KeyboardSystemPage::textOf(std::wstring_view id)
{
    CControlUI* lookup = find(L"text_test");
    if (!lookup)
        return std::wstring(id);
    lookup->SetResourceText(true);
    lookup->SetText(id);
    return std::wstring(lookup->GetText());
}

void KeyboardSystemPage::SetPollingRate(int index)
{
    selectOne(L"polling_rate_option_", kPollingRateOptions, clampOptionIndex(index));
}

void KeyboardSystemPage::SetRepeatDelay(int index)
{
    selectOne(L"repeat_delay_check_", kRepeatDelayOptions, clampOptionIndex(index));
    ShowRepeatDelay(index);
}

void KeyboardSystemPage::ShowRepeatDelay(int index)
{
    if (CControlUI* label = find(L"repeat_delay_time_label1"))
        // The option's own words, so the unit reads the same here and on the options.
        label->SetText(
            textOf(L"Repeat_Delay_Time") +
            textOf(L"repeat_delay_" + std::to_wstring(clampOptionIndex(index)) + L"_text"));
}

void KeyboardSystemPage::SetRepeatRate(int value)
{
    if (CControlUI* control = find(L"repeat_rate_slider"))
        if (auto* slider = static_cast<CSliderUI*>(control->GetInterface(L"Slider")))
            slider->SetValue(value);
}

int KeyboardSystemPage::GetRepeatRate()
{
    CControlUI* control = find(L"repeat_rate_slider");
    auto* slider = control ? static_cast<CSliderUI*>(control->GetInterface(L"Slider")) : nullptr;
    return slider ? slider->GetValue() : 0;
}

void KeyboardSystemPage::SetWinLock(bool on)
{
    setOption(L"winlockflag_option", on);
}
void KeyboardSystemPage::SetWFlag(bool on)
{
    setOption(L"wflag_option", on);
}
void KeyboardSystemPage::SetSixKeyFlag(bool on)
{
    setOption(L"6flag_option", on);
}
bool KeyboardSystemPage::GetWinLock()
{
    return option(L"winlockflag_option");
}
bool KeyboardSystemPage::GetWFlag()
{
    return option(L"wflag_option");
}
bool KeyboardSystemPage::GetSixKeyFlag()
{
    return option(L"6flag_option");
}

void KeyboardSystemPage::ClearRepeatInput()
{
    if (CControlUI* edit = find(L"repeat_input_richedit"))
        edit->SetText(L"");
}

void KeyboardSystemPage::SetRepeatInputTip()
{
    if (CControlUI* edit = find(L"repeat_input_richedit"))
        edit->SetAttribute(L"tipvalue", textOf(L"Repeat_input_text"));
}

void KeyboardSystemPage::RefreshTexts()
{
    SetRepeatInputTip();
    for (int i = 0; i < kRepeatDelayOptions; ++i) {
        if (option(L"repeat_delay_check_" + std::to_wstring(i))) {
            ShowRepeatDelay(i);
            break;
        }
    }
}

void KeyboardSystemPage::Show(const profile::KeyboardSystemStages& stages)
{
    SetWinLock(stages.winFlag != 0);
    SetWFlag(stages.wFlag != 0);
    SetSixKeyFlag(stages.key6Flag != 0);
    SetRepeatRate(stages.repeat);
    SetRepeatDelay(stages.repeatDelay);
    ClearRepeatInput();
    SetRepeatInputTip();
    SetPollingRate(static_cast<std::int16_t>(stages.pollingRate));
}

} // namespace pages
