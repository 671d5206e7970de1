#pragma once

// The messages between the socket backend and the device server, on a byte stream (a
// Unix-domain socket, or a named pipe on Windows): a 32-bit little-endian length (type byte
// and payload), the type byte, the payload.

#include "platform/result.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
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
    Discard = 12,     // client: a 32-bit number; what came before its echo is stale
    Discarded = 13,   // server: that number, after every input report that came before it
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

using Deadline = std::optional<std::chrono::steady_clock::time_point>;

// One connection between a client and the server; the system's side in unix_stream.cpp and
// windows/pipe_stream.cpp. One reader and one writer may use it at once, and either
// shutdown from any thread. The peer sees the end at the latest when it is destroyed.
class Stream {
public:
    virtual ~Stream() = default;
    // All of the bytes, or Closed; TimedOut when the deadline passed before any went out
    // (after some, the stream is of no further use: Closed). No deadline: waits for room.
    virtual Sent write(std::span<const std::uint8_t> bytes, const Deadline& deadline) = 0;
    // All of the bytes; false at the end, on an error, after a shutdown or at the deadline.
    virtual bool read(std::span<std::uint8_t> bytes, const Deadline& deadline) = 0;
    // Ends both ways here and wakes a read or write waiting in either.
    virtual void shutdown() = 0;
    // Ends reading only: a reply being written still goes out.
    virtual void shutdownRead() = 0;
    // The process at the other end, 0 when the system does not say.
    virtual std::int64_t peerProcessId() const = 0;
};

// Accepts the clients of one server address.
class Listener {
public:
    virtual ~Listener() = default;
    // Fails with Code::Unavailable while a server runs there.
    [[nodiscard]] static platform::Result<std::unique_ptr<Listener>>
    open(const std::filesystem::path& server);
    // The next client; null once close() was called or the listener broke.
    virtual std::unique_ptr<Stream> accept() = 0;
    // Ends a waiting and every later accept(); from any thread.
    virtual void close() = 0;
};

// Null when no server listens there.
std::unique_ptr<Stream> connectTo(const std::filesystem::path& server);

// Waits for room without limit.
[[nodiscard]] bool send(Stream& stream, Type type, std::span<const std::uint8_t> payload);
// Gives up once the whole message has not gone out within the time-out.
[[nodiscard]] Sent send(Stream& stream, Type type, std::span<const std::uint8_t> payload,
                        std::chrono::milliseconds timeout);
// Nullopt at the end of the stream, on an error or on a malformed message. The first waits
// without limit (a connection's reader, ended by shutdown); the second gives up once the
// whole message has not arrived within the time-out.
[[nodiscard]] std::optional<Message> receive(Stream& stream);
[[nodiscard]] std::optional<Message> receive(Stream& stream, std::chrono::milliseconds timeout);

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
