#pragma once

#include "device/model/mouse_model.h"
#include "pages/devices/tessary_usb_device.h"

#include <memory>

namespace pages {
class MouseDpiControls;
}

// The mouse's device object: the base picture, and the DPI controls of its page ranged by
// the sensor the last full read found. Its model is the mouse model.
class CTessaryMouseDevice : public CTessaryUSBDevice {
public:
    CTessaryMouseDevice();
    ~CTessaryMouseDevice() override;

    void* GetInterface(std::wstring_view name) override;

    model::MouseModel& mouse();

    // The base mapping, then the mouse's own initialisation.
    void BuildPicture() override;
    void InitMouse();
    // Draws every button's label state again: tooltip, mark and cap label of a reassigned one.
    void RedrawKeyLabels();
    // The DPI page's controls, bound on first use with what the mouse offers.
    pages::MouseDpiControls& dpiControls();

protected:
    // model::DeviceView: after every refresh the DPI ranges follow the sensor.
    void refreshPages() override;
    void keyLabelsChanged() override;

private:
    void applyDpiRanges();

    std::unique_ptr<pages::MouseDpiControls> m_dpiControls;
};
