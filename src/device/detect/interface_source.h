#pragma once

#include "device/hid/hid_types.h"
#include "platform/event.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace detect {

// How the watcher sees the system's HID interfaces. The HID implementation is the real
// one; tests script their own.
class InterfaceSource {
public:
    struct Probe {
        std::uint16_t vendorId = 0;
        std::uint16_t productId = 0;
        std::uint16_t usagePage = 0;
        std::uint16_t usage = 0;
    };

    virtual ~InterfaceSource() = default;

    // Every interface path present now; nullopt when the system could not list them.
    [[nodiscard]] virtual std::optional<std::vector<std::wstring>> enumerate() = 0;
    // Opens the path briefly for reading; nullopt when it cannot be opened.
    [[nodiscard]] virtual std::optional<Probe> probe(const std::wstring& path) = 0;
    // Set whenever the interfaces may have changed (auto-reset), so the watcher can sleep
    // until then; null when the source cannot tell, and the watcher passes on a timer.
    [[nodiscard]] virtual platform::Event* changeEvent() { return nullptr; }
    // Whether the change event hears every change of the system's devices. False when only
    // some reach it (no device daemon): the watcher must keep looking on its own then.
    [[nodiscard]] virtual bool hearsSystemChanges() const { return true; }
    // Why the last probe failed, where known.
    [[nodiscard]] virtual std::optional<hid::OpenFailure> lastProbeFailure() const
    {
        return std::nullopt;
    }
    // A cheap check that the interface is still there.
    [[nodiscard]] virtual bool isPresent(const std::wstring& path) = 0;
};

} // namespace detect
