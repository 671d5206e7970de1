#include "device/detect/permission_problem.h"

#include "device/detect/supported_interfaces.h"
#include "device/hid/hid_path.h"

#include <algorithm>

namespace detect {
namespace {

std::string deviceName(DeviceTypeId type)
{
    switch (type) {
    case DeviceTypeId::KeyboardCable:
        return "keyboard (cable)";
    case DeviceTypeId::KeyboardReceiver:
        return "keyboard (receiver)";
    case DeviceTypeId::MouseCable:
        return "mouse (cable)";
    case DeviceTypeId::MouseReceiver:
        return "mouse (receiver)";
    case DeviceTypeId::MousePad:
        return "mouse pad";
    case DeviceTypeId::Headset:
        return "headset";
    }
    return "device";
}

} // namespace

std::optional<PermissionProblem> permissionProblemFor(const std::wstring& path,
                                                      const hid::OpenFailure& failure)
{
    if (failure.kind != hid::OpenFailure::Kind::PermissionDenied)
        return std::nullopt;
    const hid::PathIds ids = hid::parsePath(path);
    const auto& rows = supportedInterfaces();
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const auto& r = rows[row];
        if (r.vendorId == ids.vendorId && r.productId == ids.productId &&
            r.interfaceNumber == ids.interfaceNumber && r.collection == ids.collection)
            return PermissionProblem{row, path, failure.node,
                                     failure.mode.write ? "read and write" : "read"};
    }
    return std::nullopt;
}

std::optional<std::filesystem::path> installedRule()
{
    for (const char* file : kInstalledRuleFiles) {
        std::error_code error;
        if (std::filesystem::is_regular_file(file, error))
            return std::filesystem::path(file);
    }
    return std::nullopt;
}

std::string udevRuleAdvice(const std::optional<std::filesystem::path>& installed)
{
    // Telling a packaged program's user to copy a file from a source tree they do not have
    // helps nobody: the rule is there, it only has not reached the device yet.
    if (installed)
        return "The udev rule " + installed->string() +
               " is installed but not yet applied to the device: " + kUdevTrigger +
               ", or unplug and replug the device.";
    return std::string("Install the udev rule that grants it: ") + kUdevInstall + ".";
}

std::string describe(const PermissionProblem& problem)
{
    return describe(problem, installedRule());
}

std::string describe(const PermissionProblem& problem,
                     const std::optional<std::filesystem::path>& installed)
{
    const auto& row = supportedInterfaces()[problem.row % kSupportedInterfaceCount];
    return "the " + deviceName(row.typeId) + " is plugged in, but you have no permission to " +
           problem.missing + " " + problem.node + ". " + udevRuleAdvice(installed);
}

std::vector<PermissionProblem> onePerNode(std::vector<PermissionProblem> problems)
{
    std::vector<PermissionProblem> kept;
    for (auto& problem : problems) {
        const bool seen = std::any_of(kept.begin(), kept.end(), [&](const PermissionProblem& k) {
            return !problem.node.empty() && k.node == problem.node;
        });
        if (!seen)
            kept.push_back(std::move(problem));
    }
    return kept;
}

} // namespace detect
