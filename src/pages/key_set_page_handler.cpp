#include "pages/key_set_page_handler.h"

#include "pages/devices/tessary_keyboard_device.h"
#include "pages/find_by_name.h"
#include "pages/key_set_control_ui.h"
#include "pages/models/keyboard_key_assignment.h"
#include "profile/macro_library.h"
#include "shell/page_host.h"

#include <map>
#include <memory>

namespace pages {
namespace {

constexpr std::wstring_view kMacroTooLargeEnglish =
    L"The macros are %d events too long for the device's memory.";
constexpr std::wstring_view kMacroNotWrittenEnglish =
    L"The macros could not be written to the device.";

class KeySetHandler {
public:
    KeySetHandler(shell::PageHost& window, PageHooks hooks)
        : m_window(window), m_hooks(std::move(hooks))
    {
        if (!m_hooks.prompt)
            m_hooks.prompt = windowPrompt(m_window);
    }

    void handle(const shell::Route& route, TNotifyUI* msg, shell::ShellDevice* device);

private:
    struct Bound {
        CKeySetControlUI* page = nullptr;
        std::unique_ptr<KeyboardKeyAssignment> keys;
    };
    // The page of this keyboard, bound on first use; null when the device has none.
    Bound* bind(CTessaryKeyboardDevice& keyboard);
    void selectKey(Bound& bound, CTessaryKeyboardDevice& keyboard, int position);
    void writeToDevice(Bound& bound, CTessaryKeyboardDevice& keyboard);

    shell::PageHost& m_window;
    PageHooks m_hooks;
    std::map<CTessaryKeyboardDevice*, Bound> m_bound;
};

CTessaryKeyboardDevice* keyboardOf(shell::ShellDevice* device)
{
    CControlUI* page = device ? device->page() : nullptr;
    return page ? static_cast<CTessaryKeyboardDevice*>(page->GetInterface(L"TessaryKeyboardDevice"))
                : nullptr;
}

std::vector<std::wstring> macroNames(model::KeyboardModel& keyboard)
{
    profile::MacroLibrary library(keyboard.dataFolder());
    library.Load();
    return library.names();
}

KeySetHandler::Bound* KeySetHandler::bind(CTessaryKeyboardDevice& keyboard)
{
    if (auto found = m_bound.find(&keyboard); found != m_bound.end())
        return found->second.page ? &found->second : nullptr;
    Bound& bound = m_bound[&keyboard];
    // Every device page has a page of this name: take the keyboard's own.
    CControlUI* control = findByName(&keyboard, L"KeySetControlItem");
    bound.page =
        control ? static_cast<CKeySetControlUI*>(control->GetInterface(L"KeySetControl")) : nullptr;
    if (!bound.page)
        return nullptr;
    bound.keys = std::make_unique<KeyboardKeyAssignment>(
        keyboard.keyboard(), [&keyboard] { keyboard.RedrawKeyLabels(); });
    bound.page->Bind();
    bound.page->SetDeviceKind(1);
    bound.page->ShowArea(false);
    bound.page->SetDevice(*bound.keys);
    bound.page->FillMacros(macroNames(keyboard.keyboard()));
    bound.page->SetButtonsEnabled(false);
    return &bound;
}

void KeySetHandler::selectKey(Bound& bound, CTessaryKeyboardDevice& keyboard, int position)
{
    const auto key =
        position >= 0 ? bound.keys->selectKey(static_cast<std::size_t>(position)) : std::nullopt;
    // A button past the profile's key list has nothing to edit: the page stays hidden.
    if (!key) {
        bound.page->ShowArea(false);
        return;
    }
    // The library may have changed on the macro page since the list was filled.
    bound.page->FillMacros(macroNames(keyboard.keyboard()));
    bound.page->ShowArea(true);
    bound.page->SetKey(key->current, key->defaultCode);
}

void KeySetHandler::writeToDevice(Bound& bound, CTessaryKeyboardDevice& keyboard)
{
    const auto outcome = bound.page->WriteToDevice();
    ChangeResult result;
    if (outcome.macroResult != 0) {
        result.device(protocol::Status::NoReply);
        m_hooks.prompt(
            outcome.macroResult > 0
                ? PanelMessage{L"message_text_16", kMacroTooLargeEnglish, outcome.macroResult}
                : PanelMessage{L"message_text_7", kMacroNotWrittenEnglish, {}},
            0);
    }
    if (outcome.macroResult <= 0) {
        result.save(outcome.saved ? model::ProfileResult::Ok : model::ProfileResult::NotSaved);
        if (outcome.keyMapResult != 1)
            result.device(static_cast<protocol::Status>(outcome.keyMapResult));
    }
    keyboard.pending().committed(ProfileBlock::KeyMap, result);
    // A macro refusal has said so already.
    if (outcome.macroResult == 0)
        if (const auto words = changeMessage(result))
            m_hooks.prompt(*words, 0);
}

void KeySetHandler::handle(const shell::Route& route, TNotifyUI*, shell::ShellDevice* device)
{
    CTessaryKeyboardDevice* keyboard = keyboardOf(device);
    if (!keyboard)
        return;
    Bound* bound = bind(*keyboard);
    if (!bound)
        return;
    // Key capture goes to the page of the device on show.
    m_window.setKeyCaptureClient(bound->page->captureClient());
    const std::wstring_view command = route.command;
    CKeySetControlUI& page = *bound->page;
    if (command == L"key_") {
        selectKey(*bound, *keyboard, route.number);
    } else if (!bound->keys->selectedKey()) {
        // Nothing below has a key to work on before one is selected.
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
        writeToDevice(*bound, *keyboard);
    } else {
        // key_butt_keysave, the other choices and the edits that lost focus: kept in the
        // profile in memory until the user writes it.
        page.Apply();
        keyboard->pending().edited(ProfileBlock::KeyMap);
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
