#include "device/detect/link_controller.h"

#include "device/protocol/device_protocol.h"
#include "device/protocol/sequences.h"
#include "platform/debug_output.h"

#include <mutex>

namespace detect {

LinkController::LinkController(InterfaceTable& table, LinkHost& host) : m_table(table), m_host(host)
{
}

LinkedDevice* LinkController::findDevice(const SupportedInterface& row, std::wstring_view step)
{
    for (auto* device : m_host.devices()) {
        if (isSameInterface(device->identity(), row))
            return device;
    }
    platform::debugOutput(std::wstring(step) + L": no device object for the interface");
    return nullptr;
}

LinkedDevice* LinkController::findDeviceForListener(const SupportedInterface& row)
{
    const auto rows = m_table.rows();
    for (auto* device : m_host.devices()) {
        const auto& identity = device->identity();
        const auto matches = [&](const SupportedInterface& r) {
            return identity.vendorId == r.vendorId && identity.productId == r.productId &&
                   identity.typeId == r.typeId;
        };
        if (matches(row) || (row.paired && row.partner < rows.size() && matches(rows[row.partner])))
            return device;
    }
    platform::debugOutput(L"listener: no device object for the interface");
    return nullptr;
}

void LinkController::arrival(std::size_t row)
{
    const auto rows = m_table.rows();
    const auto action = decideArrival(rows, row);
    if (!action)
        return;
    platform::debugOutput(arrivalLine(rows[row].typeId));
    m_host.ensureDevice(row);
    switch (*action) {
    case ArrivalAction::SwitchLink:
        linkSwitch(row);
        break;
    case ArrivalAction::StayOnCable:
        break;
    case ArrivalAction::OpenChannel:
        openChannel(rows, row);
        break;
    case ArrivalAction::OpenListener:
        if (auto* device = findDeviceForListener(rows[row]))
            device->openListener(rows[row].path, rows[row].typeId);
        break;
    }
    m_host.bringForward();
}

void LinkController::openChannel(const std::vector<SupportedInterface>& rows, std::size_t row)
{
    const auto identity = rows[identityRow(rows, row)];
    auto* device = findDevice(identity, L"arrival");
    if (!device)
        return;
    auto& channel = device->channel();
    if (!channel.isOpen()) {
        const bool receiver = isReceiverType(rows[row].typeId);
        const auto link = receiver ? protocol::Link::Receiver : protocol::Link::Wired;
        if (channel.openLink(link, rows[row].path)) {
            if (const auto mode = linkModeForRow(rows[row]))
                channel.setLinkMode(protocol::linkModeFromValue(*mode));
            device->setIdentity(identity);
            m_table.clearPermissionProblem(row);
        } else {
            // Readable for the probe, but not writable for commands.
            const auto& opened = receiver ? channel.receiverLink() : channel.wiredLink();
            if (const auto& failure = opened.lastOpenFailure()) {
                if (const auto problem = permissionProblemFor(rows[row].path, *failure))
                    m_table.notePermissionProblem(*problem);
            }
            // The row stays present: the device shows no connection until it comes again.
            platform::debugOutput(L"arrival: the command interface could not be opened");
            return;
        }
    }
    m_host.channelOpened(*device, !isReceiverType(rows[row].typeId));
}

void LinkController::removal(std::size_t row)
{
    const auto rows = m_table.rows();
    const auto action = decideRemoval(rows, row);
    if (!action)
        return;
    platform::debugOutput(removalLine(rows[row].typeId));
    if (rows[row].role == InterfaceRole::Command && !lostLine(rows[row].typeId).empty())
        platform::debugOutput(lostLine(rows[row].typeId));
    switch (*action) {
    case RemovalAction::SwitchLink:
        linkSwitch(row);
        break;
    case RemovalAction::Nothing:
        break;
    case RemovalAction::CloseChannel:
        if (auto* device = findDevice(rows[identityRow(rows, row)], L"removal")) {
            device->channel().closeLinks();
            m_host.channelClosed(*device);
        }
        break;
    case RemovalAction::CloseListener:
        if (auto* device = findDeviceForListener(rows[row]))
            device->closeListener(rows[row].typeId);
        break;
    }
}

void LinkController::linkSwitch(std::size_t row)
{
    const auto rows = m_table.rows();
    if (row >= rows.size() || !rows[row].paired || rows[row].partner >= rows.size())
        return;
    const std::size_t partner = rows[row].partner;
    LinkedDevice* device = nullptr;
    for (auto* candidate : m_host.devices()) {
        if (isSameInterface(candidate->identity(), rows[row]) ||
            isSameInterface(candidate->identity(), rows[partner])) {
            device = candidate;
            break;
        }
    }
    if (!device) {
        platform::debugOutput(L"link switch: no device object for the interface");
        return;
    }
    auto& channel = device->channel();
    const bool wasReceiver = channel.isReceiverMode();
    // The cable came back: take it. The cable left: the partner is the receiver.
    const std::wstring& path = wasReceiver ? rows[row].path : rows[partner].path;
    bool opened = false;
    {
        std::lock_guard guard(channel.transferLock());
        channel.setOpen(false);
        auto& link = wasReceiver ? channel.wiredLink() : channel.receiverLink();
        link.Close();
        opened = link.Open(path, hid::kChannelMode);
    }
    if (!opened) {
        platform::debugOutput(L"link switch: the other link could not be opened");
        return;
    }
    channel.setOpen(true);
    if (wasReceiver) {
        channel.setLinkMode(protocol::LinkMode::Wired);
        m_host.switchedLink(*device, false);
        if (device->isWireless())
            device->reReadState();
    } else {
        channel.setLinkMode(protocol::LinkMode::Receiver);
        if (device->isWireless()) {
            (void)protocol::waitForReceiverLink(channel);
            device->reReadState();
        }
        m_host.switchedLink(*device, true);
    }
}

} // namespace detect
