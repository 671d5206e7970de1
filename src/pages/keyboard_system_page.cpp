#include "pages/keyboard_system_page.h"

#include "ui/button_ui.h"
#include "ui/slider_ui.h"

namespace pages {
namespace {

COptionUI* asOption(const OfferedControl& control)
{
    return control ? static_cast<COptionUI*>(control.get()->GetInterface(L"Option")) : nullptr;
}

void select(const OfferedControl& control, bool on)
{
    if (COptionUI* option = asOption(control))
        option->Selected(on, false);
}

bool isSelected(const OfferedControl& control)
{
    COptionUI* option = asOption(control);
    return option && option->IsSelected();
}

template <std::size_t N> void selectOne(const std::array<OfferedControl, N>& options, int index)
{
    for (std::size_t i = 0; i < N; ++i)
        select(options[i], static_cast<int>(i) == index);
}

} // namespace

KeyboardSystemPage::KeyboardSystemPage(CControlUI* devicePage)
{
    auto bind = [devicePage](std::wstring_view name) {
        return OfferedControl(bindControl(devicePage, name));
    };
    for (std::size_t i = 0; i < m_controls.pollingRate.size(); ++i)
        m_controls.pollingRate[i] = bind(L"polling_rate_option_" + std::to_wstring(i));
    for (std::size_t i = 0; i < m_controls.repeatDelay.size(); ++i)
        m_controls.repeatDelay[i] = bind(L"repeat_delay_check_" + std::to_wstring(i));
    m_controls.repeatRate = bind(L"repeat_rate_slider");
    m_controls.winLock = bind(L"winlockflag_option");
    m_controls.wFlag = bind(L"wflag_option");
    m_controls.sixKey = bind(L"6flag_option");
    m_controls.delayLabel = bindControl(devicePage, L"repeat_delay_time_label1");
    m_controls.repeatInput = bindControl(devicePage, L"repeat_input_richedit");
    m_controls.textLookup = bindControl(devicePage, L"text_test");
}

std::wstring KeyboardSystemPage::textOf(std::wstring_view id) const
{
    CControlUI* lookup = m_controls.textLookup;
    if (!lookup)
        return std::wstring(id);
    lookup->SetResourceText(true);
    lookup->SetText(id);
    return std::wstring(lookup->GetText());
}

void KeyboardSystemPage::SetPollingRate(int index)
{
    selectOne(m_controls.pollingRate, clampOptionIndex(index));
}

void KeyboardSystemPage::SetRepeatDelay(int index)
{
    selectOne(m_controls.repeatDelay, clampOptionIndex(index));
    ShowRepeatDelay(index);
}

void KeyboardSystemPage::ShowRepeatDelay(int index)
{
    if (CControlUI* label = m_controls.delayLabel)
        // The option's own words, so the unit reads the same here and on the options.
        label->SetText(
            textOf(L"Repeat_Delay_Time") +
            textOf(L"repeat_delay_" + std::to_wstring(clampOptionIndex(index)) + L"_text"));
}

void KeyboardSystemPage::SetRepeatRate(int value)
{
    CControlUI* control = m_controls.repeatRate.get();
    if (auto* slider =
            control ? static_cast<CSliderUI*>(control->GetInterface(L"Slider")) : nullptr)
        slider->SetValue(value);
}

int KeyboardSystemPage::GetRepeatRate() const
{
    CControlUI* control = m_controls.repeatRate.get();
    auto* slider = control ? static_cast<CSliderUI*>(control->GetInterface(L"Slider")) : nullptr;
    return slider ? slider->GetValue() : 0;
}

void KeyboardSystemPage::SetWinLock(bool on)
{
    select(m_controls.winLock, on);
}
void KeyboardSystemPage::SetWFlag(bool on)
{
    select(m_controls.wFlag, on);
}
void KeyboardSystemPage::SetSixKeyFlag(bool on)
{
    select(m_controls.sixKey, on);
}
bool KeyboardSystemPage::GetWinLock() const
{
    return isSelected(m_controls.winLock);
}
bool KeyboardSystemPage::GetWFlag() const
{
    return isSelected(m_controls.wFlag);
}
bool KeyboardSystemPage::GetSixKeyFlag() const
{
    return isSelected(m_controls.sixKey);
}

void KeyboardSystemPage::ClearRepeatInput()
{
    if (CControlUI* edit = m_controls.repeatInput)
        edit->SetText(L"");
}

void KeyboardSystemPage::SetRepeatInputTip()
{
    if (CControlUI* edit = m_controls.repeatInput)
        edit->SetAttribute(L"tipvalue", textOf(L"Repeat_input_text"));
}

void KeyboardSystemPage::RefreshTexts()
{
    SetRepeatInputTip();
    for (std::size_t i = 0; i < m_controls.repeatDelay.size(); ++i) {
        if (isSelected(m_controls.repeatDelay[i])) {
            ShowRepeatDelay(static_cast<int>(i));
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

void KeyboardSystemPage::ShowOffers(const SystemPageOffers& offers)
{
    for (OfferedControl& option : m_controls.pollingRate)
        option.show(offers.deviceFields);
    for (OfferedControl* flag : {&m_controls.winLock, &m_controls.wFlag, &m_controls.sixKey})
        flag->show(offers.deviceFields);
    for (OfferedControl& option : m_controls.repeatDelay)
        option.show(offers.profileFields);
    m_controls.repeatRate.show(offers.profileFields);
}

} // namespace pages
