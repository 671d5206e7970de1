#include "device/model/profile_apply.h"

#include "device/model/usb_device_model.h"
#include "device/protocol/device_protocol.h"
#include "platform/debug_output.h"

#include <chrono>
#include <functional>

namespace model {
namespace {

// Runs one step, timing it and counting the request frames the device issued for it.
StepReport runStep(UsbDeviceModel& device, std::string name,
                   const std::function<protocol::Status(StepReport&)>& step)
{
    StepReport report;
    report.name = std::move(name);
    const std::uint64_t framesBefore = device.requestFrames();
    const auto start = std::chrono::steady_clock::now();
    report.status = step(report);
    report.took = std::chrono::steady_clock::now() - start;
    report.frames = device.requestFrames() - framesBefore;
    if (report.status == protocol::Status::DeviceHeld)
        report.detail = device.channel().refusal();
    if (report.status != protocol::Status::Ok && report.detail.empty())
        report.detail = protocol::describe(report.status);
    platform::debugOutput(report.name + ": " + protocol::describe(report.status));
    return report;
}

} // namespace

WholeWriteHold::WholeWriteHold(UsbDeviceModel& device) : m_device(device)
{
    const auto asked = std::chrono::steady_clock::now();
    m_hold = std::make_unique<protocol::DeviceHold>(device.channel());
    m_waited = std::chrono::steady_clock::now() - asked;
}

WholeWriteHold::~WholeWriteHold() = default;

bool WholeWriteHold::isHeld() const
{
    return m_hold->isHeld();
}

protocol::Status WholeWriteHold::status() const
{
    return m_hold->status();
}

StepReport WholeWriteHold::refusal() const
{
    StepReport report;
    report.name = kDeviceHoldStep;
    report.status = status();
    report.took = m_waited;
    report.detail = m_device.channel().refusal();
    if (report.detail.empty())
        report.detail = protocol::describe(report.status);
    platform::debugOutput(report.name + ": " + report.detail);
    return report;
}

const StepReport* ApplyReport::firstFailure() const
{
    for (const StepReport& step : steps) {
        if (step.status != protocol::Status::Ok)
            return &step;
    }
    return nullptr;
}

ApplyReport applyProfile(UsbDeviceModel& device)
{
    ApplyReport report;
    const WholeWriteHold hold(device);
    if (!hold.isHeld()) {
        report.steps.push_back(hold.refusal());
        return report;
    }
    device.LoadLightPresets();
    // A step the device has no part for is left out, not reported as written.
    if (device.has(Capability::Macros))
        report.steps.push_back(runStep(device, "macros", [&](StepReport& step) {
            const std::vector<int> macros = device.CollectMacros();
            const protocol::MacroWrite written = device.WriteMacros(macros);
            if (macros.empty())
                step.detail = "no key uses a macro";
            if (written.overflow > 0) {
                step.detail = "the macros exceed the device's macro memory by " +
                              std::to_string(written.overflow) + " events; nothing written";
                return protocol::Status::NoReply;
            }
            if (written.tooLarge) {
                step.detail = "the macro block is too large to send";
                return protocol::Status::NoReply;
            }
            if (!macros.empty() && written.status == protocol::Status::Ok)
                step.detail = std::to_string(macros.size()) + " macros";
            return written.status;
        }));
    if (device.has(Capability::KeyMap))
        report.steps.push_back(
            runStep(device, "key map", [&](StepReport&) { return device.WriteProfileKeyMap(0); }));
    if (device.has(Capability::SlotRecord))
        report.steps.push_back(runStep(device, "slot record",
                                       [&](StepReport&) { return device.WriteSlotRecord(0, 0); }));
    if (device.has(Capability::CustomColours)) {
        report.steps.push_back(runStep(device, "custom colours", [&](StepReport& step) {
            if (device.channel().isOpen() && device.channel().isReceiverMode()) {
                step.skipped = true;
                step.detail = "sent on the cable only";
                return protocol::Status::Ok;
            }
            return device.WriteCustomColourGroup();
        }));
    }
    if (device.has(Capability::Lighting))
        report.steps.push_back(
            runStep(device, "lighting", [&](StepReport&) { return device.ShowLighting(); }));
    return report;
}

ApplyReport reapplyOnAttach(UsbDeviceModel& device, AfterApply after)
{
    ApplyReport report;
    if (const WholeWriteHold hold(device); !hold.isHeld()) {
        report.steps.push_back(hold.refusal());
    } else {
        if (device.has(Capability::DeviceRead))
            report.steps.push_back(
                runStep(device, "full read", [&](StepReport&) { return device.ReadDevice(); }));
        report.steps.push_back(runStep(device, "profile", [&](StepReport& step) {
            const ProfileResult loaded = device.LoadProfile();
            if (loaded == ProfileResult::Ok)
                return protocol::Status::Ok;
            step.detail = "the selected profile could not be loaded: " + describe(loaded);
            return loaded == ProfileResult::NotSupported ? protocol::Status::NotSupported
                                                         : protocol::Status::NoReply;
        }));
        if (report.steps.back().status == protocol::Status::Ok) {
            ApplyReport written = applyProfile(device);
            for (StepReport& step : written.steps)
                report.steps.push_back(std::move(step));
        }
    }
    if (after == AfterApply::StartLighting) {
        device.RefreshView();
        device.StartLighting();
    }
    return report;
}

} // namespace model
