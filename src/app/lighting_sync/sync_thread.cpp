#include "app/lighting_sync/sync_thread.h"

#include "device/model/lighting_types.h"
#include "platform/debug_output.h"
#include "platform/thread_cpu_time.h"

#include <algorithm>
#include <array>

namespace app::lighting_sync {
namespace {

// Who counts for "some device is in synchronised mode", and who is lit, in these orders.
constexpr std::array kSearchOrder{detect::DeviceKind::Mouse, detect::DeviceKind::Keyboard,
                                  detect::DeviceKind::MousePad, detect::DeviceKind::Headset};
constexpr std::array kWriteOrder{detect::DeviceKind::Mouse, detect::DeviceKind::MousePad,
                                 detect::DeviceKind::Headset, detect::DeviceKind::Keyboard};

std::chrono::milliseconds clockNow()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

} // namespace

SyncLightingThread::SyncLightingThread(DeviceLists& devices, const SyncSettings& settings)
    : m_state(std::make_shared<State>(devices, settings))
{
    devices.watch(m_state->changed);
}

SyncLightingThread::~SyncLightingThread()
{
    stop();
}

bool SyncLightingThread::start()
{
    return m_worker.start("sync lighting",
                          [state = m_state](platform::Event& stop) { state->run(stop); });
}

bool SyncLightingThread::stop(std::chrono::milliseconds timeout)
{
    return !m_worker.isRunning() || m_worker.stop(timeout);
}

bool SyncLightingThread::State::anyInSync() const
{
    std::array<SyncDevice*, DeviceLists::kMaxDevices> buffer{};
    for (SyncDevice* device : devices.collect(kSearchOrder, buffer)) {
        if (device->isOnline() && device->isLightingSync())
            return true;
    }
    return false;
}

void SyncLightingThread::State::writeColour(std::uint32_t colour) const
{
    std::array<SyncDevice*, DeviceLists::kMaxDevices> buffer{};
    // A device whose channel closed still takes colours while its flag is set.
    for (SyncDevice* device : devices.collect(kWriteOrder, buffer)) {
        if (!device->isLightingSync())
            continue;
        const int count = device->lightCount();
        for (int light = 0; light < count; ++light)
            device->setLightColour(light, colour);
    }
}

void SyncLightingThread::State::run(platform::Event& stop)
{
    auto lastStep = std::chrono::steady_clock::now();
    for (;;) {
        // A change after this look sets `changed` again, so the wait cannot sleep through it.
        if (!anyInSync()) {
            cpuTime.store(platform::threadCpuTime().count(), std::memory_order_relaxed);
            if (platform::Event::waitForAny({&stop, changed.get()}) == 0)
                break;
            idleWakes.fetch_add(1, std::memory_order_relaxed);
            continue;
        }
        // A deadline rather than counting 1 ms polls: the same pace without waking for
        // every tick. A threshold of 0 steps on every tick.
        const std::optional<int> threshold = SyncEffect::threshold(settings);
        const auto deadline = lastStep + std::max(threshold.value_or(1), 1) * model::kSystemTick;
        if (std::chrono::steady_clock::now() < deadline) {
            if (stop.waitUntil(deadline))
                break;
            continue; // look at the devices and settings again before stepping
        }
        lastStep = std::chrono::steady_clock::now();
        if (!threshold)
            continue; // a mode that computes nothing
        writeColour(effect.step(settings, clockNow()));
        steps.fetch_add(1, std::memory_order_relaxed);
    }
    cpuTime.store(platform::threadCpuTime().count(), std::memory_order_relaxed);
    platform::debugOutput(L"同步灯光线程设定退出");
}

} // namespace app::lighting_sync
