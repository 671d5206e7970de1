#pragma once

// The lighting page of a device: effect, brightness, speed, direction, colour or the
// seven-colour cycle, the custom colour groups and the audio colours. A view: it shows the
// device's lighting record and gives back what the user set; the rules live in
// pages/models/light_page_model.h and the changes are carried out by the main window's
// lighting handlers.

#include "pages/models/light_page_model.h"
#include "profile/light_info.h"
#include "ui/container_ui.h"

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

class CLightControlUI : public CHorizontalLayoutUI {
public:
    const wchar_t* GetClass() const override { return L"LightControlUI"; }
    void* GetInterface(std::wstring_view name) override;
    // Combo rows can be selected only while shown: pending selections follow once they are.
    void SetInternVisible(bool visible = true) override;
    // "effectnames": the device's own effect list (text ids joined by ';', an empty id for
    // an index the device does not offer), for a device whose effects are not the keyboard's.
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    // Option groups are the window's: each page takes its own, or one device's page would
    // clear another's direction and swatch.
    void DoInit() override;

    void SetDeviceKind(detect::DeviceKind kind)
    {
        m_kind = kind;
        ownOptionGroups();
    }
    // What the device's family can do: the areas it cannot use stay disabled whatever the
    // effect, and say why in their tooltips. A page never told offers everything.
    void SetCapabilities(const model::Capabilities& capabilities);

    // The effect list: one row per name (a text id), hidden where `visible` says 0.
    void InitModes(std::span<const std::wstring> names, std::span<const std::int32_t> visible,
                   int maxBrightness, int maxSpeed);
    // The names the page's description gives its device; empty: the shared effect list.
    const std::vector<std::wstring>& OwnEffectNames() const { return m_ownEffectNames; }
    int ModeCount();
    void SetLightInfo(const profile::LightInfo& settings);
    void SelectMode(int index);
    void SetSameModeAllowed(bool allowed);
    bool IsSameModeAllowed() const { return m_sameAllowed; }

    // Getters; -1 for a combo without a selection or control, 0 for a missing slider.
    int GetMode();
    int GetBrightness();
    int GetSpeed();
    int GetSubMode();
    int GetCustomGroup();
    void SetCustomGroup(int group);
    std::wstring GetEditText(wchar_t component);
    std::uint32_t GetPaletteColour();
    bool GetSevenColour();
    // The background colour of colour swatch `n` (or audio swatch); 0 when missing.
    std::uint32_t GetSwatchColour(int n);
    std::uint32_t GetAudioSwatchColour(int n);
    // The colour shows in the edits, the palette and the colour button; the seven-colour
    // option is cleared unless asked to keep it.
    enum class KeepColourCycle { No, Yes };
    void ShowColour(pages::Rgb8 colour, KeepColourCycle keep = KeepColourCycle::No);

    // The audio colours: the record the page holds, shown by the selector's slot.
    void SetAudioLightInfo(const profile::AudioLightInfo& audio);
    // The record with the page's audio style, seven-colour option and slot choice; with
    // `takeButtonColour` the colour button's colour goes into the chosen slot. nullopt when
    // a control is missing.
    std::optional<profile::AudioLightInfo> GetAudioLightInfo(bool takeButtonColour);
    std::uint32_t GetAudioPaletteColour();
    std::wstring GetAudioEditText(wchar_t component);

private:
    CControlUI* find(std::wstring_view name);
    void applyStates(int effect);
    // The control and everything in it: a disabled area takes no input and looks it.
    void setEnabled(std::wstring_view name, const std::optional<bool>& enabled);
    void setShown(std::wstring_view name, const std::optional<bool>& shown);
    void setOption(std::wstring_view name, bool selected);
    bool isOptionSelected(std::wstring_view name);
    int comboSelection(std::wstring_view name);
    void selectCombo(std::wstring_view name, int index);
    void retrySelections();
    int sliderValue(std::wstring_view name);
    void setSliderValue(std::wstring_view name, int value);
    void showColourOn(std::wstring_view prefix, std::wstring_view palette, std::wstring_view button,
                      pages::Rgb8 colour);

    void ownOptionGroups();
    void applyLimits();

    std::optional<detect::DeviceKind> m_kind; // none: a page never told leaves its areas
    bool m_groupsOwned = false;
    std::vector<std::wstring> m_ownEffectNames;
    bool m_sameAllowed = false;
    profile::AudioLightInfo m_audio{};
    std::map<std::wstring, int, std::less<>> m_pendingSelections;
    std::vector<pages::LightPageLimit> m_limits;
};
