// The device pictures' key labels: what each key does now, against its own name.
#include "pages/devices/device_key_labels.h"

#include "pages/devices/device_key_button_ui.h"
#include "pages/devices/tessary_keyboard_device.h"
#include "pages/devices/tessary_mouse_device.h"
#include "pages/key_set_control_ui.h"
#include "pages/models/key_cap_labels.h"
#include "profile/macro_library.h"
#include "ui/paint_manager_ui.h"
#include "ui/resource_manager.h"

namespace pages {
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

void redrawKeyLabels(CTessaryUSBDevice& device, const std::vector<profile::KeyAssignment>& keys,
                     KeyNames names)
{
    profile::MacroLibrary library(device.model().dataFolder());
    library.Load();
    const std::vector<std::wstring> macros = library.names();
    // An id the language file lacks reads as itself.
    const Translate text = [](std::wstring_view id) {
        return std::wstring(CResourceManager::GetInstance()->GetText(id));
    };
    for (std::size_t position = 0; position < keys.size(); ++position) {
        CDeviceKeyButtonUI* button = device.keyButton(static_cast<int>(position));
        const std::wstring own =
            ownKeyName(names == KeyNames::Keyboard, position, keys[position], macros, text);
        // Positions without an own name have no button to mark.
        if (button == nullptr || own.empty())
            continue;
        KeyCapLabel label = keyCapLabel(own, keys[position], macros, text);
        giveDefaultMark(*button);
        button->SetToolTipTitle(label.title);
        button->SetToolTip(label.tooltip);
        button->setKeySetImageHidden(!label.changed);
        button->setRemapLabel(std::move(label.capForms));
    }
}

void showStoredKey(CTessaryUSBDevice& device)
{
    if (CKeySetControlUI* page = device.keySetPage())
        page->ShowStoredKey();
}

} // namespace pages

void CTessaryKeyboardDevice::RedrawKeyLabels()
{
    pages::redrawKeyLabels(*this, keyboard().keys(), pages::KeyNames::Keyboard);
}

void CTessaryKeyboardDevice::keyLabelsChanged()
{
    RedrawKeyLabels();
    pages::showStoredKey(*this);
}

void CTessaryMouseDevice::RedrawKeyLabels()
{
    pages::redrawKeyLabels(*this, mouse().keys(), pages::KeyNames::FromFactoryCode);
}

void CTessaryMouseDevice::keyLabelsChanged()
{
    RedrawKeyLabels();
    pages::showStoredKey(*this);
}
