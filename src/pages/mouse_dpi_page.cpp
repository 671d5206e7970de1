#include "pages/mouse_dpi_page.h"

#include "pages/devices/tessary_mouse_device.h"
#include "pages/models/light_page_model.h"
#include "pages/models/mouse_dpi_model.h"
#include "pages/page_handlers.h"
#include "shell/command_routes.h"
#include "shell/page_host.h"
#include "ui/button_ui.h"
#include "ui/edit_ui.h"
#include "ui/resource_manager.h"
#include "ui/slider_ui.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <string>

namespace pages {
namespace {

template <class T> T* as(const OfferedControl& control, std::wstring_view kind)
{
    return control ? static_cast<T*>(control.get()->GetInterface(kind)) : nullptr;
}

std::wstring numbered(std::wstring_view prefix, int number)
{
    return std::wstring(prefix) + std::to_wstring(number);
}

std::wstring textOf(const PanelMessage& message)
{
    CResourceManager* texts = CResourceManager::GetInstance();
    const std::wstring text = texts->HasText(message.textId)
                                  ? std::wstring(texts->GetText(message.textId))
                                  : std::wstring(message.english);
    return message.fill(text);
}

CTessaryMouseDevice* mouseOf(shell::ShellDevice* device)
{
    CControlUI* page = device ? device->page() : nullptr;
    return page ? static_cast<CTessaryMouseDevice*>(page->GetInterface(L"TessaryMouseDevice"))
                : nullptr;
}

class MouseDpiHandler {
public:
    MouseDpiHandler(shell::PageHost& window, PageHooks hooks)
        : m_window(window), m_hooks(std::move(hooks))
    {
        if (!m_hooks.pickColour)
            m_hooks.pickColour = windowColourPicker(m_window);
    }

    void handle(const shell::Route& route, TNotifyUI* msg, shell::ShellDevice* device);

private:
    // An accepted edit is written and read back at once; a refused one only says why.
    void commit(CTessaryMouseDevice& mouse, MouseDpiModel& dpi);

    shell::PageHost& m_window;
    PageHooks m_hooks;
};

void MouseDpiHandler::commit(CTessaryMouseDevice& mouse, MouseDpiModel& dpi)
{
    const DpiCommit done = dpi.commit();
    mouse.pending().committed(ProfileBlock::Settings, done.result);
    showMouseDpiPage(mouse);
    MouseDpiControls& controls = mouse.dpiControls();
    if (const auto words = changeMessage(done.result))
        controls.showStatus(*words);
    else if (!done.heldAsWritten)
        controls.showStatus({L"dpi_not_held_text",
                             L"The mouse holds other values than were written. The change is "
                             L"saved; try again.",
                             {}});
    else
        controls.showStatus({L"dpi_written_text", L"Written to the mouse.", {}});
}

void MouseDpiHandler::handle(const shell::Route& route, TNotifyUI* msg, shell::ShellDevice* device)
{
    if (route.command == shell::kLanguageChangedCommand) {
        for (std::size_t i = 0; i < m_window.deviceCount(); ++i)
            if (CTessaryMouseDevice* shown = mouseOf(m_window.deviceAt(i)))
                shown->dpiControls().refreshTexts();
        return;
    }
    CTessaryMouseDevice* mouse = mouseOf(device);
    if (!mouse)
        return;
    // A control the mouse does not offer is disabled and says why; nothing to answer.
    if (!dpiPageOffers(mouse->model().capabilities()).stages.enabled)
        return;
    MouseDpiModel dpi(mouse->mouse());
    const std::wstring_view command = route.command;
    const int stage = route.number;
    auto* option = msg && msg->pSender
                       ? static_cast<COptionUI*>(msg->pSender->GetInterface(L"Option"))
                       : nullptr;
    bool accepted = false;
    std::optional<PanelMessage> refusal;
    if (command == L"DPI_enable_check_") {
        const bool on = option && option->IsSelected();
        accepted = dpi.setEnabled(stage, on);
        if (!accepted && !on)
            refusal = PanelMessage{
                L"dpi_last_stage_text", L"One stage stays on: the DPI button needs it.", {}};
    } else if (command == L"DPI_select_check_") {
        // The group also reports the option that lost its selection.
        if (option && !option->IsSelected())
            return;
        accepted = dpi.selectCurrent(stage);
        if (!accepted)
            refusal =
                PanelMessage{L"dpi_disabled_stage_text", L"Turn the stage on before using it.", {}};
    } else if (command == L"DPI_slider_") {
        auto* slider = msg && msg->pSender
                           ? static_cast<CSliderUI*>(msg->pSender->GetInterface(L"Slider"))
                           : nullptr;
        if (!slider)
            return;
        if (msg->sType == L"movevaluechanged") {
            // While it moves only the number follows; the mouse is written on release.
            mouse->dpiControls().showSliderDpi(stage, dpi.dpiOfSlider(slider->GetValue()));
            return;
        }
        accepted = dpi.setSlider(stage, slider->GetValue());
    } else if (command == L"DPI_edit_") {
        if (!msg || !msg->pSender)
            return;
        const std::wstring typed(msg->pSender->GetText());
        if (dpi.stage(stage).present && std::to_wstring(dpi.stage(stage).dpi) == typed)
            return; // focus passed through without a change
        accepted = dpi.setTyped(stage, typed);
        if (!accepted && !parseTypedDpi(typed))
            refusal = PanelMessage{
                L"dpi_not_number_text", L"Type the DPI as a whole number, for example 1600.", {}};
    } else if (command == L"DPI_color_option_") {
        const DpiStageShown shown = dpi.stage(stage);
        if (!shown.present)
            return;
        const auto picked = m_hooks.pickColour(argbOf(shown.red, shown.green, shown.blue));
        if (!picked)
            return;
        const Rgb8 colour = componentsOf(*picked);
        accepted = dpi.setColour(stage, colour.red, colour.green, colour.blue);
    } else if (command == L"report_rate_option_") {
        if (option && !option->IsSelected())
            return;
        accepted = dpi.setReportRate(stage);
    }
    if (accepted) {
        commit(*mouse, dpi);
        return;
    }
    // The page goes back to what the profile holds.
    showMouseDpiPage(*mouse);
    if (refusal)
        mouse->dpiControls().showStatus(*refusal);
}

} // namespace

MouseDpiControls::MouseDpiControls(CControlUI* mousePage)
{
    auto bind = [mousePage](std::wstring_view prefix, std::size_t number) {
        return OfferedControl(bindControl(mousePage, numbered(prefix, int(number))));
    };
    for (std::size_t i = 0; i < m_stages.size(); ++i) {
        m_stages[i].enable = bind(L"DPI_enable_check_", i);
        m_stages[i].select = bind(L"DPI_select_check_", i);
        m_stages[i].slider = bind(L"DPI_slider_", i);
        m_stages[i].edit = bind(L"DPI_edit_", i);
        m_stages[i].colour = bind(L"DPI_color_option_", i);
    }
    for (std::size_t i = 0; i < m_reportRates.size(); ++i)
        m_reportRates[i] = bind(L"report_rate_option_", i);
    m_status = bindControl(mousePage, L"dpi_status_label");
}

void MouseDpiControls::showOffers(const DpiPageOffers& offers)
{
    m_offers = offers;
    for (OfferedControl& option : m_reportRates)
        option.show(offers.stages);
    // The stages' own states join in at show().
    for (Stage& stage : m_stages)
        for (OfferedControl* control :
             {&stage.enable, &stage.select, &stage.slider, &stage.edit, &stage.colour})
            control->show(offers.stages);
}

void MouseDpiControls::show(const MouseDpiModel& dpi)
{
    const Offer& offer = m_offers.stages;
    for (int i = 0; i < kDpiStageCount; ++i) {
        const DpiStageShown shown = dpi.stage(i);
        Stage& stage = m_stages[std::size_t(i)];
        if (auto* check = as<CCheckBoxUI>(stage.enable, L"CheckBox"))
            check->SetCheck(shown.enabled, false);
        stage.select.show(offer, shown.enabled);
        if (auto* current = as<COptionUI>(stage.select, L"Option"))
            current->Selected(shown.current, false);
        stage.slider.show(offer, shown.present);
        if (auto* slider = as<CSliderUI>(stage.slider, L"Slider"))
            slider->SetValue(shown.slider);
        stage.edit.show(offer, shown.present);
        if (CControlUI* edit = stage.edit.get())
            edit->SetText(shown.present ? std::to_wstring(shown.dpi) : std::wstring());
        stage.colour.show(offer, shown.present);
        if (CControlUI* swatch = stage.colour.get())
            swatch->SetBkColor(argbOf(shown.red, shown.green, shown.blue));
    }
    const auto rate = dpi.reportRateOption();
    for (int i = 0; i < kReportRateOptions; ++i) {
        if (auto* option = as<COptionUI>(m_reportRates[std::size_t(i)], L"Option"))
            option->Selected(rate == i, false);
    }
}

void MouseDpiControls::showRanges(const model::DpiScale& scale)
{
    const int editMaximum =
        int(std::min<std::uint32_t>(scale.editMaximum(), std::numeric_limits<int>::max()));
    for (const Stage& stage : m_stages) {
        if (auto* slider = as<CSliderUI>(stage.slider, L"Slider")) {
            slider->SetMinValue(0);
            slider->SetMaxValue(scale.sliderMaximum);
        }
        if (auto* edit = as<CEditUI>(stage.edit, L"Edit")) {
            edit->SetMinValue(0);
            edit->SetMaxValue(editMaximum);
        }
    }
}

void MouseDpiControls::showSliderDpi(int stage, std::int64_t dpi)
{
    if (stage < 0 || stage >= kDpiStageCount)
        return;
    if (CControlUI* edit = m_stages[std::size_t(stage)].edit.get())
        edit->SetText(std::to_wstring(dpi));
}

void MouseDpiControls::showStatus(const PanelMessage& message)
{
    m_statusShown = message;
    refreshTexts();
}

void MouseDpiControls::refreshTexts()
{
    if (m_status && m_statusShown)
        m_status->SetText(textOf(*m_statusShown));
}

void showMouseDpiPage(CTessaryMouseDevice& mouse)
{
    mouse.dpiControls().show(MouseDpiModel(mouse.mouse()));
}

void installMouseDpiPage(shell::PageHost& window, const PageHooks& hooks)
{
    auto handler = std::make_shared<MouseDpiHandler>(window, hooks);
    window.setPageHandler(
        shell::RouteOwner::Mouse,
        [handler](const shell::Route& route, TNotifyUI* msg, shell::ShellDevice* device) {
            handler->handle(route, msg, device);
        });
}

} // namespace pages
