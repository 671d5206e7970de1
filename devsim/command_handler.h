#pragma once

// What the keyboard does with one command frame: checks it, reads or writes its memory and
// builds the reply. Writes made between Begin and End are held and take effect at End;
// writes outside a sequence take effect at once. No links, faults or timing here.

#include "devsim/keyboard_memory.h"

#include "device/protocol/frame.h"

#include <optional>
#include <span>

namespace devsim {

// The command id the reply of a read or write command carries.
bool isReadCommand(std::uint8_t command);
bool isWriteCommand(std::uint8_t command);

class CommandHandler {
public:
    // Device status bytes: 0 for success, the two error values the host knows.
    static constexpr std::uint8_t kStatusOk = 0x00;
    static constexpr std::uint8_t kStatusUnknownCommand = protocol::kReplyErrorFF;
    static constexpr std::uint8_t kStatusRefused = protocol::kReplyErrorFE;
    // Byte 8 of the answer to the link status command while the keyboard is reachable.
    static constexpr std::uint8_t kReachable = 0xFF;

    explicit CommandHandler(KeyboardMemory& memory) : m_memory(memory) {}

    [[nodiscard]] protocol::Frame
    handle(std::span<const std::uint8_t, protocol::kFrameSize> request);

    bool isInSequence() const { return m_staged.has_value(); }
    // A sequence not closed by End is forgotten, as when the keyboard loses power.
    void dropSequence() { m_staged.reset(); }
    bool hostLighting() const { return m_hostLighting; }
    std::size_t badChecksums() const { return m_badChecksums; }
    std::size_t applied() const { return m_applied; }

private:
    KeyboardMemory& current() { return m_staged ? *m_staged : m_memory; }
    std::uint8_t read(std::uint8_t command, std::size_t offset, std::size_t length,
                      protocol::Frame& reply);
    std::uint8_t write(std::uint8_t command, std::size_t offset,
                       std::span<const std::uint8_t> payload);

    KeyboardMemory& m_memory;
    std::optional<KeyboardMemory> m_staged;
    bool m_hostLighting = false;
    std::size_t m_badChecksums = 0;
    std::size_t m_applied = 0;
};

// A reply frame: the request's header echoed, the status, the checksum sealed last.
protocol::Frame replyTo(std::span<const std::uint8_t, protocol::kFrameSize> request,
                        std::uint8_t status);

} // namespace devsim
