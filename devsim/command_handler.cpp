#include "devsim/command_handler.h"

#include "device/protocol/commands.h"

#include <algorithm>

namespace devsim {
namespace command = protocol::command;
namespace field = protocol::field;

namespace {

std::optional<Area> areaOf(std::uint8_t commandId)
{
    switch (commandId) {
    case command::kReadInfo:
        return Area::Info;
    case command::kReadSettings:
    case command::kWriteSettings:
        return Area::Settings;
    case command::kReadKeyLayout:
        return Area::KeyLayout;
    case command::kWriteKeyMap:
        return Area::KeyMap;
    case command::kWriteCustomColours:
        return Area::Colours;
    case command::kLiveColours:
        return Area::LiveFrame;
    case command::kWriteMacros:
        return Area::Macros;
    case command::kReadPower:
        return Area::Power;
    case command::kReadLedMap:
        return Area::LedMap;
    default:
        return std::nullopt;
    }
}

} // namespace

bool isReadCommand(std::uint8_t commandId)
{
    return commandId == command::kReadInfo || commandId == command::kReadSettings ||
           commandId == command::kReadKeyLayout || commandId == command::kReadPower ||
           commandId == command::kReadLedMap;
}

bool isWriteCommand(std::uint8_t commandId)
{
    return commandId == command::kWriteSettings || commandId == command::kWriteKeyMap ||
           commandId == command::kWriteCustomColours || commandId == command::kLiveColours ||
           commandId == command::kWriteMacros || commandId == command::kWriteShootData;
}

protocol::Frame replyTo(std::span<const std::uint8_t, protocol::kFrameSize> request,
                        std::uint8_t status)
{
    protocol::Frame reply{};
    std::copy_n(request.begin(), field::kStatus, reply.begin());
    reply[field::kStatus] = status;
    protocol::sealFrame(reply);
    return reply;
}

protocol::Frame CommandHandler::handle(std::span<const std::uint8_t, protocol::kFrameSize> request)
{
    protocol::Frame frame{};
    std::copy(request.begin(), request.end(), frame.begin());
    const std::uint16_t sum = protocol::frameChecksum(frame);
    if (frame[field::kChecksumLow] != (sum & 0xFF) || frame[field::kChecksumHigh] != (sum >> 8)) {
        ++m_badChecksums;
        return replyTo(request, kStatusRefused);
    }
    const std::uint8_t commandId = frame[field::kCommand];
    const std::size_t length = frame[field::kLength];
    const std::size_t offset = protocol::frameOffset(frame);

    protocol::Frame reply = replyTo(request, kStatusOk);
    std::uint8_t status = kStatusOk;
    switch (commandId) {
    case command::kBegin:
        // A second Begin keeps what the open sequence holds.
        if (!m_staged)
            m_staged = m_memory;
        break;
    case command::kEnd:
        if (m_staged) {
            m_memory = *m_staged;
            m_staged.reset();
            ++m_applied;
        }
        break;
    case command::kHostLighting:
        m_hostLighting = true;
        break;
    case command::kLinkStatus:
        reply[field::kPayload] = kReachable;
        break;
    case command::kWriteShootData:
        break; // a mouse's block: the keyboard takes it and has no use for it
    default:
        if (length > protocol::kMaxPayload)
            status = kStatusRefused;
        else if (isReadCommand(commandId))
            status = read(commandId, offset, length, reply);
        else if (isWriteCommand(commandId))
            status = write(commandId, offset, std::span(frame).subspan(field::kPayload, length));
        else
            status = kStatusUnknownCommand;
        break;
    }
    reply[field::kStatus] = status;
    protocol::sealFrame(reply);
    return reply;
}

std::uint8_t CommandHandler::read(std::uint8_t commandId, std::size_t offset, std::size_t length,
                                  protocol::Frame& reply)
{
    const auto bytes = current().area(*areaOf(commandId));
    if (offset >= bytes.size())
        return kStatusRefused;
    // Past the end of an area the device answers zeros, as its memory map reads.
    const std::size_t available = std::min(length, bytes.size() - offset);
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), available,
                reply.begin() + field::kPayload);
    return kStatusOk;
}

std::uint8_t CommandHandler::write(std::uint8_t commandId, std::size_t offset,
                                   std::span<const std::uint8_t> payload)
{
    const Area target = *areaOf(commandId);
    // The live frame is shown as it comes; it is never part of a configuration sequence.
    const auto bytes = target == Area::LiveFrame ? m_memory.area(target) : current().area(target);
    if (offset > bytes.size() || payload.size() > bytes.size() - offset)
        return kStatusRefused;
    std::copy(payload.begin(), payload.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    return kStatusOk;
}

} // namespace devsim
