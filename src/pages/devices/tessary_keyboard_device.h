#pragma once

#include "device/model/keyboard_model.h"
#include "pages/devices/tessary_usb_device.h"
#include "pages/keyboard_system_page.h"

#include <memory>

// The keyboard's device object: its picture is the control "keyboard_device_key_light", and
// its model the keyboard model, which owns the lighting threads.
class CTessaryKeyboardDevice : public CTessaryUSBDevice {
public:
    CTessaryKeyboardDevice();
    ~CTessaryKeyboardDevice() override;

    const wchar_t* GetClass() const override { return L"TessaryKeyboardDevice"; }
    void* GetInterface(std::wstring_view name) override;

    model::KeyboardModel& keyboard();

    // Registers as notifier of the paint manager, then InitKeyboard.
    void BuildPicture() override;
    void InitKeyboard();
    // The base step, then the FN key (key 110) is enabled for type 1, disabled for type 2.
    void SetFunctionTab(int type) override;

    // The system settings page, bound on first use with what the keyboard offers.
    pages::KeyboardSystemPage& systemPage();

    // Draws every key's label state again: tooltip and the mark of a reassigned key.
    void RedrawKeyLabels();

protected:
    // The labels, and the key page's shown key, follow a key list read again.
    void keyLabelsChanged() override;

private:
    bool m_notifierRegistered = false;
    std::unique_ptr<pages::KeyboardSystemPage> m_systemPage;
};
