#include "pages/devices/tessary_keyboard_device.h"

#include "pages/custom_controls.h"
#include "pages/devices/device_key_button_ui.h"
#include "pages/light_page_handlers.h"
#include "ui/paint_manager_ui.h"

namespace {

constexpr int kFnKey = 110;

} // namespace

CTessaryKeyboardDevice::CTessaryKeyboardDevice()
    : CTessaryUSBDevice(std::make_unique<model::KeyboardModel>())
{
}

CTessaryKeyboardDevice::~CTessaryKeyboardDevice()
{
    // The threads read the picture's colours through the model; stop them while it exists.
    keyboard().StopLighting();
    if (m_notifierRegistered && m_pManager != nullptr)
        m_pManager->RemoveNotifier(this);
}

void* CTessaryKeyboardDevice::GetInterface(std::wstring_view name)
{
    if (name == L"TessaryKeyboardDevice")
        return this;
    return CTessaryUSBDevice::GetInterface(name);
}

model::KeyboardModel& CTessaryKeyboardDevice::keyboard()
{
    return static_cast<model::KeyboardModel&>(model());
}

pages::KeyboardSystemPage& CTessaryKeyboardDevice::systemPage()
{
    if (!m_systemPage) {
        m_systemPage = std::make_unique<pages::KeyboardSystemPage>(this);
        m_systemPage->ShowOffers(pages::systemPageOffers(model().capabilities()));
    }
    return *m_systemPage;
}

void CTessaryKeyboardDevice::BuildPicture()
{
    if (!m_notifierRegistered && m_pManager != nullptr)
        m_notifierRegistered = m_pManager->AddNotifier(this);
    InitKeyboard();
}

void CTessaryKeyboardDevice::InitKeyboard()
{
    if (model().descriptionFile().empty()) {
        CTessaryUSBDevice::BuildPicture();
        return;
    }
    CControlUI* panel =
        m_pManager != nullptr ? m_pManager->FindControl(L"keyboard_device_key_light") : nullptr;
    setPicturePanel(panel);
    mapButtons(panel);
    if (auto* picture = dynamic_cast<CSelectPanelUI*>(panel))
        picture->SetBoxOverKeys([this] { return pages::paintsKeys(keyboard()); });
}

void CTessaryKeyboardDevice::SetFunctionTab(int type)
{
    CTessaryUSBDevice::SetFunctionTab(type);
    if (CDeviceKeyButtonUI* fn = keyButton(kFnKey)) {
        if (type == 1)
            fn->SetEnabled(true);
        else if (type == 2)
            fn->SetEnabled(false);
    }
}
