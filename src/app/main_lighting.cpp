#include "app/main_lighting.h"

#include "app/lighting_sync/game_lighting.h"
#include "app/lighting_sync/same_lighting.h"
#include "pages/devices/tessary_usb_device.h"
#include "pages/light_page_binding.h"
#include "platform/debug_output.h"
#include "shell/shell_device.h"

namespace app {
namespace {

CTessaryUSBDevice* deviceObjectOf(shell::ShellDevice& device)
{
    CControlUI* page = device.page();
    return page ? static_cast<CTessaryUSBDevice*>(page->GetInterface(L"TessaryUSBDevice"))
                : nullptr;
}

} // namespace

MainLighting::MainLighting() : m_worker(m_devices, m_settings)
{
    m_views.reserve(lighting_sync::DeviceLists::kMaxDevices);
}

MainLighting::~MainLighting()
{
    if (!stop())
        platform::debugOutput(L"synchronised lighting has not ended in time");
}

bool MainLighting::addDevice(detect::DeviceKind kind, shell::ShellDevice& device)
{
    CTessaryUSBDevice* object = deviceObjectOf(device);
    if (!object || m_views.size() >= lighting_sync::DeviceLists::kMaxDevices)
        return false;
    auto view = std::make_unique<lighting_sync::ModelSyncDevice>(
        kind, object->model(),
        [object](const profile::LightInfo& settings) {
            pages::showLightSettings(*object, settings);
        },
        [object](int mode) { pages::showLightMode(*object, mode); });
    view->setCommitted([object](const pages::ChangeResult& result, bool saveTried) {
        if (saveTried)
            object->pending().committed(pages::ProfileBlock::Lighting, result);
        else
            object->pending().written(pages::ProfileBlock::Lighting, result.written);
    });
    if (!m_devices.add(view.get()))
        return false;
    m_views.emplace_back(&device, std::move(view));
    return true;
}

lighting_sync::SyncDevice* MainLighting::syncDeviceOf(const shell::ShellDevice* device) const
{
    for (const auto& [shell, view] : m_views) {
        if (device && shell == device)
            return view.get();
    }
    return nullptr;
}

bool MainLighting::start()
{
    return m_worker.start();
}

bool MainLighting::stop(std::chrono::milliseconds timeout)
{
    return m_worker.stop(timeout);
}

bool MainLighting::applySameLighting(const shell::ShellDevice* active)
{
    return lighting_sync::applySameLighting(syncDeviceOf(active), m_devices, m_settings);
}

void MainLighting::gameEvent(const shell::ShellDevice* active, std::uint64_t step,
                             std::int64_t mode)
{
    lighting_sync::handleGameEvent(syncDeviceOf(active), step, mode);
}

void MainLighting::restoreAfterGame(const shell::ShellDevice* active)
{
    lighting_sync::restoreAfterGame(syncDeviceOf(active));
}

bool MainLighting::copyData(std::uint64_t id, std::span<const std::uint8_t> data)
{
    return m_feed.onCopyData(id, data, m_devices);
}

} // namespace app
