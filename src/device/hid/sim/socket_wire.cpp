#include "device/hid/sim/socket_wire.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace hid::sim::wire {
namespace {

using Clock = std::chrono::steady_clock;
using Deadline = std::optional<Clock::time_point>;

enum class Ready { Yes, TimedOut };

// Without a deadline the socket blocks as usual; with one, poll decides how long.
Ready waitUntil(int fd, short events, const Deadline& deadline)
{
    if (!deadline)
        return Ready::Yes;
    while (true) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
        if (left <= 0)
            return Ready::TimedOut;
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(std::min<long long>(left, 60000)));
        if (ready < 0 && errno == EINTR)
            continue;
        // Errors and hang-ups are ready too: the next call on the socket reports them.
        if (ready != 0)
            return Ready::Yes;
    }
}

Sent sendAll(int fd, const std::uint8_t* bytes, std::size_t count, const Deadline& deadline)
{
    const int flags = MSG_NOSIGNAL | (deadline ? MSG_DONTWAIT : 0);
    bool started = false;
    while (count > 0) {
        // Half a message cannot be taken back: the stream is of no further use then.
        if (waitUntil(fd, POLLOUT, deadline) == Ready::TimedOut)
            return started ? Sent::Closed : Sent::TimedOut;
        const ssize_t sent = ::send(fd, bytes, count, flags);
        if (sent < 0 && (errno == EINTR || (deadline && (errno == EAGAIN || errno == EWOULDBLOCK))))
            continue;
        if (sent <= 0)
            return Sent::Closed;
        started = true;
        bytes += sent;
        count -= static_cast<std::size_t>(sent);
    }
    return Sent::Done;
}

bool receiveAll(int fd, std::uint8_t* bytes, std::size_t count, const Deadline& deadline)
{
    const int flags = deadline ? MSG_DONTWAIT : 0;
    while (count > 0) {
        if (waitUntil(fd, POLLIN, deadline) == Ready::TimedOut)
            return false;
        const ssize_t got = ::recv(fd, bytes, count, flags);
        if (got < 0 && (errno == EINTR || (deadline && (errno == EAGAIN || errno == EWOULDBLOCK))))
            continue;
        if (got <= 0)
            return false;
        bytes += got;
        count -= static_cast<std::size_t>(got);
    }
    return true;
}

Sent sendMessage(int fd, Type type, std::span<const std::uint8_t> payload, const Deadline& deadline)
{
    std::vector<std::uint8_t> message;
    message.reserve(5 + payload.size());
    put32(message, static_cast<std::uint32_t>(payload.size() + 1));
    message.push_back(static_cast<std::uint8_t>(type));
    message.insert(message.end(), payload.begin(), payload.end());
    return sendAll(fd, message.data(), message.size(), deadline);
}

std::optional<Message> receiveMessage(int fd, const Deadline& deadline)
{
    std::uint8_t header[4];
    if (!receiveAll(fd, header, sizeof header, deadline))
        return std::nullopt;
    const std::uint32_t length =
        header[0] | header[1] << 8 | header[2] << 16 | static_cast<std::uint32_t>(header[3]) << 24;
    if (length == 0 || length > kMaxMessage)
        return std::nullopt;
    std::vector<std::uint8_t> body(length);
    if (!receiveAll(fd, body.data(), body.size(), deadline))
        return std::nullopt;
    Message message;
    message.type = static_cast<Type>(body[0]);
    message.payload.assign(body.begin() + 1, body.end());
    return message;
}

} // namespace

bool send(int fd, Type type, std::span<const std::uint8_t> payload)
{
    return sendMessage(fd, type, payload, std::nullopt) == Sent::Done;
}

Sent send(int fd, Type type, std::span<const std::uint8_t> payload,
          std::chrono::milliseconds timeout)
{
    return sendMessage(fd, type, payload, Clock::now() + timeout);
}

std::optional<Message> receive(int fd)
{
    return receiveMessage(fd, std::nullopt);
}

std::optional<Message> receive(int fd, std::chrono::milliseconds timeout)
{
    return receiveMessage(fd, Clock::now() + timeout);
}

int connectTo(const std::filesystem::path& socket)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name = socket.string();
    if (name.empty() || name.size() >= sizeof address.sun_path)
        return -1;
    std::memcpy(address.sun_path, name.c_str(), name.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
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
