#pragma once

// What a device says through its consumer-control interface: the first usage of a report,
// and the consumer-report table that turns it into a request of the device object.

#include "device/hid/hid_types.h"

#include <cstdint>
#include <span>

namespace model {

// Which of a device's two consumer interfaces a report came through.
enum class ListenerLink { Cable, Receiver };

enum class ConsumerAction {
    Ignore,          // codes the table does not name
    Sync,            // re-read the device's state (on the UI thread)
    SyncWithProfile, // the same, reloading the profile too (cable only)
    SlotNotice,      // the active slot changed: activeSlot
    SlotValueNotice, // the active slot and a second value (byte 17 of the kept slot record)
};

inline constexpr std::uint16_t kUsageSync = 0x0401;
inline constexpr std::uint16_t kUsageSyncWithProfile = 0x0402;

struct ConsumerReport {
    ListenerLink link = ListenerLink::Cable;
    std::uint16_t code = 0;
    ConsumerAction action = ConsumerAction::Ignore;
    std::uint8_t activeSlot = 0;  // the notices
    std::uint8_t secondValue = 0; // SlotValueNotice only
};

[[nodiscard]] ConsumerReport decodeConsumerUsage(std::uint16_t code, ListenerLink link);

// The first usage of the first data entry of an unpacked input report; 0 when there is no
// entry, the entry is a value, or its usage list is empty.
[[nodiscard]] std::uint16_t firstUsage(std::span<const hid::DataEntry> entries);

} // namespace model
