#pragma once

// Faults the emulated keyboard can be told to show, one per request, by name or by value.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string_view>

namespace devsim {

enum class Fault {
    None,
    Lost,              // the request is taken, no reply ever comes
    Late,              // the reply comes only after the host has given up on it
    WrongEcho,         // a reply to another command first, then the right one
    WrongEchoTwice,    // two replies to another command
    WrongEchoTwiceFF,  // the same, the second carrying 0xFF in the status byte
    ReceiverMark,      // the receiver's "unreachable" mark first, then the right reply
    StatusFF,          // the device reports an error
    StatusFE,          // the device reports the other error
    UnplugBeforeReply, // the request is taken, then the link is gone before the reply
    UnplugMidWrite,    // the link is gone when a chunked write's next frame arrives
    ForeignOffset,     // two replies of this command at another offset, as another program's
    ForeignLength,     // a reply of this command with another length first, then the right one
};

// Every fault but None, in declaration order.
std::span<const Fault> allFaults();
std::string_view faultName(Fault fault);
std::optional<Fault> faultNamed(std::string_view name);

// The faults waiting for the next requests, oldest first. Not thread-safe: the keyboard
// holds its lock around it.
class FaultScript {
public:
    void push(Fault fault) { m_faults.push_back(fault); }
    void clear() { m_faults.clear(); }
    bool isEmpty() const { return m_faults.empty(); }

    // The fault for a request of this command. A waiting UnplugMidWrite lets every frame
    // pass until one continues the write of the frame before it.
    Fault take(std::uint8_t command, bool isWrite, std::size_t offset, std::size_t length);

private:
    std::deque<Fault> m_faults;
    std::uint8_t m_previousCommand = 0;
    bool m_previousWasWrite = false;
    std::size_t m_nextOffset = 0; // where the previous frame's write would continue
};

} // namespace devsim
