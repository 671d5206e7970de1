#include "device/protocol/chunking.h"

#include <algorithm>
#include <cassert>

namespace protocol {

ChunkSequence::ChunkSequence(std::uint8_t command, std::span<const std::uint8_t> data,
                             std::size_t total, std::uint16_t base, std::size_t chunkSize)
    : m_data(data), m_total(total), m_base(base),
      m_chunkSize(std::clamp<std::size_t>(chunkSize, 1, kMaxPayload))
{
    assert(fitsOffsetSpace(base, total));
    m_frame[field::kReportId] = kReportId;
    m_frame[field::kCommand] = command;
}

ChunkSequence ChunkSequence::forWrite(std::uint8_t command, std::span<const std::uint8_t> data,
                                      std::uint16_t base, std::size_t chunkSize)
{
    return ChunkSequence(command, data, data.size(), base, chunkSize);
}

ChunkSequence ChunkSequence::forRead(std::uint8_t command, std::size_t total, std::uint16_t base,
                                     std::size_t chunkSize)
{
    return ChunkSequence(command, {}, total, base, chunkSize);
}

bool ChunkSequence::next()
{
    if (m_started)
        m_position += m_length;
    m_started = true;
    if (m_position >= m_total) {
        m_length = 0;
        return false;
    }
    m_length = std::min(m_chunkSize, m_total - m_position);
    const auto offset = static_cast<std::uint16_t>(m_base + m_position);
    if (m_data.empty())
        rewriteReadChunk(m_frame, offset, static_cast<std::uint8_t>(m_length));
    else
        rewriteChunk(m_frame, offset, m_data.subspan(m_position, m_length));
    return true;
}

} // namespace protocol
