#pragma once

#include "pages/models/key_cap_labels.h"
#include "ui/button_ui.h"
#include "ui/kept_picture.h"
#include "ui/lit_picture.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The clickable key of a device picture. It paints as a button, then its light (the light
// image tinted with the overlay colour and brightness) and the key-set image over it. A
// double click sends "dbclick". While its light keeps changing it keeps the picture under
// the light (the cap and what lies beneath it), so a new colour is drawn over that alone.
class CDeviceKeyButtonUI : public CButtonUI, public IKeptPictureUI {
public:
    static constexpr std::uint32_t kInitialLightColour = 255;
    static constexpr std::uint8_t kInitialBrightness = 200;

    CDeviceKeyButtonUI();
    const wchar_t* GetClass() const override { return L"DeviceKeyButton"; }
    void* GetInterface(std::wstring_view name) override;

    // "lightimage" and "keysetimage" set the two images; everything else is a button's.
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    void DoPaint(ui::Canvas& canvas, const RECT& paint) override;
    void PaintStatusImage(ui::Canvas& canvas) override;
    void PaintText(ui::Canvas& canvas) override;
    bool HasKeptPicture() const override;
    // The memory the kept picture and its layers take (0 while the light stands still).
    std::size_t keptPictureBytes() const;
    // True when the next light frame can be put together from kept layers alone.
    bool HasKeptLayers() const { return m_layers.has_value(); }
    void DoEvent(TEventUI& event) override;

    // Colour packed red | blue << 8 | green << 16, as the lighting gives it.
    void setLightOverlay(std::uint32_t colour, std::uint8_t brightness, bool on);
    void setKeySetImageHidden(bool hidden);
    // A reassigned key shows its new function on the cap in the accent colour: the first of
    // `forms` (fullest first) that fits the cap, smaller down to a floor, else the last one
    // cut with "…". No forms give the cap its own legend back.
    void setRemapLabel(std::vector<std::wstring> forms);
    // The key the key page is editing: filled and ringed, unlike the reassigned mark.
    void setEditing(bool editing);
    bool isEditing() const { return m_editing; }
    // The fullest form; empty while the key shows its own legend.
    const std::wstring& remapLabel() const { return m_remapLabel; }
    // The form and size the cap shows, as last drawn (empty before).
    const pages::CapText& drawnRemapLabel() const { return m_fit; }

    const std::wstring& lightImage() const { return m_lightImage; }
    const std::wstring& keySetImage() const { return m_keySetImage; }
    bool isLightOverlayOn() const { return m_lightOn; }
    std::uint32_t lightColour() const { return m_lightColour; }
    std::uint8_t lightBrightness() const { return m_lightBrightness; }
    bool isKeySetImageHidden() const { return m_keySetHidden; }
    DWORD keyTextColour() const { return m_textColour; }
    DWORD selectedKeyTextColour() const { return m_selectedTextColour; }

protected:
    DWORD CurrentTextColor() const override;

private:
    // What is drawn above the cap: the light, the key-set mark and the editing mark.
    void paintAboveCap(ui::Canvas& canvas);
    // The light's colour as drawImageTinted takes it: 0xRRGGBB.
    DWORD lightRgb() const;
    // The cap's text in rc: the legend, or the remap label fitted to rc.
    void drawLabel(ui::Canvas& canvas, const RECT& rc, DWORD colour);

    // A streaming key's cap with its light and label, drawn once on their own: a frame then
    // puts them together in one pass. Kept instead of the cap alone while nothing else lies
    // above the cap (no key-set or editing mark, no border), and for the label it was drawn
    // with.
    struct Label {
        std::wstring text;
        DWORD colour = 0;
        int font = -1;
        double scale = 1.0;
    };
    struct Layers {
        ui::LitPicture picture; // the cap with its label, under the light
        RECT at{};
        Label drawn;
    };
    bool onlyLightAndLabelAboveCap() const;
    Label currentLabel() const;
    bool isLabelAsDrawn(const Label& drawn) const;
    void keepLayers();
    bool putLayers(ui::Canvas& canvas) const;

    std::wstring m_lightImage;
    std::wstring m_keySetImage;
    bool m_lightOn = false;
    std::uint32_t m_lightColour = kInitialLightColour;
    std::uint8_t m_lightBrightness = kInitialBrightness;
    bool m_keySetHidden = true;
    bool m_editing = false;
    std::wstring m_remapLabel;
    std::vector<std::wstring> m_capForms;
    // The remap label fitted for this width and scale.
    pages::CapText m_fit;
    int m_fitWidth = -1;
    double m_fitScale = 0;
    std::optional<std::wstring> m_legend; // the cap's own text while a remap label shows
    int m_legendFont = -1;
    DWORD m_textColour = 0xFF000000;
    DWORD m_selectedTextColour = 0xFF0099FF;
    ui::KeptPicture m_kept;
    std::optional<Layers> m_layers;
    // The light changed since the key was last drawn, and in how many drawings in a row.
    bool m_lightChanged = false;
    int m_lightChanges = 0;
    bool m_keepCap = false; // this drawing covers the whole key: keep the cap once drawn
};
