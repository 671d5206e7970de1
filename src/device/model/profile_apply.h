#pragma once

// Writing the selected profile to a device, step by step, and the steps a device object runs
// when its device arrives, changes link or comes back from suspend. Each step reports its
// status, the request frames it issued and the time it took, so halvekctl can print them and
// the program can trace them. Nothing here saves the profile file.

#include "device/protocol/status.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

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

// Macros (collected and written), key map (bank 0), slot record (slot 0, active 0), custom
// colours, lighting. Every step runs even after one failed, as the device objects have
// always written each part on its own; the report names the first failure.
[[nodiscard]] ApplyReport applyProfile(UsbDeviceModel& device);

enum class AfterApply { StartLighting, Nothing };

// The device's channel has (re)opened (arrival, link switch, resume): the full read, the
// selected profile loaded and written to the device (applyProfile), then, unless told
// otherwise, the view refreshed and the lighting started. A profile that cannot be loaded
// is not written.
[[nodiscard]] ApplyReport reapplyOnAttach(UsbDeviceModel& device,
                                          AfterApply after = AfterApply::StartLighting);

} // namespace model
