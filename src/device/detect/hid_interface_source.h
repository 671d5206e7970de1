#pragma once

#include "device/detect/interface_source.h"
#include "device/hid/hid_changes.h"
#include "device/hid/hid_device.h"

namespace detect {

// The system's HID interfaces through CHidDevice: one long-lived object lists the paths and
// makes the short probe opens; presence is checked without
// opening the interface.
class HidInterfaceSource : public InterfaceSource {
public:
    std::optional<std::vector<std::wstring>> enumerate() override;
    std::optional<Probe> probe(const std::wstring& path) override;
    bool isPresent(const std::wstring& path) override;
    platform::Event* changeEvent() override { return &m_changes.event(); }
    bool hearsSystemChanges() const override { return m_changes.hasSystemEvents(); }
    std::optional<hid::OpenFailure> lastProbeFailure() const override
    {
        return m_device.lastOpenFailure();
    }

private:
    CHidDevice m_device;
    hid::ChangeWatch m_changes;
};

} // namespace detect
