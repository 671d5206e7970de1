#pragma once

// What a device family can do, declared once by the family. The pages ask before they offer
// a control or send a block; an operation outside the set answers NotSupported.

#include <cstdint>
#include <initializer_list>

namespace model {

enum class Capability : std::uint8_t {
    Profile,       // a profile record: LoadProfile, CommitProfile, ReloadProfile
    Lighting,      // host-driven lighting from the profile: ShowLighting, Start/StopLighting
    DeviceRead,    // the full read of the device's layout: ReadDevice
    DeviceState,   // the active slot's settings read back: ReadDeviceState, SyncFromDevice
    SlotRecord,    // the slot record written: WriteSlotRecord
    KeyMap,        // key assignments: WriteKeyMap, WriteProfileKeyMap, CollectMacros
    Macros,        // the macro block: WriteMacros
    CustomColours, // the custom colour groups: WriteCustomColourGroup
    Power,         // the battery and power block: RefreshPower
    Receiver,      // a wireless receiver link: IsReceiverLinkUp
    AudioInput,    // the audio band and external colour inputs: SetAudioSpectrum, ...
};

class Capabilities {
public:
    constexpr Capabilities() = default;
    constexpr Capabilities(std::initializer_list<Capability> list)
    {
        for (const Capability capability : list)
            m_bits |= bit(capability);
    }

    constexpr bool has(Capability capability) const { return (m_bits & bit(capability)) != 0; }
    constexpr bool operator==(const Capabilities&) const = default;

private:
    static constexpr std::uint32_t bit(Capability capability)
    {
        return std::uint32_t{1} << static_cast<unsigned>(capability);
    }

    std::uint32_t m_bits = 0;
};

} // namespace model
