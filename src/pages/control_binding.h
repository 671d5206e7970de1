#pragma once

// Page controls found by name once, when the page is bound, instead of on every access. A
// skin without a control gets one debug line naming it; the page goes on without it.

#include "pages/models/page_offers.h"
#include "ui/control_ui.h"

#include <string>
#include <string_view>

namespace pages {

// The control named `name` below `page`; null, with a debug line, when the skin lacks it.
CControlUI* bindControl(CControlUI* page, std::wstring_view name);

// The same, as the control class of `interfaceName` ("Option", "Slider", ...).
template <class T>
T* bindControl(CControlUI* page, std::wstring_view name, std::wstring_view interfaceName)
{
    CControlUI* control = bindControl(page, name);
    return control ? static_cast<T*>(control->GetInterface(interfaceName)) : nullptr;
}

// Binds `control` on first use only: a control the skin lacks is named once, not searched
// for again at every use.
template <class T>
T* bindOnce(CControlUI* page, bool& bound, T*& control, std::wstring_view name,
            std::wstring_view interfaceName)
{
    if (!bound) {
        bound = true;
        control = bindControl<T>(page, name, interfaceName);
    }
    return control;
}

// A control whose use the device decides. It keeps the skin's tooltip, so that a refusal's
// reason can take its place while the control is disabled and give it back after.
class OfferedControl {
public:
    OfferedControl() = default;
    explicit OfferedControl(CControlUI* control);

    CControlUI* get() const { return m_control; }
    explicit operator bool() const { return m_control != nullptr; }

    // Enabled when both the offer and the page's own state allow it; while the offer refuses,
    // the tooltip gives its reason.
    void show(const Offer& offer, bool pageAllows = true);
    // A tooltip of the page's own (a text id where the control takes ids): shown at once
    // unless a refusal's reason stands, and kept for when it goes.
    void setTip(std::wstring_view tip);

private:
    CControlUI* m_control = nullptr;
    std::wstring m_skinTip; // as the skin set it: a text id where the control takes ids
    bool m_refused = false;
};

} // namespace pages
