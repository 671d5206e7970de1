#include "companion/audio/companion_state.h"

#include "platform/text.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace companion {

void CompanionState::handle(const platform::IpcMessage& message)
{
    if (message.kind == platform::IpcMessage::Kind::CopyData) {
        if (message.copyDataId != kStyleColourData || message.data.size() < 12)
            return;
        std::array<std::int32_t, 3> style{};
        std::memcpy(style.data(), message.data.data(), sizeof style);
        std::lock_guard guard(m_lock);
        // Style colours use the sliders' range of 0 to 9.
        for (std::size_t i = 0; i < 3; ++i)
            m_colour[i] = std::clamp(style[i], 0, 9) * 255 / 9;
        return;
    }
    if (!platform::equalsIgnoreCase(message.name, kCommandMessage))
        return;
    const auto clampedValue =
        static_cast<std::int32_t>(std::clamp<std::int64_t>(message.lParam, 0, 255));
    switch (static_cast<Command>(message.wParam)) {
    case Command::Hello: {
        std::lock_guard guard(m_lock);
        if (!message.senderName.empty())
            m_peer = message.senderName;
        break;
    }
    case Command::Start:
        m_sending = true;
        break;
    case Command::Stop:
    case Command::Release:
        m_sending = false;
        break;
    case Command::Reset:
        m_reset = true;
        break;
    case Command::Quit:
        m_quitting = true;
        break;
    case Command::Red:
    case Command::Green:
    case Command::Blue: {
        std::lock_guard guard(m_lock);
        m_colour[message.wParam - static_cast<std::uint64_t>(Command::Red)] = clampedValue;
        break;
    }
    default:
        return;
    }
    m_wake.set();
}

void CompanionState::sleepUntil(std::chrono::steady_clock::time_point deadline)
{
    while (!isQuitting() && isSending() && std::chrono::steady_clock::now() < deadline)
        (void)m_wake.waitUntil(deadline);
}

std::wstring CompanionState::peer() const
{
    std::lock_guard guard(m_lock);
    return m_peer;
}

std::array<std::int32_t, 6> CompanionState::colourPacket(double loudness) const
{
    const double scale = std::clamp(loudness, 0.0, 1.0);
    std::lock_guard guard(m_lock);
    std::array<std::int32_t, 6> packet{};
    for (std::size_t i = 0; i < 3; ++i)
        packet[i] = static_cast<std::int32_t>(std::lround(m_colour[i] * scale));
    return packet;
}

std::vector<std::uint8_t> packetBytes(std::span<const std::int32_t> values)
{
    std::vector<std::uint8_t> bytes(values.size() * sizeof(std::int32_t));
    std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
}

} // namespace companion
