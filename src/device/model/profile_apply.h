#pragma once

// Writing the selected profile to a device, step by step, and the steps a device object runs
// when its device arrives, changes link or comes back from suspend. Each step reports its
// status, the request frames it issued and the time it took, so halvekctl can print them and
// the program can trace them. Nothing here saves the profile file.

#include "device/protocol/status.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace protocol {
class DeviceHold;
}

namespace model {

class UsbDeviceModel;

struct StepReport {
    std::string name; // "macros", "key map", "slot record", "custom colours", "lighting", ...
    protocol::Status status = protocol::Status::Ok;
    std::uint64_t frames = 0;
    std::chrono::duration<double, std::milli> took{0};
    std::string detail; // why it failed or was skipped, in words; empty otherwise
    bool skipped = false;
};

struct ApplyReport {
    std::vector<StepReport> steps;

    // The first step that failed, or null.
    const StepReport* firstFailure() const;
    bool isOk() const { return firstFailure() == nullptr; }
};

// The step a whole write reports, alone, when the device could not be had for it.
inline constexpr std::string_view kDeviceHoldStep = "device hold";

// Holds the device for a whole write (an apply, a re-apply, a profile switch), so another
// program's write runs before or after it, never between its steps: one profile's key map
// beside another's slot record is neither. The steps' own holds nest inside it, on the
// same thread. A live frame waits out the whole write as it waits out one command.
class WholeWriteHold {
public:
    explicit WholeWriteHold(UsbDeviceModel& device);
    ~WholeWriteHold();
    WholeWriteHold(const WholeWriteHold&) = delete;
    WholeWriteHold& operator=(const WholeWriteHold&) = delete;

    bool isHeld() const;
    protocol::Status status() const;
    // Why not, as the write's one step (kDeviceHoldStep): the holder and how long it waited.
    [[nodiscard]] StepReport refusal() const;

private:
    UsbDeviceModel& m_device;
    std::chrono::duration<double, std::milli> m_waited{0};
    std::unique_ptr<protocol::DeviceHold> m_hold;
};

// Macros (collected and written), key map (bank 0), slot record (slot 0, active 0), custom
// colours, lighting. Every step runs even after one failed, as the device objects have
// always written each part on its own; the report names the first failure. The device is
// held throughout (WholeWriteHold); when it cannot be, nothing is sent.
[[nodiscard]] ApplyReport applyProfile(UsbDeviceModel& device);

enum class AfterApply { StartLighting, Nothing };

// The device's channel has (re)opened (arrival, link switch, resume): the full read, the
// selected profile loaded and written to the device (applyProfile), then, unless told
// otherwise, the view refreshed and the lighting started. A profile that cannot be loaded
// is not written. The device is held from the read to the last write.
[[nodiscard]] ApplyReport reapplyOnAttach(UsbDeviceModel& device,
                                          AfterApply after = AfterApply::StartLighting);

} // namespace model
