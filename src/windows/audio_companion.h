#pragma once

#include "windows/audio_styles.h"

#include <cstdint>
#include <string_view>

namespace platform {
class IpcEndpoint;
}

namespace windows {

// The audio-capture companion as the program sees it: the name it receives under and the
// registered message its commands travel in (both fixed by the companion).
inline constexpr std::wstring_view kAudioCompanionName = L"Halvek 2VAV IRIAUDIORECORD";
inline constexpr std::wstring_view kAudioCommandMessage = L"{4695579F-999A-41d4-9FAF-EFFCE93EBE19}";
inline constexpr std::uint64_t kStyleColourCopyData = 10;

// Commands towards the companion. Everything is posted, and a companion that does not take
// a message in the IPC layer's short time-out is skipped, so a hung or absent companion
// never holds up the UI thread. Each call is true when the companion took every message.
class AudioCompanionLink {
public:
    // Without an endpoint (tests, a start-up without a runtime folder) nothing is sent.
    explicit AudioCompanionLink(const platform::IpcEndpoint* endpoint);

    bool present() const;
    // Hello, reset, start.
    bool start() const;
    // Stop, release, quit.
    bool stop() const;
    // Stop and release only: the companion stays for the next start.
    bool pause() const;
    // The main page's colour sliders: channel 'R', 'G' or 'B'.
    bool slider(wchar_t channel, int value) const;
    bool sendStyleColour(const AudioStyles& styles) const;

private:
    bool command(std::uint64_t wParam, std::int64_t lParam) const;

    const platform::IpcEndpoint* m_endpoint;
};

} // namespace windows
