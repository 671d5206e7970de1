#include "device/detect/permission_problem.h"

#include "device/detect/supported_interfaces.h"
#include "device/hid/hid_path.h"

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

std::string describe(const PermissionProblem& problem)
{
    const auto& row = supportedInterfaces()[problem.row % kSupportedInterfaceCount];
    return "the " + deviceName(row.typeId) + " is plugged in, but you have no permission to " +
           problem.missing + " " + problem.node +
           ". Install the udev rule that grants it: sudo cp " + kUdevRuleFile + " " +
           kUdevRuleFolder + " && " + kUdevReload + ".";
}

} // namespace detect
