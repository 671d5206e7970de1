#include "device/hid/hid_changes.h"

#include "device/hid/hid_backend.h"
#include "platform/device_monitor.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

namespace hid {
namespace {

struct Watches {
    std::mutex lock; // events, and the monitor's coming and going
    std::vector<platform::Event*> events;
    std::unique_ptr<platform::DeviceMonitor> monitor;
};

Watches& watches()
{
    static Watches instance;
    return instance;
}

} // namespace

void notifyChange()
{
    auto& all = watches();
    std::lock_guard guard(all.lock);
    for (platform::Event* event : all.events)
        event->set();
}

ChangeWatch::ChangeWatch()
{
    auto& all = watches();
    bool first = false;
    {
        std::lock_guard guard(all.lock);
        first = all.events.empty();
        if (first && !all.monitor)
            all.monitor =
                std::make_unique<platform::DeviceMonitor>("hidraw", [] { notifyChange(); });
        all.events.push_back(&m_event);
    }
    if (first) {
        for (Backend* backend : backends())
            backend->watchChanges(true);
    }
}

bool ChangeWatch::hasSystemEvents() const
{
    // Asked each time: a monitor can break after it started.
    auto& all = watches();
    std::lock_guard guard(all.lock);
    return all.monitor && all.monitor->isActive();
}

ChangeWatch::~ChangeWatch()
{
    auto& all = watches();
    std::unique_ptr<platform::DeviceMonitor> monitor;
    {
        std::lock_guard guard(all.lock);
        std::erase(all.events, &m_event);
        if (all.events.empty())
            monitor = std::move(all.monitor);
    }
    // Stopped outside the lock: their threads may be waiting for it in notifyChange.
    if (monitor) {
        for (Backend* backend : backends())
            backend->watchChanges(false);
    }
    monitor.reset();
}

} // namespace hid
