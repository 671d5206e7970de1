#pragma once

#include "device/detect/supported_interfaces.h"
#include "platform/event.h"
#include "profile/light_info.h"

#include <cstdint>
#include <memory>
#include <span>

namespace app::lighting_sync {

// What the main window's own lighting (same lighting, synchronised lighting, game lighting,
// the spectrum feed) needs of a device object. The main window adapts its device objects to
// it. Members marked "any thread" are called by the synchronised-lighting thread too and
// must be safe there; the others run on the UI thread only.
class SyncDevice {
public:
    virtual ~SyncDevice() = default;

    virtual detect::DeviceKind kind() const = 0;
    // Any thread: the command channel is open.
    virtual bool isOnline() const = 0;
    // Any thread: the channel's synchronised-lighting flag.
    virtual bool isLightingSync() const = 0;
    virtual void setLightingSync(bool on) = 0;
    // Any thread: `changed` is set after isOnline() or isLightingSync() changes, for as long
    // as it lives.
    virtual void watchChanges(const std::weak_ptr<platform::Event>& changed) = 0;
    // Any thread: the number of lights and the colour word (red | green << 8 | blue << 16 |
    // brightness << 24) of one of them; the device's tile timer sends the frames.
    virtual int lightCount() const = 0;
    virtual void setLightColour(int index, std::uint32_t colour) = 0;

    // The device's 14-byte light settings.
    virtual profile::LightInfo lightSettings() const = 0;
    // The lighting page shows the settings, or only an effect mode.
    virtual void showOnPage(const profile::LightInfo& settings) = 0;
    virtual void showEffectMode(int mode) = 0;
    // Stores the settings in the profile, saves it, shows them and writes the slot record
    // (slot 0, as the lighting page's changes do).
    virtual void writeLighting(const profile::LightInfo& settings) = 0;

    // The keyboard's audio lighting input: band values, and the external colour values.
    virtual void setAudioSpectrum(std::span<const std::int32_t>) {}
    virtual void setExternalColour(std::span<const std::int32_t>) {}
};

} // namespace app::lighting_sync
