#include "device/detect/device_watcher.h"

#include "device/hid/hid_path.h"
#include "platform/debug_output.h"

namespace detect {

DeviceWatcher::DeviceWatcher(InterfaceTable& table, InterfaceSource& source, WatcherSink& sink,
                             Pacing pacing)
    : m_table(table), m_source(source), m_sink(sink), m_pacing(pacing)
{
}

DeviceWatcher::~DeviceWatcher()
{
    stop();
}

bool DeviceWatcher::start()
{
    return m_thread.start("device watcher", [this](platform::Event& stop) { run(stop); });
}

bool DeviceWatcher::stop(std::chrono::milliseconds timeout)
{
    return m_thread.stop(timeout);
}

void DeviceWatcher::run(platform::Event& stop)
{
    using Clock = std::chrono::steady_clock;
    platform::Event* const changes = m_source.changeEvent();
    // The first pass comes at once, and the paced passes follow it as after a change.
    std::chrono::milliseconds wait(1);
    auto settleUntil = Clock::now() + m_pacing.settleTime;
    auto lastPass = Clock::now() - m_pacing.passInterval;
    for (;;) {
        if (changes) {
            const auto woken = platform::Event::waitForAny({&stop, changes}, wait);
            if (woken == 0u)
                break;
            if (woken == 1u) {
                settleUntil = Clock::now() + m_pacing.settleTime;
                // Keep the pacing: a burst of events makes passes 100 ms apart, not one each.
                const auto due = lastPass + m_pacing.passInterval;
                if (Clock::now() < due && stop.waitUntil(due))
                    break;
            }
        } else if (stop.waitFor(wait)) {
            break;
        }
        const std::size_t stepsBefore = m_stepsReported;
        runPass(stop);
        lastPass = Clock::now();
        if (m_stepsReported != stepsBefore)
            settleUntil = lastPass + m_pacing.settleTime;
        // Without the system's events (no device daemon) a replug is only seen by looking:
        // the quick passes go on, and the change event still wakes them for our own devices.
        const bool hearsAll = changes && m_source.hearsSystemChanges();
        wait =
            !hearsAll || lastPass < settleUntil ? m_pacing.passInterval : m_pacing.safetyInterval;
    }
    platform::debugOutput(L"抓取设备线程设定退出");
}

void DeviceWatcher::runPass(const platform::Event& stop)
{
    if (m_table.hasAbsentRow())
        scanForArrivals(stop);
    checkRemovals(stop);
}

void DeviceWatcher::scanForArrivals(const platform::Event& stop)
{
    const auto paths = m_source.enumerate();
    // A failed listing skips this pass only; the next one tries again.
    if (!paths) {
        platform::debugOutput(L"HID enumeration failed; pass skipped");
        return;
    }
    for (const auto& path : *paths) {
        const auto ids = hid::parsePath(path);
        const auto rows = m_table.rows();
        bool candidate = false;
        for (const auto& r : rows) {
            if (r.isAbsent() && r.vendorId == ids.vendorId && r.productId == ids.productId &&
                r.interfaceNumber == ids.interfaceNumber && r.collection == ids.collection) {
                candidate = true;
                break;
            }
        }
        if (!candidate)
            continue;
        const auto probe = m_source.probe(path);
        if (!probe) {
            // Tried again next pass; a refused permission is worth telling the user.
            if (const auto failure = m_source.lastProbeFailure()) {
                if (const auto problem = permissionProblemFor(path, *failure))
                    m_table.notePermissionProblem(*problem);
            }
            continue;
        }
        for (std::size_t index = 0; index < rows.size(); ++index) {
            const auto& r = rows[index];
            if (r.vendorId == probe->vendorId && r.productId == probe->productId &&
                r.interfaceNumber == ids.interfaceNumber && r.collection == ids.collection &&
                r.usagePage == probe->usagePage && r.usage == probe->usage && r.isAbsent()) {
                m_table.markPresent(index, path);
                ++m_stepsReported;
                m_sink.interfaceArrived(index, stop);
                break;
            }
        }
    }
    if (!m_firstPassDone) {
        m_firstPassDone = true;
        m_sink.firstPassDone();
    }
}

void DeviceWatcher::checkRemovals(const platform::Event& stop)
{
    const auto rows = m_table.rows();
    for (std::size_t index = 0; index < rows.size(); ++index) {
        if (!rows[index].present || m_source.isPresent(rows[index].path))
            continue;
        m_table.markAbsent(index);
        ++m_stepsReported;
        m_sink.interfaceRemoved(index, stop);
    }
}

} // namespace detect
