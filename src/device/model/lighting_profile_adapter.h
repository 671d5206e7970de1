#pragma once

#include "device/model/lighting_types.h"
#include "profile/light_info.h"

#include <span>

// The engine takes its own plain records; these turn the profile's stored records into them.
namespace model {

[[nodiscard]] EffectSettings effectSettingsFrom(const profile::LightInfo& info);
[[nodiscard]] AudioSettings audioSettingsFrom(const profile::AudioLightInfo& info);
[[nodiscard]] OverlayEntry overlayEntryFrom(const profile::LightInfo& entry);
[[nodiscard]] EffectStep effectStepFrom(const profile::EffectStep& step);

// A profile's whole lighting: its record, audio record, light list, custom effect steps and
// the custom colours of the selected group (by light; alpha is not used).
[[nodiscard]] LightingProfile
lightingProfileFrom(const profile::LightInfo& info, const profile::AudioLightInfo& audio,
                    std::span<const profile::LightInfo> lightList,
                    std::span<const profile::EffectStep> steps,
                    std::span<const profile::RgbaColour> customColours);

} // namespace model
