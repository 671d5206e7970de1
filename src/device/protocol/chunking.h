#pragma once

// How a block is cut into frames. Pure: the channel sends what this produces.

#include "device/protocol/frame.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace protocol {

// Frame offsets are 16 bits: a transfer that would run past 0xFFFF would wrap onto the start
// of the device's memory, so it is refused as a whole.
inline constexpr std::size_t kOffsetSpace = 0x10000;
[[nodiscard]] constexpr bool fitsOffsetSpace(std::size_t base, std::size_t total)
{
    return base <= kOffsetSpace && total <= kOffsetSpace - base;
}

// Walks one chunked transfer, keeping a single frame across its chunks as the device expects:
// only length, offset, payload and checksum change from one chunk to the next.
// The caller checks fitsOffsetSpace first; the data span must outlive the sequence.
class ChunkSequence {
public:
    static ChunkSequence forWrite(std::uint8_t command, std::span<const std::uint8_t> data,
                                  std::uint16_t base, std::size_t chunkSize);
    static ChunkSequence forRead(std::uint8_t command, std::size_t total, std::uint16_t base,
                                 std::size_t chunkSize);

    // Prepares the next chunk's frame; false once the whole block has been covered.
    [[nodiscard]] bool next();

    const Frame& frame() const { return m_frame; }
    // Where the current chunk sits in the block, and how many bytes it carries.
    std::size_t position() const { return m_position; }
    std::size_t length() const { return m_length; }

private:
    ChunkSequence(std::uint8_t command, std::span<const std::uint8_t> data, std::size_t total,
                  std::uint16_t base, std::size_t chunkSize);

    Frame m_frame{};
    std::span<const std::uint8_t> m_data;
    std::size_t m_total = 0;
    std::uint16_t m_base = 0;
    std::size_t m_chunkSize = 0;
    std::size_t m_position = 0;
    std::size_t m_length = 0;
    bool m_started = false;
};

} // namespace protocol
