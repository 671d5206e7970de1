#pragma once

// A supported device whose interface is there but may not be opened: the user sees which
// node, what is missing and how to install the udev rule that grants it, instead of "no
// device found". halvekctl and the program's windows show the same record.

#include "device/hid/hid_types.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace detect {

// Where the package installs the rule (the second on merged-/usr systems).
inline constexpr const char* kInstalledRuleFiles[] = {"/lib/udev/rules.d/70-halvek.rules",
                                                      "/usr/lib/udev/rules.d/70-halvek.rules"};
// What makes udev apply the rule to devices already in.
inline constexpr const char* kUdevTrigger =
    "sudo udevadm trigger --subsystem-match=hidraw --action=change";
// The rule installed from a checkout and applied, in one command: the README's, letter for
// letter. udev reads new rule files by itself; the trigger applies them to nodes already made.
inline constexpr const char* kUdevInstall =
    "sudo install -m 0644 packaging/udev/70-halvek.rules /etc/udev/rules.d/ && "
    "sudo udevadm trigger --subsystem-match=hidraw --action=change";

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

// The rule as installed by the package, when it is: the program then runs from the package.
[[nodiscard]] std::optional<std::filesystem::path> installedRule();

// What to do about it: with the rule installed, apply it (trigger, or replug); in a
// checkout, install it from the source tree.
[[nodiscard]] std::string udevRuleAdvice(const std::optional<std::filesystem::path>& installed);

// One paragraph: the device, the node, the missing permission, the advice for this system.
[[nodiscard]] std::string describe(const PermissionProblem& problem);
[[nodiscard]] std::string describe(const PermissionProblem& problem,
                                   const std::optional<std::filesystem::path>& installed);

// One problem per node: the collections of one interface share their node, and telling the
// user about it once is enough. Order kept.
[[nodiscard]] std::vector<PermissionProblem> onePerNode(std::vector<PermissionProblem> problems);

} // namespace detect
