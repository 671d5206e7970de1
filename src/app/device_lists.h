#pragma once

#include "device/detect/supported_interfaces.h"

#include <array>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace app {

class ShellDevice;

// The main window's device lists by kind. Another thread (the synchronised lighting) reads
// them while the UI thread may append, so the storage never moves: each list reserves its
// full capacity up front, and both sides hold the lock briefly.
class DeviceLists {
public:
    enum class Kind { Keyboard, Mouse, MousePad, Headset };
    static constexpr std::size_t kCapacity = 8;

    DeviceLists();

    // The list a device type id belongs to; nullopt for none.
    static std::optional<Kind> kindOf(detect::DeviceTypeId type);

    // False, with nothing added, when the list is full.
    bool add(Kind kind, ShellDevice* device);
    std::vector<ShellDevice*> list(Kind kind) const;
    ShellDevice* first(Kind kind) const;
    // Every device of the kinds, in list order.
    void forEach(std::initializer_list<Kind> kinds,
                 const std::function<void(ShellDevice&)>& action) const;
    void clear();

private:
    mutable std::mutex m_lock;
    std::array<std::vector<ShellDevice*>, 4> m_lists;
};

} // namespace app
