#include "pages/mouse_dpi_page.h"

#include "pages/devices/tessary_mouse_device.h"
#include "pages/find_by_name.h"
#include "pages/models/light_page_model.h"
#include "pages/models/mouse_dpi_model.h"
#include "pages/page_handlers.h"
#include "shell/page_host.h"
#include "ui/button_ui.h"
#include "ui/edit_ui.h"
#include "ui/resource_manager.h"
#include "ui/slider_ui.h"

#include <memory>
#include <string>

namespace pages {
namespace {

template <class T> T* control(CControlUI* page, const std::wstring& name, std::wstring_view kind)
{
    CControlUI* found = findByName(page, name);
    return found ? static_cast<T*>(found->GetInterface(kind)) : nullptr;
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

void showStatus(CControlUI* page, const PanelMessage& message)
{
    if (CControlUI* status = findByName(page, L"dpi_status_label"))
        status->SetText(textOf(message));
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
    if (const auto words = changeMessage(done.result))
        showStatus(&mouse, *words);
    else if (!done.heldAsWritten)
        showStatus(&mouse, {L"dpi_not_held_text",
                            L"The mouse holds other values than were written. The change is "
                            L"saved; try again.",
                            {}});
    else
        showStatus(&mouse, {L"dpi_written_text", L"Written to the mouse.", {}});
}

void MouseDpiHandler::handle(const shell::Route& route, TNotifyUI* msg, shell::ShellDevice* device)
{
    CTessaryMouseDevice* mouse = mouseOf(device);
    if (!mouse)
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
            if (auto* edit = control<CEditUI>(mouse, numbered(L"DPI_edit_", stage), L"Edit"))
                edit->SetText(std::to_wstring(dpi.dpiOfSlider(slider->GetValue())));
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
        showStatus(mouse, *refusal);
}

} // namespace

void showMouseDpiPage(CTessaryMouseDevice& mouse)
{
    MouseDpiModel dpi(mouse.mouse());
    for (int i = 0; i < kDpiStageCount; ++i) {
        const DpiStageShown shown = dpi.stage(i);
        if (auto* check =
                control<CCheckBoxUI>(&mouse, numbered(L"DPI_enable_check_", i), L"CheckBox"))
            check->SetCheck(shown.enabled, false);
        if (auto* current =
                control<COptionUI>(&mouse, numbered(L"DPI_select_check_", i), L"Option")) {
            current->SetEnabled(shown.enabled);
            current->Selected(shown.current, false);
        }
        if (auto* slider = control<CSliderUI>(&mouse, numbered(L"DPI_slider_", i), L"Slider")) {
            slider->SetEnabled(shown.present);
            slider->SetValue(shown.slider);
        }
        if (auto* edit = control<CEditUI>(&mouse, numbered(L"DPI_edit_", i), L"Edit")) {
            edit->SetEnabled(shown.present);
            edit->SetText(shown.present ? std::to_wstring(shown.dpi) : std::wstring());
        }
        if (CControlUI* swatch = findByName(&mouse, numbered(L"DPI_color_option_", i))) {
            swatch->SetEnabled(shown.present);
            swatch->SetBkColor(argbOf(shown.red, shown.green, shown.blue));
        }
    }
    const auto rate = dpi.reportRateOption();
    for (int i = 0; i < kReportRateOptions; ++i) {
        if (auto* option =
                control<COptionUI>(&mouse, numbered(L"report_rate_option_", i), L"Option"))
            option->Selected(rate == i, false);
    }
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
