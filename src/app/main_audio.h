#pragma once

#include "platform/child_process.h"
#include "windows/audio_styles.h"

#include <chrono>
#include <filesystem>
#include <optional>

namespace platform {
class IpcEndpoint;
}

namespace app {

// The main window's audio lighting outside the device: the stored audio-light styles and
// the audio-capture companion, which this starts when audio lighting is wanted and ends
// with the program. UI-free; the window calls it on its thread and drives poll() from a
// timer while a launched companion comes up. No call waits for long: commands travel
// with the IPC layer's short time-out, and ending a companion waits a bounded time.
class MainAudio {
public:
    struct Options {
        std::filesystem::path program;  // halvek-audio
        std::filesystem::path userFile; // the user's "AudioFile.json"
        std::filesystem::path defaultFile;
        // How long a launched companion may take to answer.
        std::chrono::milliseconds answerTime{std::chrono::seconds(5)};
        // How long it may take to end after its quit command before it is ended.
        std::chrono::milliseconds stopGrace{std::chrono::milliseconds(1000)};
    };

    enum class Progress {
        Idle,    // nothing under way
        Waiting, // launched, not answering yet: call poll() again
        Started, // the start commands and the style colour went out
        Failed,  // could not be launched, or ended or stayed silent
    };

    // Without an endpoint nothing is sent and nothing is launched.
    MainAudio(const platform::IpcEndpoint* endpoint, Options options);
    ~MainAudio();

    // Reads the styles (the default file stands in for a missing user file) and sends the
    // selected colour to a companion that runs.
    void loadStyles();
    const windows::AudioStyles& styles() const { return m_styles; }

    // When the companion runs already: its start commands and the style colour. Does not
    // launch one (the program's start-up: a companion the user started is taken up).
    Progress startIfRunning();
    // Audio lighting is wanted: as startIfRunning, and launches the companion when none
    // runs. A launch answers Waiting.
    Progress start();
    // While Waiting: Started once the companion answers, Failed when it ended or stayed
    // silent too long.
    Progress poll();
    bool isWaiting() const { return m_waiting.has_value(); }
    // Whether audio lighting is wanted: since start(), until pause() or shutdown().
    bool isWanted() const { return m_wanted; }

    // Audio lighting is no longer wanted: the companion stops sending and lets the sound
    // device go, but stays for the next start.
    void pause();
    // The program ends: the companion's shutdown commands; one this object launched is
    // then given the grace time to end and ended otherwise.
    void shutdown();

    // Sound from the companion arrived. A companion that runs sends packets all the time,
    // silence included; none for `window` since it started means it cannot capture (no
    // sound server), which the user is told.
    void noteSound(std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());
    [[nodiscard]] bool isSoundMissing(std::chrono::steady_clock::time_point now,
                                      std::chrono::milliseconds window) const;

    // The main page's colour sliders ('R', 'G', 'B').
    bool slider(wchar_t channel, int value) const;
    bool sendStyleColour() const;

    // The companion this object launched, while it runs (tests).
    platform::ChildProcess& process() { return m_process; }

private:
    Progress sendStart();

    const platform::IpcEndpoint* m_endpoint;
    Options m_options;
    windows::AudioStyles m_styles;
    platform::ChildProcess m_process;
    std::optional<std::chrono::steady_clock::time_point> m_waiting;
    std::optional<std::chrono::steady_clock::time_point> m_startedAt;
    std::optional<std::chrono::steady_clock::time_point> m_lastSound;
    bool m_wanted = false;
};

} // namespace app
