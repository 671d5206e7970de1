#include "pages/key_set_page_handler.h"

#include "pages/devices/device_key_button_ui.h"
#include "pages/devices/tessary_keyboard_device.h"
#include "pages/devices/tessary_mouse_device.h"
#include "pages/key_set_control_ui.h"
#include "pages/models/key_list_assignment.h"
#include "pages/models/page_offers.h"
#include "profile/macro_library.h"
#include "shell/page_host.h"
#include "ui/button_ui.h"

#include <map>
#include <memory>

namespace pages {
namespace {

class KeySetHandler {
public:
    KeySetHandler(shell::PageHost& window, PageHooks hooks)
        : m_window(window), m_hooks(std::move(hooks))
    {
        if (!m_hooks.prompt)
            m_hooks.prompt = windowPrompt(m_window);
    }

    void handle(const shell::Route& route, TNotifyUI* msg, shell::ShellDevice* device);
    void refreshTexts();

private:
    struct Bound {
        CKeySetControlUI* page = nullptr;
        std::unique_ptr<KeyListAssignment> keys;
        CDeviceKeyButtonUI* editing = nullptr; // observed; owned by the picture
    };
    // The page of this keyboard or mouse, bound on first use; null when it has none.
    Bound* bind(CTessaryUSBDevice& device);
    void selectKey(Bound& bound, CTessaryUSBDevice& device, int position);
    void writeToDevice(Bound& bound, CTessaryUSBDevice& device);

    shell::PageHost& m_window;
    PageHooks m_hooks;
    std::map<CTessaryUSBDevice*, Bound> m_bound;
};

// The device object of a keyboard or a mouse, the devices with a key list.
CTessaryUSBDevice* keyedDeviceOf(shell::ShellDevice* device)
{
    CControlUI* page = device ? device->page() : nullptr;
    if (!page)
        return nullptr;
    if (auto* keyboard =
            static_cast<CTessaryKeyboardDevice*>(page->GetInterface(L"TessaryKeyboardDevice")))
        return keyboard;
    return static_cast<CTessaryMouseDevice*>(page->GetInterface(L"TessaryMouseDevice"));
}

CTessaryMouseDevice* asMouse(CTessaryUSBDevice& device)
{
    return static_cast<CTessaryMouseDevice*>(device.GetInterface(L"TessaryMouseDevice"));
}

std::vector<std::wstring> macroNames(model::UsbDeviceModel& device)
{
    profile::MacroLibrary library(device.dataFolder());
    library.Load();
    return library.names();
}

KeySetHandler::Bound* KeySetHandler::bind(CTessaryUSBDevice& device)
{
    if (auto found = m_bound.find(&device); found != m_bound.end())
        return found->second.page ? &found->second : nullptr;
    Bound& bound = m_bound[&device];
    bound.page = device.keySetPage();
    if (!bound.page)
        return nullptr;
    CTessaryMouseDevice* mouse = asMouse(device);
    // Only a stored change marks the key map edited, whether chosen or captured.
    if (mouse) {
        bound.keys = std::make_unique<KeyListAssignment>(mouse->mouse(), [mouse] {
            mouse->RedrawKeyLabels();
            mouse->pending().edited(ProfileBlock::KeyMap);
        });
    } else {
        auto& keyboard = static_cast<CTessaryKeyboardDevice&>(device);
        bound.keys = std::make_unique<KeyListAssignment>(keyboard.keyboard(), [&keyboard] {
            keyboard.RedrawKeyLabels();
            keyboard.pending().edited(ProfileBlock::KeyMap);
        });
    }
    bound.page->Bind();
    Bound* self = &bound; // map nodes stay where they are
    bound.page->setShownChanged([self](bool shown) {
        if (self->editing)
            self->editing->setEditing(shown);
    });
    bound.page->SetDeviceKind(device.model().GetKind());
    bound.page->SetOffers(keyPageOffers(device.model().capabilities()));
    bound.page->ShowArea(false);
    bound.page->SetDevice(*bound.keys);
    bound.page->FillMacros(macroNames(device.model()));
    bound.page->SetButtonsEnabled(false);
    return &bound;
}

void KeySetHandler::selectKey(Bound& bound, CTessaryUSBDevice& device, int position)
{
    const auto key =
        position >= 0 ? bound.keys->selectKey(static_cast<std::size_t>(position)) : std::nullopt;
    if (bound.editing)
        bound.editing->setEditing(false);
    bound.editing = nullptr;
    // A button past the profile's key list has nothing to edit: the page stays hidden.
    if (!key) {
        bound.page->ShowArea(false);
        return;
    }
    if (CDeviceKeyButtonUI* button = device.keyButton(position)) {
        button->setEditing(true);
        bound.editing = button;
        const std::wstring title(button->GetToolTipTitle());
        bound.page->ShowKeyName(title.empty() ? std::wstring(button->GetText()) : title);
    }
    // The library may have changed on the macro page since the list was filled.
    bound.page->FillMacros(macroNames(device.model()));
    bound.page->ShowArea(true);
    bound.page->SetKey(key->current, key->defaultCode);
}

void KeySetHandler::writeToDevice(Bound& bound, CTessaryUSBDevice& device)
{
    const auto written = bound.page->WriteToDevice();
    if (!written)
        return;
    const auto& outcome = *written;
    if (outcome.saved) {
        ChangeResult result;
        result.save(*outcome.saved ? model::ProfileResult::Ok : model::ProfileResult::NotSaved);
        result.device(outcome.device.status());
        device.pending().committed(ProfileBlock::KeyMap, result);
    } else {
        // Nothing was saved: the edit stays unsaved as well as unwritten.
        device.pending().written(ProfileBlock::KeyMap, outcome.device.status());
    }
    for (const PanelMessage& words : outcome.messages())
        m_hooks.prompt(words, 0);
}

void KeySetHandler::refreshTexts()
{
    // Only devices the window still holds: a removed device's entry points at freed controls.
    for (std::size_t i = 0; i < m_window.deviceCount(); ++i) {
        CTessaryUSBDevice* keyed = keyedDeviceOf(m_window.deviceAt(i));
        const auto found = keyed ? m_bound.find(keyed) : m_bound.end();
        if (found == m_bound.end() || !found->second.page)
            continue;
        Bound& bound = found->second;
        if (bound.editing) {
            const std::wstring title(bound.editing->GetToolTipTitle());
            bound.page->ShowKeyName(title.empty() ? std::wstring(bound.editing->GetText()) : title);
        }
        bound.page->RefreshTexts();
    }
}

void KeySetHandler::handle(const shell::Route& route, TNotifyUI*, shell::ShellDevice* device)
{
    if (route.command == shell::kLanguageChangedCommand) {
        refreshTexts();
        return;
    }
    CTessaryUSBDevice* keyed = keyedDeviceOf(device);
    if (!keyed)
        return;
    Bound* bound = bind(*keyed);
    if (!bound)
        return;
    // Key capture goes to the page of the device on show.
    m_window.setKeyCaptureClient(bound->page->captureClient());
    const std::wstring_view command = route.command;
    CKeySetControlUI& page = *bound->page;
    if (command == L"key_") {
        // A key or button of the picture opens the key page.
        keyed->openKeyPage();
        selectKey(*bound, *keyed, route.number);
    } else if (!bound->keys->selectedKey() ||
               !keyPageOffers(keyed->model().capabilities()).keys.enabled) {
        // Nothing below has a key to work on before one is selected, or on a device that
        // keeps no key map (its buttons are disabled and say why).
        return;
    } else if (command == L"keyset_function_combo") {
        page.CategorySelected();
    } else if (command == L"keyset_macro_over_combo") {
        page.RepeatSelected();
    } else if (command == L"key_ComBox_check_") {
        page.ModifierSelected(route.number);
    } else if (command == L"key_butt_keydefalut") {
        page.RestoreDefault();
    } else if (command == L"key_butt_keycancel") {
        page.Cancel();
    } else if (command == L"key_butt_prosave") {
        writeToDevice(*bound, *keyed);
    } else {
        // key_butt_keysave, the other choices and the edits that lost focus: kept in the
        // profile in memory until the user writes it.
        page.Apply();
    }
}

} // namespace

void installKeySetHandler(shell::PageHost& window, const PageHooks& hooks)
{
    auto handler = std::make_shared<KeySetHandler>(window, hooks);
    window.setPageHandler(
        shell::RouteOwner::Keys,
        [handler](const shell::Route& route, TNotifyUI* msg, shell::ShellDevice* device) {
            handler->handle(route, msg, device);
        });
}

} // namespace pages
