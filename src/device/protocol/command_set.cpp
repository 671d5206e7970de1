// The device's commands, each one of the four frame shapes.

#include "device/protocol/chunking.h"
#include "device/protocol/commands.h"
#include "device/protocol/device_protocol.h"

#include "platform/debug_output.h"

#include <algorithm>
#include <string>
#include <thread>

using protocol::Frame;
using protocol::Status;
namespace command = protocol::command;

namespace {

Status refuse(std::uint8_t commandId, const std::string& why)
{
    platform::debugOutput("command " + std::to_string(commandId) + " refused: " + why);
    return Status::NoReply;
}

} // namespace

Status CDeviceProtocol::exchange(const Frame& request, Frame& reply)
{
    reply.fill(0);
    std::uint32_t bytesRead = 0;
    return protocol::mapReply(Transact(request, reply, bytesRead), reply);
}

Status CDeviceProtocol::simpleCommand(std::uint8_t commandId, Frame* reply)
{
    Frame answer{};
    const Status status = exchange(protocol::buildFrame(commandId, 0, {}), answer);
    if (reply != nullptr)
        *reply = answer;
    return status;
}

Status CDeviceProtocol::chunkedWrite(std::uint8_t commandId, std::span<const std::uint8_t> data,
                                     std::size_t base, std::size_t chunkSize)
{
    if (!protocol::fitsOffsetSpace(base, data.size()))
        return refuse(commandId, "block would run past offset 0xFFFF");
    auto chunks = protocol::ChunkSequence::forWrite(commandId, data,
                                                    static_cast<std::uint16_t>(base), chunkSize);
    Frame reply{};
    while (chunks.next()) {
        const Status status = exchange(chunks.frame(), reply);
        if (status != Status::Ok)
            return status;
    }
    return Status::Ok;
}

Status CDeviceProtocol::chunkedRead(std::uint8_t commandId, std::span<std::uint8_t> destination,
                                    std::size_t base, std::size_t chunkSize)
{
    if (!protocol::fitsOffsetSpace(base, destination.size()))
        return refuse(commandId, "block would run past offset 0xFFFF");
    auto chunks = protocol::ChunkSequence::forRead(commandId, destination.size(),
                                                   static_cast<std::uint16_t>(base), chunkSize);
    Frame reply{};
    while (chunks.next()) {
        const Status status = exchange(chunks.frame(), reply);
        if (status != Status::Ok)
            return status;
        std::copy_n(reply.begin() + protocol::field::kPayload, chunks.length(),
                    destination.begin() + static_cast<std::ptrdiff_t>(chunks.position()));
    }
    return Status::Ok;
}

Status CDeviceProtocol::singleRead(std::uint8_t commandId, std::span<std::uint8_t> destination,
                                   std::uint16_t offset)
{
    // One reply holds 56 data bytes; more would be read from past its end.
    if (destination.size() > protocol::kMaxPayload)
        return refuse(commandId, "more than 56 bytes asked of one frame");
    if (!protocol::fitsOffsetSpace(offset, destination.size()))
        return refuse(commandId, "block would run past offset 0xFFFF");
    Frame reply{};
    const Status status = exchange(
        protocol::buildReadFrame(commandId, offset, static_cast<std::uint8_t>(destination.size())),
        reply);
    if (status == Status::Ok)
        std::copy_n(reply.begin() + protocol::field::kPayload, destination.size(),
                    destination.begin());
    return status;
}

Status CDeviceProtocol::Begin()
{
    const protocol::DeviceHold hold(*this);
    if (!hold.isHeld())
        return hold.status();
    std::lock_guard lock(m_commandLock);
    return simpleCommand(command::kBegin);
}

Status CDeviceProtocol::End()
{
    // A real wait, outside the lock, so other commands are not held up by it.
    std::this_thread::sleep_for(protocol::kEndDelay);
    const protocol::DeviceHold hold(*this);
    if (!hold.isHeld())
        return hold.status();
    std::lock_guard lock(m_commandLock);
    return simpleCommand(command::kEnd);
}

Status CDeviceProtocol::ReadInfo(std::span<std::uint8_t> info)
{
    if (info.size() < protocol::kInfoBlockSize)
        return refuse(command::kReadInfo, "information buffer too small");
    const protocol::DeviceHold hold(*this);
    if (!hold.isHeld())
        return hold.status();
    std::lock_guard lock(m_commandLock);
    return chunkedRead(command::kReadInfo, info.first(protocol::kInfoBlockSize), 0, chunkSize());
}

Status CDeviceProtocol::ReadSettings(std::span<std::uint8_t> destination, std::size_t offset)
{
    const protocol::DeviceHold hold(*this);
    if (!hold.isHeld())
        return hold.status();
    std::lock_guard lock(m_commandLock);
    return chunkedRead(command::kReadSettings, destination, offset, chunkSize());
}

Status CDeviceProtocol::WriteSettings(std::span<const std::uint8_t> data, std::size_t offset)
{
    const protocol::DeviceHold hold(*this);
    if (!hold.isHeld())
        return hold.status();
    std::lock_guard lock(m_commandLock);
    return chunkedWrite(command::kWriteSettings, data, offset, chunkSize());
}

Status CDeviceProtocol::ReadKeyLayout(std::span<std::uint8_t> destination)
{
    const std::size_t size = blockSize();
    if (destination.size() < size)
        return refuse(command::kReadKeyLayout, "layout buffer smaller than the block size");
    const protocol::DeviceHold hold(*this);
    if (!hold.isHeld())
        return hold.status();
    std::lock_guard lock(m_commandLock);
    return chunkedRead(command::kReadKeyLayout, destination.first(size), 0, chunkSize());
}

Status CDeviceProtocol::WriteKeyMap(std::span<const std::uint8_t> keyMap, int bank,
                                    std::size_t position)
{
    if (bank != 0)
        return Status::BankRefused;
    const std::size_t size = blockSize();
    if (keyMap.size() < size)
        return refuse(command::kWriteKeyMap, "key map smaller than the block size");
    const protocol::DeviceHold hold(*this);
    if (!hold.isHeld())
        return hold.status();
    std::lock_guard lock(m_commandLock);
    return chunkedWrite(command::kWriteKeyMap, keyMap.first(size), position, chunkSize());
}

Status CDeviceProtocol::WriteCustomColours(std::span<const std::uint8_t> colours, std::size_t group,
                                           std::size_t stride, std::size_t position)
{
    // Computed wide: a group from a profile can be up to 255, far past the 16-bit offsets.
    const std::uint64_t base = std::uint64_t{group} * stride + position;
    if (base > protocol::kOffsetSpace)
        return refuse(command::kWriteCustomColours, "colour group lies past offset 0xFFFF");
    const protocol::DeviceHold hold(*this);
    if (!hold.isHeld())
        return hold.status();
    std::lock_guard lock(m_liveLock);
    return chunkedWrite(command::kWriteCustomColours, colours, static_cast<std::size_t>(base),
                        chunkSize());
}

Status CDeviceProtocol::LiveColours(std::span<const std::uint8_t> colours, std::size_t position)
{
    if (!isOpen() || isReceiverMode())
        return Status::NoReply;
    if (!protocol::fitsOffsetSpace(position, colours.size()))
        return refuse(command::kLiveColours, "frame would run past offset 0xFFFF");
    // A frame that would wait long for another sequence is dropped like one that meets a
    // logged exchange: the next frame is the newer picture anyway.
    const protocol::DeviceHold hold(*this, protocol::kLiveFrameWait,
                                    platform::DeviceLock::Turn::First);
    if (!hold.isHeld()) {
        platform::debugOutput(L"放弃灯光数据");
        return Status::NoReply;
    }
    std::lock_guard lock(m_liveLock);
    auto chunks = protocol::ChunkSequence::forWrite(
        command::kLiveColours, colours, static_cast<std::uint16_t>(position), chunkSize());
    Status result = Status::Ok;
    Frame reply{};
    while (chunks.next()) {
        if (isBusy()) {
            platform::debugOutput(L"放弃灯光数据");
            result = Status::NoReply;
            continue;
        }
        reply.fill(0);
        std::uint32_t bytesRead = 0;
        const Status status =
            protocol::mapReply(QuickTransact(chunks.frame(), reply, bytesRead), reply);
        if (status != Status::Ok)
            return status;
    }
    return result;
}

Status CDeviceProtocol::WriteMacros(std::span<const std::uint8_t> block, std::size_t position)
{
    const protocol::DeviceHold hold(*this);
    if (!hold.isHeld())
        return hold.status();
    std::lock_guard lock(m_commandLock);
    return chunkedWrite(command::kWriteMacros, block, position, chunkSize());
}

Status CDeviceProtocol::WriteShootData(std::span<const std::uint8_t> block, std::size_t position)
{
    const protocol::DeviceHold hold(*this);
    if (!hold.isHeld())
        return hold.status();
    return chunkedWrite(command::kWriteShootData, block, position, protocol::kShootDataChunkSize);
}

Status CDeviceProtocol::ReadPower(std::span<std::uint8_t> destination, std::uint16_t offset)
{
    const protocol::DeviceHold hold(*this);
    if (!hold.isHeld())
        return hold.status();
    std::lock_guard lock(m_commandLock);
    return singleRead(command::kReadPower, destination, offset);
}

Status CDeviceProtocol::ReadLedMap(std::span<std::uint8_t> destination)
{
    const std::size_t size = blockSize() / protocol::kKeyEntrySize;
    if (destination.size() < size)
        return refuse(command::kReadLedMap, "LED map buffer smaller than the block");
    const protocol::DeviceHold hold(*this);
    if (!hold.isHeld())
        return hold.status();
    std::lock_guard lock(m_commandLock);
    return chunkedRead(command::kReadLedMap, destination.first(size), 0, chunkSize());
}

Status CDeviceProtocol::HostLighting()
{
    const protocol::DeviceHold hold(*this);
    if (!hold.isHeld())
        return hold.status();
    std::lock_guard lock(m_commandLock);
    return simpleCommand(command::kHostLighting);
}

bool CDeviceProtocol::LinkStatus()
{
    if (!isReceiverMode())
        return true;
    // Byte 8 of the receiver's answer is 0xFF while the device behind it is reachable.
    constexpr std::uint8_t kReachable = 0xFF;
    const protocol::DeviceHold hold(*this);
    if (!hold.isHeld())
        return false;
    std::lock_guard lock(m_commandLock);
    Frame reply{};
    return simpleCommand(command::kLinkStatus, &reply) == Status::Ok &&
           reply[protocol::field::kPayload] == kReachable;
}
