#pragma once

// The lighting page without its controls: which controls each effect leaves usable, how the
// colour edits read, and what each change does to the device (the light settings record,
// the keyboard's custom colours, the audio lighting record). The page view reads its
// controls, calls these and writes its controls; the tests and halvekctl call the same.

#include "device/detect/supported_interfaces.h"
#include "device/model/capabilities.h"
#include "pages/models/change_result.h"
#include "profile/light_info.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace model {
class KeyboardModel;
class UsbDeviceModel;
} // namespace model

namespace pages {

inline constexpr int kMaxLightLevel = 4; // brightness and speed steps 0-4
inline constexpr int kCustomEffect = 20;
inline constexpr int kAudioEffect = 29;
inline constexpr int kNoAudioColourMode = 3; // the audio style whose colours are fixed

// The states the page gives its areas for one effect. nullopt leaves a control as it is.
struct LightPageStates {
    std::optional<bool> rgbEnabled;          // deng_rgb_layout
    std::optional<bool> customShown;         // lightcustom_layout
    std::optional<bool> sameShown;           // deng_same_mode
    std::optional<bool> fxEnabled;           // deng_fx_layout
    std::optional<bool> lightEnabled;        // deng_light_layout
    std::optional<bool> speedEnabled;        // deng_speed_layout
    std::optional<bool> speedShown;          // deng_speed_layout
    std::optional<bool> subModeShown;        // light_combo_ZZCCmodeSelectLayout
    std::optional<bool> colourLayoutEnabled; // light_color_layout
    std::optional<bool> sevenColourEnabled;  // deng_7color_check
    std::optional<bool> colourAreasEnabled;  // deng_color_layout and colorpallet_layout
    std::optional<bool> audioModeShown;      // light_combo_AudiomodeSelectLayout
    std::optional<int> colourTab;            // light_color_tablayout: 0 colour, 1 audio colours
    // The direction options' text ids (first, second).
    std::optional<std::wstring_view> firstDirectionText;
    std::optional<std::wstring_view> secondDirectionText;
};

// The states for `effect` on a device of `kind`; `sameAllowed` offers the same-lighting
// button on the effects that have a shared number. Without a kind nothing changes.
[[nodiscard]] LightPageStates lightPageStates(std::optional<detect::DeviceKind> kind, int effect,
                                              bool sameAllowed);

// A page area the device's family cannot use: the page disables it, and its controls' tooltips
// say why (a text id).
struct LightPageLimit {
    std::wstring_view area;
    std::wstring_view reasonText;
};
// The areas `capabilities` leave out: the custom colour groups, the audio lighting and the
// lighting sync. Empty for a family that has them all.
[[nodiscard]] std::vector<LightPageLimit> lightPageLimits(const model::Capabilities& capabilities);

// A colour component typed into an edit: leading blanks and a sign are allowed, reading
// stops at the first non-digit, an empty text is 0, and the value is held to 0-255 however
// long or negative the text is.
[[nodiscard]] std::uint8_t parseColourComponent(std::wstring_view text);

// Colours of the palettes and buttons: 0xFF000000 + red << 16 + green << 8 + blue.
[[nodiscard]] std::uint32_t argbOf(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
struct Rgb8 {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};
[[nodiscard]] Rgb8 componentsOf(std::uint32_t argb);

// A lighting change on the page: the device leaves synchronised mode, takes the changed
// settings into its profile and shows them, saves the profile once and writes the slot
// record of slot 0. No file is read back.
[[nodiscard]] ChangeResult storeLighting(model::UsbDeviceModel& device,
                                         const std::function<void(profile::LightInfo&)>& change);

// The settings after a colour was chosen (palette, swatch or edits): the colour, and the
// seven-colour cycle off.
void setColour(profile::LightInfo& settings, Rgb8 colour);

// Keyboard: the custom colour group chosen. The profile keeps the group, the lights take
// its stored colours, and in the custom effect they go to the keyboard, which is told to
// show that group.
[[nodiscard]] ChangeResult selectCustomGroup(model::KeyboardModel& keyboard, int group);
// Keyboard: every light takes the current colour (lit) or black. In the custom effect they
// go to the keyboard; with a group selected they become that group's colours.
enum class CustomFill { Lit, Dark };
[[nodiscard]] ChangeResult fillCustomColours(model::KeyboardModel& keyboard, CustomFill fill,
                                             bool groupSelected);

// The audio lighting record as the page edits it.
enum class AudioColourSlot { Background, Foreground };
[[nodiscard]] AudioColourSlot slotOf(const profile::AudioLightInfo& audio);
[[nodiscard]] Rgb8 audioColour(const profile::AudioLightInfo& audio, AudioColourSlot slot);
// The colour goes into the slot; a foreground colour ends the seven-colour cycle.
void setAudioColour(profile::AudioLightInfo& audio, AudioColourSlot slot, Rgb8 colour);
// An audio colour change: the device keeps the record in its profile, saves it and shows
// it. No slot record is written: the audio effect is the program's own.
[[nodiscard]] ChangeResult storeAudio(model::UsbDeviceModel& device,
                                      const profile::AudioLightInfo& audio);

} // namespace pages
