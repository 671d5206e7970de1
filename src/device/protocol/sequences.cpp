#include "device/protocol/sequences.h"

#include "device/protocol/device_protocol.h"

#include "platform/debug_output.h"

#include <algorithm>
#include <limits>
#include <string>
#include <thread>

namespace protocol {
namespace {

// Remembers the first step that did not succeed, for sequences that keep going.
class FirstFailure {
public:
    Status note(Status status)
    {
        if (status != Status::Ok && m_first == Status::Ok)
            m_first = status;
        return status;
    }
    Status first() const { return m_first; }

private:
    Status m_first = Status::Ok;
};

std::size_t keyMapSize(const InfoBlock& info)
{
    return kKeyEntrySize * std::size_t{info[kInfoKeySlotCount]};
}

} // namespace

FullReadResult fullRead(CDeviceProtocol& channel, DeviceBlocks& blocks)
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
    FirstFailure failure;
    failure.note(channel.Begin());
    // Everything after depends on the key slot count: an information block that did not
    // answer ends the read, and the blocks of the last good one stay.
    InfoBlock info{};
    if (const Status read = failure.note(channel.ReadInfo(info)); read != Status::Ok) {
        (void)channel.End();
        result.outcome = FullReadOutcome::Completed;
        result.firstFailure = failure.first();
        return result;
    }
    blocks.info = info;
    if (!channel.setBlockSize(keyMapSize(blocks.info))) {
        platform::debugOutput(
            "full read stopped: " + std::to_string(blocks.info[kInfoKeySlotCount]) +
            " key slots do not fit a block");
        result.outcome = FullReadOutcome::BlockSizeRefused;
        result.firstFailure = failure.first();
        return result;
    }
    KeyBlock layout{};
    failure.note(channel.ReadKeyLayout(layout));
    blocks.keyLayout = layout;
    KeyBlock ledMap{};
    failure.note(channel.ReadLedMap(ledMap));
    blocks.ledMap = ledMap;
    failure.note(channel.End());
    result.outcome = FullReadOutcome::Completed;
    result.firstFailure = failure.first();
    return result;
}

Status writeKeyMapBlock(CDeviceProtocol& channel, InfoBlock& info,
                        std::span<const std::uint8_t> keyMap)
{
    if (!channel.isOpen())
        return Status::NoReply;
    const DeviceHold hold(channel);
    if (!hold.isHeld())
        return hold.status();
    // The size comes from this read: a block from a failed one is not the device's.
    InfoBlock fresh{};
    if (const Status read = channel.ReadInfo(fresh); read != Status::Ok) {
        platform::debugOutput("key map not written: information block not read: " + describe(read));
        return read;
    }
    info = fresh;
    const std::size_t size = keyMapSize(info);
    if (size > kMaxBlockSize) {
        platform::debugOutput("key map not written: " + std::to_string(info[kInfoKeySlotCount]) +
                              " key slots do not fit a block");
        return Status::NoReply;
    }
    if (size == 0) {
        platform::debugOutput("key map not written: the device reports no key slots");
        return Status::NothingToWrite;
    }
    KeyBlock block{};
    std::copy_n(keyMap.begin(), std::min(keyMap.size(), size), block.begin());
    FirstFailure failure;
    failure.note(channel.Begin());
    failure.note(channel.WriteKeyMap(block, 0, 0));
    (void)channel.End();
    return failure.first();
}

MacroWrite writeMacroBlock(CDeviceProtocol& channel, InfoBlock& info, std::span<const Macro> macros)
{
    MacroWrite result;
    if (macros.empty())
        return result;
    const DeviceHold hold(channel);
    if (!hold.isHeld()) {
        result.status = hold.status();
        return result;
    }
    const bool open = channel.isOpen();
    if (open) {
        // The capacity comes from this read: one that failed says nothing about the device.
        InfoBlock fresh{};
        if (const Status read = channel.ReadInfo(fresh); read != Status::Ok) {
            platform::debugOutput("macro block not written: information block not read: " +
                                  describe(read));
            result.status = read;
            return result;
        }
        info = fresh;
    }
    const std::uint64_t total = macroBlockSize(macros);
    const std::uint64_t capacity = kMacroMemoryUnit * std::uint64_t{info[kInfoMacroUnits]};
    if (total > capacity) {
        const std::uint64_t overflow = (total - capacity) / kMacroEventSize + 1;
        result.overflow =
            static_cast<int>(std::min<std::uint64_t>(overflow, std::numeric_limits<int>::max()));
        return result;
    }
    const auto block = buildMacroBlock(macros);
    if (!block) {
        result.tooLarge = true; // cannot happen below the device's capacity; kept for a bigger one
        return result;
    }
    FirstFailure failure;
    if (open) {
        failure.note(channel.Begin());
        failure.note(channel.WriteMacros(*block, 0));
    } else {
        failure.note(Status::NoReply);
    }
    (void)channel.End();
    result.status = failure.first();
    if (result.status != Status::Ok)
        platform::debugOutput("macro block write failed: " + describe(result.status));
    return result;
}

Status writeSlotRecord(CDeviceProtocol& channel, std::size_t slot, const SlotRecord& record)
{
    const DeviceHold hold(channel);
    if (!hold.isHeld())
        return hold.status();
    FirstFailure failure;
    if (channel.isOpen())
        failure.note(channel.Begin());
    failure.note(channel.WriteSettings(record, slot * kSlotRecordStride));
    (void)channel.End();
    return failure.first();
}

Status readSlotRecord(CDeviceProtocol& channel, SlotRecord& record)
{
    if (!channel.isOpen())
        return Status::NoReply;
    const DeviceHold hold(channel);
    if (!hold.isHeld())
        return hold.status();
    std::array<std::uint8_t, 1> active{};
    if (const Status status = channel.ReadSettings(active, 0); status != Status::Ok)
        return status;
    SlotRecord fresh{};
    if (const Status status = channel.ReadSettings(fresh, active[0] * kSlotRecordStride);
        status != Status::Ok)
        return status;
    fresh[0] = active[0];
    record = fresh;
    return Status::Ok;
}

std::optional<PowerBlock> readPower(CDeviceProtocol& channel, PowerPause pause)
{
    if (!channel.isOpen() || pause == PowerPause::Yes || !channel.LinkStatus())
        return std::nullopt;
    PowerBlock power{};
    if (channel.ReadPower(power, 0) != Status::Ok)
        return std::nullopt;
    power[kPowerWirelessFlag] = channel.isReceiverMode() ? 1 : 0;
    return power;
}

bool waitForReceiverLink(CDeviceProtocol& channel)
{
    bool up = false;
    for (int attempt = 1; attempt <= kLinkCheckTries; ++attempt) {
        up = channel.LinkStatus();
        if (up)
            break;
        if (attempt < kLinkCheckTries)
            platform::debugOutput(L"获取2.4G模式失败");
        // The receiver needs time to find the device again; asking faster does not help.
        std::this_thread::sleep_for(kLinkCheckWait);
    }
    platform::debugOutput(L"获取2");
    return up;
}

} // namespace protocol
