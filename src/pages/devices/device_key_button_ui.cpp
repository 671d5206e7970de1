#include "pages/devices/device_key_button_ui.h"

#include "ui/paint_manager_ui.h"
#include "ui/render.h"

#include <algorithm>
#include <memory>

CDeviceKeyButtonUI::CDeviceKeyButtonUI() = default;

void* CDeviceKeyButtonUI::GetInterface(std::wstring_view name)
{
    if (name == L"DeviceKeyButton")
        return this;
    if (name == IKeptPictureUI::kInterface)
        return static_cast<IKeptPictureUI*>(this);
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
    m_lightChanged = true;
    // A streamed picture changes every few milliseconds; a frame at the paced rate shows
    // it as well, for far less drawing.
    if (m_pManager && IsVisible())
        m_pManager->InvalidatePaced(*this);
}

void CDeviceKeyButtonUI::setKeySetImageHidden(bool hidden)
{
    if (m_keySetHidden == hidden)
        return;
    m_keySetHidden = hidden;
    Invalidate();
}

void CDeviceKeyButtonUI::setRemapLabel(std::vector<std::wstring> forms)
{
    const std::wstring label = forms.empty() ? std::wstring() : forms.front();
    if (m_capForms == forms && (m_legend.has_value() || label.empty()))
        return;
    // The legend's font is the largest a label takes: a function name has more letters than
    // a cap's own legend.
    constexpr int kRemapFont = 10;
    if (!m_legend) {
        m_legend = std::wstring(GetText());
        m_legendFont = GetFont();
    }
    m_remapLabel = label;
    m_capForms = std::move(forms);
    m_fitWidth = -1;
    SetText(label.empty() ? *m_legend : label);
    SetFont(label.empty() ? m_legendFont : kRemapFont);
    Invalidate();
}

void CDeviceKeyButtonUI::PaintText(ui::Canvas& canvas)
{
    if (GetText().empty())
        return;
    drawLabel(canvas, TextRect(), CurrentTextColor());
}

void CDeviceKeyButtonUI::drawLabel(ui::Canvas& canvas, const RECT& rc, DWORD colour)
{
    if (m_capForms.empty()) {
        DrawTextIn(canvas, rc, GetText(), colour);
        return;
    }
    if (!m_pManager || (colour >> 24) == 0)
        return;
    // Smaller than this, a label is no longer read at a glance.
    constexpr int kSmallestLabel = 8;
    // Clear of the cap's rim on either side.
    const int margin = Scaled(2);
    const int width = std::max(0, static_cast<int>(rc.right - rc.left) - 2 * margin);
    const double scale = m_pManager->GetScale();
    ui::FontStyle font = m_pManager->GetFont(m_iFont);
    if (width != m_fitWidth || scale != m_fitScale) {
        const int largest = font.size;
        m_fit = pages::fitCapText(
            m_capForms, width, largest, kSmallestLabel, [&](std::wstring_view text, int size) {
                ui::FontStyle sized = font;
                sized.size = size;
                return static_cast<int>(canvas.measureText(text, sized, scale, 0).cx);
            });
        m_fitWidth = width;
        m_fitScale = scale;
    }
    font.size = m_fit.size;
    canvas.drawText(rc, m_fit.text, font, scale, colour, m_uTextStyle);
}

void CDeviceKeyButtonUI::setEditing(bool editing)
{
    if (m_editing == editing)
        return;
    m_editing = editing;
    Invalidate();
}

DWORD CDeviceKeyButtonUI::CurrentTextColor() const
{
    constexpr DWORD kEditingText = 0xFFFFFFFF;
    constexpr DWORD kRemappedText = 0xFF1EA7FF;
    if (m_editing)
        return kEditingText;
    if (!m_remapLabel.empty() && IsEnabled())
        return kRemappedText;
    return CButtonUI::CurrentTextColor();
}

void CDeviceKeyButtonUI::DoPaint(ui::Canvas& canvas, const RECT& paint)
{
    if (m_pManager && m_pManager->IsDrawnFromKeptPicture(*this)) {
        // Only what lies above the cap changed.
        if (putLayers(canvas)) {
            m_pManager->KeptPictureDrawn(*this);
            m_lightChanged = false;
            return;
        }
        if (!m_kept.putBack(canvas, m_rcItem)) {
            m_kept.drop();
            m_layers.reset();
            return;
        }
        m_pManager->KeptPictureDrawn(*this);
        m_lightChanged = false;
        paintAboveCap(canvas);
        PaintText(canvas);
        PaintBorder(canvas);
        return;
    }
    RECT visible;
    if (!IntersectRect(visible, paint, m_rcItem) ||
        (m_pManager && m_pManager->IsPaintedOver(*this)))
        return;
    // A light that changed in two drawings in a row is streamed: its key keeps the cap. One
    // set once (a still effect) keeps nothing, and a still light gives the memory back.
    m_lightChanges = m_lightChanged ? std::min(m_lightChanges + 1, 2) : 0;
    m_lightChanged = false;
    m_keepCap = visible == m_rcItem && m_lightChanges >= 2;
    // Drawn in part, the key's pixels are partly new: a picture kept before no longer fits.
    if (!m_keepCap) {
        m_kept.drop();
        m_layers.reset();
    }
    CButtonUI::DoPaint(canvas, paint);
    m_keepCap = false;
}

void CDeviceKeyButtonUI::PaintStatusImage(ui::Canvas& canvas)
{
    CButtonUI::PaintStatusImage(canvas);
    if (m_keepCap) {
        m_kept.keep(canvas, m_rcItem);
        keepLayers();
    }
    paintAboveCap(canvas);
}

std::size_t CDeviceKeyButtonUI::keptPictureBytes() const
{
    std::size_t bytes = m_kept.bytes();
    if (m_layers)
        bytes += m_layers->picture.bytes();
    return bytes;
}

bool CDeviceKeyButtonUI::HasKeptPicture() const
{
    return m_kept.holds(m_rcItem) || (m_layers && m_layers->at == m_rcItem);
}

DWORD CDeviceKeyButtonUI::lightRgb() const
{
    // The overlay colour is red | blue << 8 | green << 16.
    const DWORD red = m_lightColour & 0xFF;
    const DWORD blue = (m_lightColour >> 8) & 0xFF;
    const DWORD green = (m_lightColour >> 16) & 0xFF;
    return (red << 16) | (green << 8) | blue;
}

bool CDeviceKeyButtonUI::onlyLightAndLabelAboveCap() const
{
    return (m_keySetHidden || m_keySetImage.empty()) && !m_editing &&
           (m_nBorderSize <= 0 || (m_dwBorderColor >> 24) == 0);
}

CDeviceKeyButtonUI::Label CDeviceKeyButtonUI::currentLabel() const
{
    return Label{std::wstring(GetText()), CurrentTextColor(), m_iFont,
                 m_pManager ? m_pManager->GetScale() : 1.0};
}

bool CDeviceKeyButtonUI::isLabelAsDrawn(const Label& drawn) const
{
    // Every frame of every streaming key asks: the cheap fields first, the text once.
    return drawn.colour == CurrentTextColor() && drawn.font == m_iFont &&
           drawn.scale == (m_pManager ? m_pManager->GetScale() : 1.0) && drawn.text == GetText();
}

void CDeviceKeyButtonUI::keepLayers()
{
    m_layers.reset();
    const ui::Image* cap = m_kept.pixelsAt(m_rcItem);
    if (!m_pManager || !cap || !onlyLightAndLabelAboveCap())
        return;
    Layers layers;
    layers.drawn = currentLabel();
    // Each layer drawn alone on a clear canvas of the key's size, where the key draws it.
    const RECT local{0, 0, cap->width, cap->height};
    std::unique_ptr<ui::Canvas> light;
    if (!m_lightImage.empty()) {
        light = ui::createImageCanvas(cap->width, cap->height);
        if (!CRenderEngine::DrawImageTinted(*light, local, m_lightImage, 0xFFFFFF, 255))
            return;
    }
    std::unique_ptr<ui::Canvas> label;
    if (!layers.drawn.text.empty() && (layers.drawn.colour >> 24) != 0) {
        label = ui::createImageCanvas(cap->width, cap->height);
        const RECT item = TextRect();
        const RECT text{item.left - m_rcItem.left, item.top - m_rcItem.top,
                        item.right - m_rcItem.left, item.bottom - m_rcItem.top};
        drawLabel(*label, text, layers.drawn.colour);
    }
    layers.picture = ui::LitPicture::of(*cap, light.get(), label.get());
    if (layers.picture.empty())
        return;
    layers.at = m_rcItem;
    m_layers = std::move(layers);
    // The picture holds the cap: a frame it cannot draw is drawn from the root.
    m_kept.drop();
}

bool CDeviceKeyButtonUI::putLayers(ui::Canvas& canvas) const
{
    if (!m_layers || m_layers->at != m_rcItem || !onlyLightAndLabelAboveCap() ||
        !isLabelAsDrawn(m_layers->drawn))
        return false;
    const DWORD light = m_lightOn ? DWORD(m_lightBrightness) << 24 | lightRgb() : 0;
    return canvas.putLitPicture(m_layers->picture, light, POINT{m_rcItem.left, m_rcItem.top});
}

void CDeviceKeyButtonUI::paintAboveCap(ui::Canvas& canvas)
{
    if (m_lightOn && !m_lightImage.empty())
        CRenderEngine::DrawImageTinted(canvas, m_rcItem, m_lightImage, lightRgb(),
                                       m_lightBrightness);
    if (!m_keySetHidden && !m_keySetImage.empty())
        DrawImage(canvas, m_keySetImage);
    if (m_editing) {
        // Caps drawn from "<size>_normal.svg" have an "<size>_editing.svg" of their shape;
        // a button without images (the mouse's) is filled and ringed as a rectangle.
        constexpr std::wstring_view kNormal = L"_normal.svg";
        std::wstring image(GetNormalImage());
        if (image.ends_with(kNormal)) {
            image.replace(image.size() - kNormal.size(), kNormal.size(), L"_editing.svg");
            DrawImage(canvas, image);
        } else {
            CRenderEngine::DrawColor(canvas, m_rcItem, 0x4D1EA7FF);
            CRenderEngine::DrawRect(canvas, m_rcItem, 2, 0xFFFFFFFF);
        }
    }
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
