#pragma once

#include "device/detect/interface_source.h"
#include "device/detect/interface_table.h"
#include "platform/event.h"
#include "platform/worker_thread.h"

#include <chrono>

namespace detect {

// Where the watcher reports. Arrival and removal are delivered synchronously: the watcher
// waits until the receiver has handled them (the receiver uses the stop event to give up
// waiting when the program shuts down, so neither side can block the other for good).
class WatcherSink {
public:
    virtual ~WatcherSink() = default;
    virtual void interfaceArrived(std::size_t row, const platform::Event& stop) = 0;
    virtual void interfaceRemoved(std::size_t row, const platform::Event& stop) = 0;
    // Once, after the first arrival scan.
    virtual void firstPassDone() = 0;
};

struct WatcherPacing {
    std::chrono::milliseconds passInterval{100};
    // How long the 100 ms passes go on after a change: a node is announced before udev's
    // rules have given it its permissions.
    std::chrono::milliseconds settleTime{2000};
    // Against a lost event.
    std::chrono::milliseconds safetyInterval{10000};
};

// Passes over the HID interfaces: while some row is absent it enumerates and probes the
// candidates; every pass it checks that the present rows are still there. Passes come
// every 100 ms for a while after the source reports a change (and after a pass that
// found one), then only as a slow safety pass until the next change. A source that
// reports no changes, or does not hear the system's, is passed over every 100 ms.
class DeviceWatcher {
public:
    using Pacing = WatcherPacing;
    static constexpr std::chrono::milliseconds kPassInterval = WatcherPacing{}.passInterval;

    DeviceWatcher(InterfaceTable& table, InterfaceSource& source, WatcherSink& sink,
                  WatcherPacing pacing = WatcherPacing{});
    ~DeviceWatcher();
    DeviceWatcher(const DeviceWatcher&) = delete;
    DeviceWatcher& operator=(const DeviceWatcher&) = delete;

    bool start();
    bool stop(std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));

    // One pass (arrival scan, removal check) on the calling thread.
    void runPass(const platform::Event& stop);

private:
    void run(platform::Event& stop);
    void scanForArrivals(const platform::Event& stop);
    void checkRemovals(const platform::Event& stop);

    InterfaceTable& m_table;
    InterfaceSource& m_source;
    WatcherSink& m_sink;
    Pacing m_pacing;
    bool m_firstPassDone = false;
    std::size_t m_stepsReported = 0; // arrivals and removals so far
    platform::WorkerThread m_thread;
};

} // namespace detect
