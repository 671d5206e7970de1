#include "device/protocol/mouse_sequences.h"

#include "device/protocol/device_protocol.h"

#include "platform/debug_output.h"

#include <algorithm>
#include <string>

namespace protocol {

bool mouseReachable(CDeviceProtocol& channel)
{
    // LinkStatus answers true on the cable without asking.
    if (channel.LinkStatus())
        return true;
    platform::debugOutput("the receiver cannot reach the mouse");
    return false;
}

FullReadResult mouseFullRead(CDeviceProtocol& channel, InfoBlock& info, KeyBlock& keyLayout)
{
    FullReadResult result;
    if (!channel.isOpen())
        return result;
    const DeviceHold hold(channel);
    if (!hold.isHeld()) {
        result.outcome = FullReadOutcome::Completed;
        result.firstFailure = hold.status();
        return result;
    }
    if (!mouseReachable(channel)) {
        result.firstFailure = Status::ReceiverAsleep;
        return result;
    }
    const auto stopped = [&](Status status) {
        result.outcome = FullReadOutcome::Completed;
        result.firstFailure = status;
        return status != Status::Ok;
    };
    if (stopped(channel.Begin()))
        return result;
    InfoBlock freshInfo{};
    if (stopped(channel.ReadInfo(freshInfo)))
        return result;
    info = freshInfo;
    if (!channel.setBlockSize(kKeyEntrySize * std::size_t{info[kInfoKeySlotCount]})) {
        platform::debugOutput(
            "mouse full read stopped: " + std::to_string(info[kInfoKeySlotCount]) +
            " key slots do not fit a block");
        result.outcome = FullReadOutcome::BlockSizeRefused;
        return result;
    }
    KeyBlock layout{};
    if (stopped(channel.ReadKeyLayout(layout)))
        return result;
    keyLayout = layout;
    (void)stopped(channel.End());
    return result;
}

Status writeMouseKeyMap(CDeviceProtocol& channel, InfoBlock& info,
                        std::span<const std::uint8_t> keyMap)
{
    if (!channel.isOpen())
        return Status::NoReply;
    const DeviceHold hold(channel);
    if (!hold.isHeld())
        return hold.status();
    if (!mouseReachable(channel))
        return Status::ReceiverAsleep;
    InfoBlock fresh{};
    if (const Status status = channel.ReadInfo(fresh); status != Status::Ok)
        return status;
    info = fresh;
    const std::size_t size = kKeyEntrySize * std::size_t{info[kInfoKeySlotCount]};
    if (size > kMaxBlockSize) {
        platform::debugOutput(
            "mouse key map not written: " + std::to_string(info[kInfoKeySlotCount]) +
            " key slots do not fit a block");
        return Status::NoReply;
    }
    if (size == 0) {
        platform::debugOutput("mouse key map not written: the device reports no key slots");
        return Status::NothingToWrite;
    }
    KeyBlock block{};
    std::copy_n(keyMap.begin(), std::min(keyMap.size(), size), block.begin());
    // WriteKeyMap sends the channel's block size: 3 × the fresh count, as the device has it.
    (void)channel.setBlockSize(size);
    Status first = channel.Begin();
    const Status written = channel.WriteKeyMap(block, 0, 0);
    if (first == Status::Ok)
        first = written;
    (void)channel.End();
    return first;
}

MacroWrite writeMouseMacros(CDeviceProtocol& channel, InfoBlock& info,
                            std::span<const Macro> macros)
{
    if (!macros.empty() && channel.isOpen() && !mouseReachable(channel))
        return MacroWrite{Status::ReceiverAsleep};
    return writeMacroBlock(channel, info, macros);
}

Status writeMouseRecord(CDeviceProtocol& channel, std::size_t slot, const MouseRecord& record)
{
    if (!channel.isOpen())
        return Status::NoReply;
    const DeviceHold hold(channel);
    if (!hold.isHeld())
        return hold.status();
    if (!mouseReachable(channel))
        return Status::ReceiverAsleep;
    Status first = channel.Begin();
    const Status written = channel.WriteSettings(std::span(record).first(kMouseRecordWriteSize),
                                                 slot * kMouseRecordStride);
    if (first == Status::Ok)
        first = written;
    (void)channel.End();
    return first;
}

Status writeRecoilPattern(CDeviceProtocol& channel, std::span<const Macro> patterns)
{
    if (!channel.isOpen())
        return Status::NoReply;
    const DeviceHold hold(channel);
    if (!hold.isHeld())
        return hold.status();
    if (!mouseReachable(channel))
        return Status::ReceiverAsleep;
    const auto block = buildRecoilBlock(patterns);
    if (!block) {
        platform::debugOutput("recoil pattern not written: the block is too large");
        return Status::NoReply;
    }
    Status first = channel.Begin();
    const Status written = channel.WriteShootData(*block, 0);
    if (first == Status::Ok)
        first = written;
    (void)channel.End();
    return first;
}

Status readMouseRecord(CDeviceProtocol& channel, MouseRecord& record)
{
    if (!channel.isOpen())
        return Status::NoReply;
    const DeviceHold hold(channel);
    if (!hold.isHeld())
        return hold.status();
    if (!mouseReachable(channel))
        return Status::ReceiverAsleep;
    std::array<std::uint8_t, 1> active{};
    if (const Status status = channel.ReadSettings(active, 0); status != Status::Ok)
        return status;
    MouseRecord fresh{};
    if (const Status status = channel.ReadSettings(fresh, active[0] * kMouseRecordStride);
        status != Status::Ok)
        return status;
    fresh[mouse_record::kActiveSlot] = active[0];
    record = fresh;
    return Status::Ok;
}

} // namespace protocol
