#include "device/hid/sim/socket_wire.h"

namespace hid::sim::wire {
namespace {

using Clock = std::chrono::steady_clock;

Sent sendMessage(Stream& stream, Type type, std::span<const std::uint8_t> payload,
                 const Deadline& deadline)
{
    std::vector<std::uint8_t> message;
    message.reserve(5 + payload.size());
    put32(message, static_cast<std::uint32_t>(payload.size() + 1));
    message.push_back(static_cast<std::uint8_t>(type));
    message.insert(message.end(), payload.begin(), payload.end());
    return stream.write(message, deadline);
}

std::optional<Message> receiveMessage(Stream& stream, const Deadline& deadline)
{
    std::uint8_t header[4];
    if (!stream.read(header, deadline))
        return std::nullopt;
    const std::uint32_t length =
        header[0] | header[1] << 8 | header[2] << 16 | static_cast<std::uint32_t>(header[3]) << 24;
    if (length == 0 || length > kMaxMessage)
        return std::nullopt;
    std::vector<std::uint8_t> body(length);
    if (!stream.read(body, deadline))
        return std::nullopt;
    Message message;
    message.type = static_cast<Type>(body[0]);
    message.payload.assign(body.begin() + 1, body.end());
    return message;
}

} // namespace

bool send(Stream& stream, Type type, std::span<const std::uint8_t> payload)
{
    return sendMessage(stream, type, payload, std::nullopt) == Sent::Done;
}

Sent send(Stream& stream, Type type, std::span<const std::uint8_t> payload,
          std::chrono::milliseconds timeout)
{
    return sendMessage(stream, type, payload, Clock::now() + timeout);
}

std::optional<Message> receive(Stream& stream)
{
    return receiveMessage(stream, std::nullopt);
}

std::optional<Message> receive(Stream& stream, std::chrono::milliseconds timeout)
{
    return receiveMessage(stream, Clock::now() + timeout);
}

void put16(std::vector<std::uint8_t>& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    put16(out, static_cast<std::uint16_t>(value));
    put16(out, static_cast<std::uint16_t>(value >> 16));
}

bool Reader::get8(std::uint8_t& value)
{
    if (m_position + 1 > m_bytes.size())
        return false;
    value = m_bytes[m_position++];
    return true;
}

bool Reader::get16(std::uint16_t& value)
{
    std::uint8_t low = 0;
    std::uint8_t high = 0;
    if (!get8(low) || !get8(high))
        return false;
    value = static_cast<std::uint16_t>(low | high << 8);
    return true;
}

bool Reader::get32(std::uint32_t& value)
{
    std::uint16_t low = 0;
    std::uint16_t high = 0;
    if (!get16(low) || !get16(high))
        return false;
    value = low | static_cast<std::uint32_t>(high) << 16;
    return true;
}

bool Reader::getBytes(std::size_t count, std::vector<std::uint8_t>& bytes)
{
    if (count > m_bytes.size() - m_position)
        return false;
    bytes.assign(m_bytes.begin() + static_cast<std::ptrdiff_t>(m_position),
                 m_bytes.begin() + static_cast<std::ptrdiff_t>(m_position + count));
    m_position += count;
    return true;
}

} // namespace hid::sim::wire
