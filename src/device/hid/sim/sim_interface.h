#pragma once

// Simulated HID interfaces: one USB interface of an emulated device, living in this process.
// Tests and the emulated devices create one with its report descriptor and a device-side
// handler, plug it, and CHidDevice then lists and opens its collections like real ones.

#include "device/hid/report_descriptor.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace hid::sim {

struct InterfaceIdentity {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t version = 0;
    // Absent for a device of one interface: its paths then carry no "&mi_".
    std::optional<std::uint32_t> interfaceNumber;
};

struct SimState;

// A plugged interface as another process needs it to list and open its collections.
struct PluggedInterface {
    std::uint32_t serial = 0;
    InterfaceIdentity identity;
    std::vector<std::uint8_t> descriptor;
};
std::vector<PluggedInterface> pluggedInterfaces();
// The path the in-process backend gives a collection of an interface so described.
std::wstring simPath(const InterfaceIdentity& identity, std::uint32_t serial,
                     std::uint32_t collection, std::uint32_t collectionCount,
                     std::wstring_view instancePrefix = L"sim");

// The owner identity of a simulated collection at `path` in process `serverProcess`.
std::wstring simOwnerIdentity(std::int64_t serverProcess, const std::wstring& path);

class SimInterface {
public:
    // Runs on the writing thread with each output report (report id byte first, the
    // collection's output report length). It may queue input reports or unplug the interface.
    using OutputHandler =
        std::function<void(std::uint32_t collection, std::span<const std::uint8_t> report)>;

    SimInterface(InterfaceIdentity identity, std::span<const std::uint8_t> descriptor,
                 OutputHandler handler = {});
    // Unplugs, and waits for a handler call still running on another thread.
    ~SimInterface();
    SimInterface(const SimInterface&) = delete;
    SimInterface& operator=(const SimInterface&) = delete;

    void plug();
    // Open connections fail from now on, like handles of a removed device; plugging again
    // needs a new open. Waits for a handler call running on another thread, so never call
    // it while holding something that handler waits for.
    void unplug();
    bool isPlugged() const;

    // Hands an input report (report id byte first; 0 when the device numbers no reports)
    // to every open connection of the collection that owns its report id. False when no
    // collection owns it or the interface is unplugged.
    bool queueInput(std::span<const std::uint8_t> report);

    // While held, writes wait as on a device that does not take its reports.
    void holdWrites(bool held);
    // While denied, opens fail as on a node the user has no permission for.
    void denyAccess(bool denied);

    const InterfaceIdentity& identity() const;
    const std::vector<CollectionInfo>& collections() const;
    // The path of one collection (by number), or empty when there is none.
    std::wstring path(std::uint32_t collection) const;

private:
    std::shared_ptr<SimState> m_state;
};

} // namespace hid::sim
