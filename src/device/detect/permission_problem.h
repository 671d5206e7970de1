#pragma once

// A supported device whose interface is there but may not be opened: the user sees which
// node, what is missing and how to install the udev rule that grants it, instead of "no
// device found". halvekctl and the program's windows show the same record.

#include "device/hid/hid_types.h"

#include <cstddef>
#include <optional>
#include <string>

namespace detect {

// Where the package ships the rule, and what makes udev apply it to devices already in.
inline constexpr const char* kUdevRuleFile = "packaging/udev/70-halvek.rules";
inline constexpr const char* kUdevRuleFolder = "/etc/udev/rules.d/";
inline constexpr const char* kUdevReload = "sudo udevadm control --reload && sudo udevadm trigger";

struct PermissionProblem {
    std::size_t row = 0; // the supported interface (its first row when several match)
    std::wstring path;
    std::string node;    // what the system refused: "/dev/hidraw3"
    std::string missing; // "read" or "read and write"
};

// A problem when the open of `path` was refused for lack of permission and the path names
// a supported interface; nullopt for any other failure or device.
[[nodiscard]] std::optional<PermissionProblem>
permissionProblemFor(const std::wstring& path, const hid::OpenFailure& failure);

// One paragraph: the device, the node, the missing permission, the commands that install
// the rule.
[[nodiscard]] std::string describe(const PermissionProblem& problem);

} // namespace detect
