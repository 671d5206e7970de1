#include "pages/devices/tessary_mouse_device.h"

#include "pages/find_by_name.h"
#include "pages/mouse_dpi_page.h"
#include "ui/paint_manager_ui.h"

CTessaryMouseDevice::CTessaryMouseDevice()
    : CTessaryUSBDevice(std::make_unique<model::MouseModel>())
{
}

CTessaryMouseDevice::~CTessaryMouseDevice() = default;

pages::MouseDpiControls& CTessaryMouseDevice::dpiControls()
{
    if (!m_dpiControls) {
        m_dpiControls = std::make_unique<pages::MouseDpiControls>(this);
        m_dpiControls->showOffers(pages::dpiPageOffers(model().capabilities()));
    }
    return *m_dpiControls;
}

void* CTessaryMouseDevice::GetInterface(std::wstring_view name)
{
    if (name == L"TessaryMouseDevice")
        return this;
    return CTessaryUSBDevice::GetInterface(name);
}

model::MouseModel& CTessaryMouseDevice::mouse()
{
    return static_cast<model::MouseModel&>(model());
}

void CTessaryMouseDevice::BuildPicture()
{
    CTessaryUSBDevice::BuildPicture();
    // The picture sits below the page's layouts, not as a direct child: find it by name, or
    // its buttons show no lights and its keys cannot be edited.
    if (picturePanel() == nullptr && !model().descriptionFile().empty()) {
        CControlUI* panel = pages::findByName(this, L"mouse_device_key_light");
        setPicturePanel(panel);
        mapButtons(panel);
    }
    InitMouse();
}

void CTessaryMouseDevice::InitMouse()
{
    applyDpiRanges();
}

void CTessaryMouseDevice::refreshPages()
{
    CTessaryUSBDevice::refreshPages();
    applyDpiRanges();
    if (m_pManager != nullptr)
        pages::showMouseDpiPage(*this);
}

void CTessaryMouseDevice::applyDpiRanges()
{
    // Before the window's tree holds the page there is nothing to range.
    if (m_pManager == nullptr)
        return;
    dpiControls().showRanges(mouse().dpiScale());
}
