#include "device/model/keyboard_model.h"

#include "device/model/lighting_profile_adapter.h"

#include <algorithm>
#include <optional>

// The keyboard's host-driven lighting: the engine's settings from the profile, custom key
// painting, and the live frames the lighting thread paints and the pump sends.

namespace model {
SavedAndWritten KeyboardModel::PaintCustomKey(std::size_t light)
{
    return PaintCustomKeys(std::span(&light, 1));
}

SavedAndWritten KeyboardModel::PaintCustomKeys(std::span<const std::size_t> lights)
{
    SavedAndWritten result;
    if (m_state[state::kMode] != kCustomMode)
        return result;
    const profile::LightInfo settings = lightSettings();
    const Rgb colour{settings.red, settings.green, settings.blue};
    bool painted = false;
    m_lighting->update([&](LightingEngine& engine) {
        for (const std::size_t light : lights) {
            if (light < std::size_t(lightCount())) {
                engine.paintCustomKey(light, colour);
                painted = true;
            }
        }
    });
    if (!painted)
        return result;
    if (view().isCustomGroupSelected())
        result.saved = storeCustomColours(settings.customGroup);
    result.written = writePaintedColours(settings.customGroup);
    return result;
}

SavedAndWritten KeyboardModel::FillCustomColours(Rgb colour, bool storeInGroup)
{
    const profile::LightInfo settings = lightSettings();
    const std::size_t count = std::size_t(lightCount());
    std::vector<profile::RgbaColour> colours(count, {colour.red, colour.green, colour.blue, 0});
    m_lighting->update([&](LightingEngine& engine) {
        std::vector<Rgb> rgb(count, colour);
        // Kept by the engine too, so that the colours survive the custom mode's restart.
        engine.setCustomColours(rgb);
        for (std::size_t light = 0; light < count; ++light)
            engine.paintCustomKey(light, colour);
    });
    SavedAndWritten result;
    if (storeInGroup) {
        m_profile.StoreCustomColours(colours, settings.customGroup);
        result.saved = CommitProfile();
    }
    if (m_state[state::kMode] == kCustomMode)
        result.written = writePaintedColours(settings.customGroup);
    return result;
}

ProfileResult KeyboardModel::storeCustomColours(int group)
{
    std::vector<profile::RgbaColour> colours(static_cast<std::size_t>(lightCount()));
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const LightColour painted = lights().get(i);
        colours[i] = {painted.red, painted.green, painted.blue, 0};
    }
    m_profile.StoreCustomColours(colours, group);
    return CommitProfile();
}

protocol::Status KeyboardModel::writePaintedColours(int group)
{
    if (!channel().isOpen() || channel().isReceiverMode())
        return protocol::Status::Ok;
    std::size_t bytes = 0;
    if (const protocol::Status known = colourBlockBytes(bytes); known != protocol::Status::Ok)
        return known;
    const ColourBuffer buffer = buildColourBuffer(lights(), positionToLed(), Scaling::Raw);
    return channel().WriteCustomColours(std::span(buffer).first(bytes), std::size_t(group),
                                        protocol::kMaxBlockSize, 0);
}

bool KeyboardModel::setEffectSettings(const EffectSettings& settings)
{
    const bool sends = m_lighting->update([&](LightingEngine& engine) {
        engine.setSettings(settings);
        return engine.sendsLiveFrame();
    });
    m_modeSendsFrames.store(sends);
    return sends;
}

protocol::Status KeyboardModel::ShowLighting()
{
    const profile::LightInfo& info = lightSettings();
    setStateFromSettings(info);
    const std::vector<profile::RgbaColour> colours =
        m_profile.LoadCustomColours(info.customGroup, lightCount());
    const LightingProfile lighting = lightingProfileFrom(
        info, audioParams(), m_profile.LoadLightList(), stepsFor(info.mode), colours);
    const bool sends = m_lighting->update([&](LightingEngine& engine) {
        engine.showLighting(lighting);
        return engine.sendsLiveFrame();
    });
    m_modeSendsFrames.store(sends);
    return protocol::Status::Ok;
}

void KeyboardModel::takeProfileLighting()
{
    setLightSettingsRecord(m_profile.LoadLightInfo());
    setAudioParamsRecord(m_profile.LoadAudioLightInfo());
    m_profile.LoadConfigFile(m_profile.GetConfigPath());
    m_stepsMode.reset();
}

void KeyboardModel::setStateFromSettings(const profile::LightInfo& info)
{
    m_state[state::kMode] = info.mode;
    m_state[state::kBrightness] = info.brightness;
    m_state[state::kSpeed] = info.speed;
    m_state[state::kMultiColour] = info.multiColour;
    m_state[state::kRed] = info.red;
    m_state[state::kGreen] = info.green;
    m_state[state::kBlue] = info.blue;
}

const std::vector<profile::EffectStep>& KeyboardModel::stepsFor(int mode)
{
    if (m_stepsMode != mode) {
        m_profile.LoadEffectSteps();
        m_stepsMode = mode;
    }
    return m_profile.effectSteps();
}

std::vector<Rgb> KeyboardModel::customColoursOf(int group)
{
    std::vector<Rgb> colours;
    for (const profile::RgbaColour& colour : m_profile.LoadCustomColours(group, lightCount()))
        colours.push_back({colour.red, colour.green, colour.blue});
    return colours;
}

void KeyboardModel::showChangedSettings(const profile::LightInfo& before)
{
    const profile::LightInfo& info = lightSettings();
    setStateFromSettings(info);
    std::optional<std::vector<EffectStep>> steps;
    if (m_stepsMode != info.mode) {
        steps.emplace();
        for (const profile::EffectStep& step : stepsFor(info.mode))
            steps->push_back(effectStepFrom(step));
    }
    // The custom effect restarts from the group's stored colours, as a reload would show it.
    std::optional<std::vector<Rgb>> colours;
    if (info.mode == kCustomMode || info.customGroup != before.customGroup)
        colours = customColoursOf(info.customGroup);
    const EffectSettings settings = effectSettingsFrom(info);
    const bool sends = m_lighting->update([&](LightingEngine& engine) {
        if (steps)
            engine.setEffectSteps(std::move(*steps));
        if (colours)
            engine.setCustomColours(*colours);
        engine.setSettings(settings);
        return engine.sendsLiveFrame();
    });
    m_modeSendsFrames.store(sends);
}

void KeyboardModel::ResetEffects()
{
    m_lighting->update([](LightingEngine& engine) { engine.resetEffects(); });
}

void KeyboardModel::EffectOff()
{
    lights().fill(LightColour{});
    m_painted.fetch_add(1);
    lightWatch().changed();
}

void KeyboardModel::SetLightColour(std::size_t light, std::uint32_t word)
{
    UsbDeviceModel::SetLightColour(light, word);
    m_painted.fetch_add(1);
}

void KeyboardModel::SetAudioSpectrum(std::span<const std::int32_t> values)
{
    m_lighting->update([&](LightingEngine& engine) { engine.setAudioSpectrum(values); });
}

void KeyboardModel::SetExternalColour(std::span<const std::int32_t> values)
{
    m_lighting->update([&](LightingEngine& engine) { engine.setExternalColour(values); });
}

void KeyboardModel::StartLighting()
{
    m_lighting->start();
    m_pump->start();
}

void KeyboardModel::StopLighting()
{
    m_pump->stop();
    m_lighting->stop();
}

bool KeyboardModel::isChannelOpen() const
{
    return channel().isOpen();
}

bool KeyboardModel::isLightingSynced() const
{
    return channel().isLightingSync();
}

void KeyboardModel::watchChannel(const std::weak_ptr<platform::Event>& changed)
{
    channel().watchFlags(changed);
}

void KeyboardModel::framePainted()
{
    m_painted.fetch_add(1);
    lightWatch().comparePainted(lights(), std::size_t(lightCount()));
    // Every step goes to the pump as it is painted, however late the tile's timer runs.
    handOverFrame();
}

bool KeyboardModel::mayStream() const
{
    return lightingControl() == LightingControl::Host && channel().isOpen() &&
           !channel().isReceiverMode() && m_modeSendsFrames.load();
}

void KeyboardModel::handOverFrame()
{
    if (!mayStream())
        return;
    const std::uint64_t painted = m_painted.load();
    std::uint64_t handed = m_handedGeneration.load();
    // One hand-over per paint, whichever thread gets there first.
    if (painted == handed || !m_handedGeneration.compare_exchange_strong(handed, painted))
        return;
    std::array<std::uint8_t, kKeyboardPositions> ledMap;
    {
        std::lock_guard lock(m_liveLedLock);
        ledMap = m_liveLedMap;
    }
    const ColourBuffer buffer = buildColourBuffer(lights(), ledMap, Scaling::ByBrightness);
    m_pump->post(std::span(buffer).first(kLiveFrameSize));
    m_handedOver.fetch_add(1);
}

void KeyboardModel::SendLiveFrame()
{
    if (lightingControl() == LightingControl::OtherProgram)
        return;
    LightColourList& colours = lights();
    for (std::size_t light = 0; light < std::size_t(lightCount()); ++light) {
        const LightColour colour = colours.get(light);
        view().showLight(light, pictureColour(colour), colour.brightness);
    }
    // Colours the synchronised lighting or a page set go out from here.
    handOverFrame();
}

bool KeyboardModel::sendLiveColours(std::span<const std::uint8_t> frame)
{
    if (!channel().isOpen() || channel().isReceiverMode())
        return false;
    return channel().LiveColours(frame, 0) == protocol::Status::Ok;
}

} // namespace model
