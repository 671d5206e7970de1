#include "app/usb_device_shell.h"

#include "app/device_option_ui.h"
#include "pages/devices/tessary_usb_device.h"
#include "pages/light_control_ui.h"
#include "pages/models/profile_device_steps.h"
#include "platform/debug_output.h"
#include "platform/text.h"
#include "ui/paint_manager_ui.h"

#include <cstdio>

namespace app {

UsbDeviceShell::UsbDeviceShell(CTessaryUSBDevice& device) : m_device(device), m_link(device.model())
{
}

CControlUI* UsbDeviceShell::page()
{
    return &m_device;
}

void UsbDeviceShell::setUp(const shell::DeviceSetup& setup, CPaintManagerUI& manager,
                           CMpDevicePowerUI* powerTile)
{
    auto& model = m_device.model();
    m_device.SetManager(&manager, m_device.GetParent(), false);
    model.setNames(setup.descriptionFile, setup.folderName, setup.lightPresetName);
    model.setKeyCount(setup.keyCount);
    model.setLightCount(setup.lightCount);
    model.setDeviceNumber(setup.deviceNumber);
    model.setWireless(setup.wireless);
    model.setFactoryFolder(
        std::filesystem::path(platform::toUtf8(CPaintManagerUI::GetInstancePath())) /
        "DefaultData");
    model.SetKind(setup.kind);
    model.setIdentity(setup.identity);
    m_device.setPowerTile(powerTile);
}

void UsbDeviceShell::setTile(CDeviceOptionUI* tile)
{
    m_device.setTile(tile);
}

void UsbDeviceShell::BuildPicture()
{
    m_device.BuildPicture();
}

detect::DeviceTypeId UsbDeviceShell::typeId() const
{
    return m_device.model().typeId();
}

int UsbDeviceShell::deviceNumber() const
{
    return m_device.model().deviceNumber();
}

bool UsbDeviceShell::isWireless() const
{
    return m_device.model().isWireless();
}

bool UsbDeviceShell::isOnline() const
{
    return m_device.model().channel().isOpen();
}

std::uint32_t UsbDeviceShell::firmwareVersion() const
{
    return m_device.model().firmwareVersion();
}

bool UsbDeviceShell::isReceiverMode() const
{
    return m_device.model().channel().isReceiverMode();
}

std::uint64_t UsbDeviceShell::lightChanges()
{
    return m_device.model().lightWatch().changes();
}

bool UsbDeviceShell::watchLights(std::uint64_t seen)
{
    return m_device.model().lightWatch().arm(seen);
}

void UsbDeviceShell::SendLiveFrame()
{
    m_device.SendLiveFrame();
}

void UsbDeviceShell::StartDevice()
{
    m_device.StartDevice();
    platform::debugOutput(platform::toUtf8(m_device.model().folderName()) + " started");
}

void UsbDeviceShell::ReapplyProfile()
{
    const std::string name = platform::toUtf8(m_device.model().folderName());
    platform::debugOutput("re-applying the " + name + "'s profile");
    const auto report = m_device.ReapplyAfterResume();
    std::uint64_t frames = 0;
    double took = 0;
    for (const auto& step : report.steps) {
        frames += step.frames;
        took += step.took.count();
    }
    const auto* failed = report.firstFailure();
    char summary[96];
    std::snprintf(summary, sizeof summary, " (%llu frames, %.1f ms)",
                  static_cast<unsigned long long>(frames), took);
    platform::debugOutput(failed ? "profile not re-applied to the " + name + ": " + failed->name +
                                       " failed: " + failed->detail + summary
                                 : "profile re-applied to the " + name + summary);
}

void UsbDeviceShell::SyncFromDevice()
{
    m_device.SyncFromDevice();
}

void UsbDeviceShell::RefreshPower()
{
    m_device.RefreshPower();
}

bool UsbDeviceShell::IsReceiverLinkUp()
{
    return m_device.IsReceiverLinkUp();
}

void UsbDeviceShell::setPaused(bool paused)
{
    m_device.model().setPaused(paused);
}

void UsbDeviceShell::setMultiDevice(bool multi)
{
    if (CLightControlUI* page = m_device.lightPage())
        page->SetSameModeAllowed(multi);
}

void UsbDeviceShell::setLightingControl(bool control)
{
    const protocol::Status status = m_device.model().setLightingControl(
        control ? model::LightingControl::Host : model::LightingControl::OtherProgram);
    if (status != protocol::Status::Ok)
        platform::debugOutput("lighting control not taken: " + protocol::describe(status));
}

void UsbDeviceShell::rebuildKeyLabels()
{
    m_device.RefreshView();
}

void UsbDeviceShell::SetFunctionTab(int tab)
{
    m_device.SetFunctionTab(tab);
}

void UsbDeviceShell::SetExternalColour(std::span<const std::int32_t> values)
{
    m_device.model().SetExternalColour(values);
}

shell::Pending UsbDeviceShell::pending() const
{
    const pages::PendingChanges& pending = m_device.pending();
    return pending.isUnsaved()     ? shell::Pending::Unsaved
           : pending.isUnwritten() ? shell::Pending::Unwritten
                                   : shell::Pending::None;
}

shell::Pending UsbDeviceShell::saveAndWrite()
{
    const pages::ChangeResult result = pages::commitPending(m_device.model(), m_device.pending());
    if (const auto words = pages::changeMessage(result))
        platform::debugOutput(std::wstring(words->english));
    return pending();
}

std::wstring_view UsbDeviceShell::pendingReason() const
{
    const auto words = m_device.pending().reason();
    return words ? words->textId : std::wstring_view();
}

void UsbDeviceShell::discardPending()
{
    pages::discardPending(m_device.model(), m_device.pending());
}

} // namespace app
