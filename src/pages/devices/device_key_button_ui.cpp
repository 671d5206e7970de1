#include "pages/devices/device_key_button_ui.h"

#include "ui/paint_manager_ui.h"
#include "ui/render.h"

CDeviceKeyButtonUI::CDeviceKeyButtonUI() = default;

void* CDeviceKeyButtonUI::GetInterface(std::wstring_view name)
{
    if (name == L"DeviceKeyButton")
        return this;
    return CButtonUI::GetInterface(name);
}

void CDeviceKeyButtonUI::SetAttribute(std::wstring_view name, std::wstring_view value)
{
    if (name == L"lightimage") {
        m_lightImage = value;
        Invalidate();
        return;
    }
    if (name == L"keysetimage") {
        m_keySetImage = value;
        Invalidate();
        return;
    }
    CButtonUI::SetAttribute(name, value);
}

void CDeviceKeyButtonUI::setLightOverlay(std::uint32_t colour, std::uint8_t brightness, bool on)
{
    if (m_lightColour == colour && m_lightBrightness == brightness && m_lightOn == on)
        return;
    m_lightColour = colour;
    m_lightBrightness = brightness;
    m_lightOn = on;
    Invalidate();
}

void CDeviceKeyButtonUI::setKeySetImageHidden(bool hidden)
{
    if (m_keySetHidden == hidden)
        return;
    m_keySetHidden = hidden;
    Invalidate();
}

void CDeviceKeyButtonUI::PaintStatusImage(ui::Canvas& canvas)
{
    CButtonUI::PaintStatusImage(canvas);
    if (m_lightOn && !m_lightImage.empty()) {
        // The overlay colour is red | blue << 8 | green << 16; the drawing takes 0xRRGGBB.
        const DWORD red = m_lightColour & 0xFF;
        const DWORD blue = (m_lightColour >> 8) & 0xFF;
        const DWORD green = (m_lightColour >> 16) & 0xFF;
        CRenderEngine::DrawImageTinted(canvas, m_rcItem, m_lightImage,
                                       (red << 16) | (green << 8) | blue, m_lightBrightness);
    }
    if (!m_keySetHidden && !m_keySetImage.empty())
        DrawImage(canvas, m_keySetImage);
}

void CDeviceKeyButtonUI::DoEvent(TEventUI& event)
{
    if (event.Type == UIEVENT_DBLCLICK && PtInRect(m_rcItem, event.ptMouse) && IsEnabled()) {
        m_uButtonState |= UISTATE_HOT | UISTATE_CAPTURED;
        const auto alive = GetLifetime();
        if (m_pManager)
            m_pManager->SendNotify(this, L"dbclick");
        if (!alive.expired())
            Invalidate();
        return;
    }
    CButtonUI::DoEvent(event);
}
