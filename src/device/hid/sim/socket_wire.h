#pragma once

// The messages between the socket backend and the device server, on a stream socket: a
// 32-bit little-endian length (type byte and payload), the type byte, the payload.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace hid::sim::wire {

enum class Type : std::uint8_t {
    List = 1,         // client: which interfaces are plugged
    ListReply = 2,    // server: per interface serial, ids, descriptor
    Open = 3,         // client: mode byte, then the collection's in-server path (UTF-8)
    OpenReply = 4,    // server: one byte, 1 when opened
    Write = 5,        // client: one output report
    Input = 6,        // server: one input report
    Gone = 7,         // server: the device was unplugged
    Control = 8,      // client: one control line
    ControlReply = 9, // server: the answer
    Watch = 10,       // client: tell me when interfaces come or go
    Changed = 11,     // server: they did
};

// Far above any descriptor list or report; a longer message is refused as garbage.
inline constexpr std::size_t kMaxMessage = 1 << 20;

struct Message {
    Type type = Type::List;
    std::vector<std::uint8_t> payload;
};

// A server that stops answering (a stopped process) is given as long as a device: its wired
// time-out. Without it a request would wait for the server for good.
inline constexpr std::chrono::milliseconds kServerTimeout{1000};

enum class Sent { Done, TimedOut, Closed };

// Waits for room without limit.
[[nodiscard]] bool send(int fd, Type type, std::span<const std::uint8_t> payload);
// Gives up once the whole message has not gone out within the time-out.
[[nodiscard]] Sent send(int fd, Type type, std::span<const std::uint8_t> payload,
                        std::chrono::milliseconds timeout);
// Nullopt at the end of the stream, on an error or on a malformed message. The first waits
// without limit (a connection's reader, ended by shutdown); the second gives up once the
// whole message has not arrived within the time-out.
[[nodiscard]] std::optional<Message> receive(int fd);
[[nodiscard]] std::optional<Message> receive(int fd, std::chrono::milliseconds timeout);

// A connected stream socket, or -1.
int connectTo(const std::filesystem::path& socket);

// Little-endian helpers for the payloads.
void put16(std::vector<std::uint8_t>& out, std::uint16_t value);
void put32(std::vector<std::uint8_t>& out, std::uint32_t value);
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
    bool get8(std::uint8_t& value);
    bool get16(std::uint16_t& value);
    bool get32(std::uint32_t& value);
    bool getBytes(std::size_t count, std::vector<std::uint8_t>& bytes);
    std::span<const std::uint8_t> rest() const { return m_bytes.subspan(m_position); }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_position = 0;
};

} // namespace hid::sim::wire
