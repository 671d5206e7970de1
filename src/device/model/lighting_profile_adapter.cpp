#include "device/model/lighting_profile_adapter.h"

namespace model {

EffectSettings effectSettingsFrom(const profile::LightInfo& info)
{
    EffectSettings settings;
    settings.mode = info.mode;
    settings.brightness = info.brightness;
    settings.speed = info.speed;
    settings.direction = info.direction;
    settings.multiColour = info.multiColour;
    settings.red = info.red;
    settings.green = info.green;
    settings.blue = info.blue;
    settings.customGroup = info.customGroup;
    return settings;
}

AudioSettings audioSettingsFrom(const profile::AudioLightInfo& info)
{
    AudioSettings audio;
    audio.style = info.audioMode;
    audio.background = {info.backRed, info.backGreen, info.backBlue};
    audio.foreground = {info.foreRed, info.foreGreen, info.foreBlue};
    audio.multiColour = info.multiColour;
    return audio;
}

OverlayEntry overlayEntryFrom(const profile::LightInfo& entry)
{
    OverlayEntry overlay;
    overlay.mode = entry.mode;
    overlay.brightness = entry.brightness;
    overlay.speed = entry.speed;
    overlay.direction = entry.direction;
    overlay.multiColour = entry.multiColour;
    overlay.red = entry.red;
    overlay.green = entry.green;
    overlay.blue = entry.blue;
    overlay.present = entry.present;
    return overlay;
}

EffectStep effectStepFrom(const profile::EffectStep& step)
{
    EffectStep converted;
    converted.mode = step.mode;
    converted.brightness = step.brightness;
    converted.speed = step.speed;
    converted.direction = step.direction;
    converted.multiColour = step.multiColour;
    converted.red = step.red;
    converted.green = step.green;
    converted.blue = step.blue;
    converted.time = step.time;
    converted.cycle = step.cycle;
    return converted;
}

LightingProfile lightingProfileFrom(const profile::LightInfo& info,
                                    const profile::AudioLightInfo& audio,
                                    std::span<const profile::LightInfo> lightList,
                                    std::span<const profile::EffectStep> steps,
                                    std::span<const profile::RgbaColour> customColours)
{
    LightingProfile lighting;
    lighting.settings = effectSettingsFrom(info);
    lighting.audio = audioSettingsFrom(audio);
    lighting.overlay.reserve(lightList.size());
    for (const profile::LightInfo& entry : lightList)
        lighting.overlay.push_back(overlayEntryFrom(entry));
    lighting.effectSteps.reserve(steps.size());
    for (const profile::EffectStep& step : steps)
        lighting.effectSteps.push_back(effectStepFrom(step));
    lighting.customColours.reserve(customColours.size());
    for (const profile::RgbaColour& colour : customColours)
        lighting.customColours.push_back({colour.red, colour.green, colour.blue});
    return lighting;
}

} // namespace model
