// The keyboard picture's key labels: what each key does now, against its own name.
#include "pages/devices/device_key_button_ui.h"
#include "pages/devices/tessary_keyboard_device.h"
#include "profile/key_page_state.h"
#include "profile/macro_library.h"
#include "shell/command_routes.h"
#include "ui/paint_manager_ui.h"

namespace {

// A picture that names no mark of its own gets the one drawn for its key cap's size.
void giveDefaultMark(CDeviceKeyButtonUI& button)
{
    constexpr std::wstring_view kNormal = L"_normal.svg";
    if (!button.keySetImage().empty())
        return;
    std::wstring image(button.GetNormalImage());
    if (!image.ends_with(kNormal))
        return;
    image.replace(image.size() - kNormal.size(), kNormal.size(), L"_keyset.svg");
    button.SetAttribute(L"keysetimage", image);
}

} // namespace

void CTessaryKeyboardDevice::RedrawKeyLabels()
{
    model::KeyboardModel& model = keyboard();
    profile::MacroLibrary library(model.dataFolder());
    library.Load();
    CControlUI* lookup =
        m_pManager != nullptr ? m_pManager->FindSubControlByName(this, L"text_test") : nullptr;
    auto text = [lookup](std::wstring_view id) {
        if (lookup == nullptr)
            return std::wstring(id);
        lookup->SetResourceText(true);
        lookup->SetText(id);
        return std::wstring(lookup->GetText());
    };
    const std::wstring keySet = text(L"Key_Set");
    const auto& keys = model.keys();
    for (std::size_t position = 0; position < keys.size(); ++position) {
        CDeviceKeyButtonUI* button = keyButton(static_cast<int>(position));
        // Positions past the position table have no own name and no button to mark.
        const std::wstring_view ownId = profile::keyboardOwnNameId(position);
        if (button == nullptr || ownId.empty())
            continue;
        const profile::LabelText label = profile::KeyLabel(keys[position].current, library.names());
        std::wstring shown;
        if (label.kind == profile::LabelText::Kind::Unchanged)
            continue;
        if (label.kind == profile::LabelText::Kind::Literal) {
            shown = label.literal;
        } else {
            for (const auto& id : label.nameIds) {
                if (!shown.empty())
                    shown += L'+';
                shown += text(id);
            }
        }
        const std::wstring own = text(ownId);
        giveDefaultMark(*button);
        button->SetToolTipTitle(own);
        button->SetToolTip(own + keySet + shown);
        button->setKeySetImageHidden(shell::equalsNoCase(shown, own));
    }
}
