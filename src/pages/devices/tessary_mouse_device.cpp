#include "pages/devices/tessary_mouse_device.h"

#include "device/protocol/mouse_sequences.h"
#include "pages/find_by_name.h"
#include "pages/mouse_dpi_page.h"
#include "ui/edit_ui.h"
#include "ui/paint_manager_ui.h"
#include "ui/slider_ui.h"

#include <limits>
#include <string>

CTessaryMouseDevice::CTessaryMouseDevice()
    : CTessaryUSBDevice(std::make_unique<model::MouseModel>())
{
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
    pages::showMouseDpiPage(*this);
}

void CTessaryMouseDevice::applyDpiRanges()
{
    if (m_pManager == nullptr)
        return;
    const model::DpiScale scale = mouse().dpiScale();
    const int editMaximum =
        int(std::min<std::uint32_t>(scale.editMaximum(), std::numeric_limits<int>::max()));
    for (std::size_t i = 0; i < protocol::mouse_record::kDpiStageCount; ++i) {
        const std::wstring number = std::to_wstring(i);
        if (auto* control = m_pManager->FindControl(L"DPI_slider_" + number)) {
            if (auto* slider = static_cast<CSliderUI*>(control->GetInterface(L"Slider"))) {
                slider->SetMinValue(0);
                slider->SetMaxValue(scale.sliderMaximum);
            }
        }
        if (auto* control = m_pManager->FindControl(L"DPI_edit_" + number)) {
            if (auto* edit = static_cast<CEditUI*>(control->GetInterface(L"Edit"))) {
                edit->SetMinValue(0);
                edit->SetMaxValue(editMaximum);
            }
        }
    }
}
