#pragma once

#include "companion/audio/spectrum_analyzer.h"

#include "platform/event.h"
#include "platform/ipc.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace companion {

// The names the program finds the companion by, and the message its commands come in.
inline constexpr std::wstring_view kCompanionEndpoint = L"Halvek 2VAV IRIAUDIORECORD";
inline constexpr std::wstring_view kProgramEndpoint = L"MainWnd";
inline constexpr std::wstring_view kCommandMessage = L"{4695579F-999A-41d4-9FAF-EFFCE93EBE19}";

// Copy-data ids: spectrum and colour towards the program, the style colour from it.
inline constexpr std::uint64_t kSpectrumData = 1;
inline constexpr std::uint64_t kColourData = 2;
inline constexpr std::uint64_t kStyleColourData = 10;

// wParam of the command message.
enum class Command : std::uint64_t {
    Hello = 0,   // the program is there (lParam: its window); it is who gets the packets
    Start = 1,   // capture and send
    Stop = 2,    // stop sending and let the sound device go
    Reset = 3,   // forget the previous sound
    Release = 4, // as Stop
    Quit = 5,
    Red = 6, // slider values, 0 to 255
    Green = 7,
    Blue = 8,
};

// What the program has told the companion. Commands arrive on the IPC listener thread;
// the capture loop reads the state and waits on wake(), which every command sets.
class CompanionState {
public:
    void handle(const platform::IpcMessage& message);

    bool isSending() const { return m_sending.load(); }
    bool isQuitting() const { return m_quitting.load(); }
    // True once after a Reset command.
    bool takeReset() { return m_reset.exchange(false); }
    std::wstring peer() const;
    platform::Event& wake() { return m_wake; }
    // Sleeps until the deadline. Only Quit and Stop cut it short: a burst of other
    // commands must neither speed up the pace nor start extra work.
    void sleepUntil(std::chrono::steady_clock::time_point deadline);

    // The six values of the colour packet: the style colour (or the sliders' colour when
    // they moved last), scaled by the loudness 0 to 1; the last three are 0.
    std::array<std::int32_t, 6> colourPacket(double loudness) const;

private:
    mutable std::mutex m_lock; // guards m_peer and m_colour
    std::wstring m_peer{kProgramEndpoint};
    std::array<std::int32_t, 3> m_colour{255, 255, 255};
    std::atomic<bool> m_sending{true};
    std::atomic<bool> m_quitting{false};
    std::atomic<bool> m_reset{false};
    platform::Event m_wake{platform::Event::ResetPolicy::Automatic};
};

// The packets as the program reads them: 32-bit values in this machine's byte order.
std::vector<std::uint8_t> packetBytes(std::span<const std::int32_t> values);

} // namespace companion
