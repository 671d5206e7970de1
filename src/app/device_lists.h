#pragma once

#include "device/detect/supported_interfaces.h"

#include <array>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace shell {
class ShellDevice;
}

namespace app {

// The main window's device lists by kind. Another thread (the synchronised lighting) reads
// them while the UI thread may append, so the storage never moves: each list reserves its
// full capacity up front, and both sides hold the lock briefly.
class DeviceLists {
public:
    static constexpr std::size_t kCapacity = 8;

    DeviceLists();

    // The list a device type id belongs to; nullopt for none.
    static std::optional<detect::DeviceKind> kindOf(detect::DeviceTypeId type);

    // False, with nothing added, when the list is full.
    bool add(detect::DeviceKind kind, shell::ShellDevice* device);
    std::vector<shell::ShellDevice*> list(detect::DeviceKind kind) const;
    shell::ShellDevice* first(detect::DeviceKind kind) const;
    // Every device of the kinds, in list order.
    void forEach(std::initializer_list<detect::DeviceKind> kinds,
                 const std::function<void(shell::ShellDevice&)>& action) const;
    void clear();

private:
    static constexpr std::size_t kKindCount = 4;
    // The list of a kind; a value outside the enum (a cast int) has none.
    static std::optional<std::size_t> slotOf(detect::DeviceKind kind);

    mutable std::mutex m_lock;
    std::array<std::vector<shell::ShellDevice*>, kKindCount> m_lists;
};

} // namespace app
