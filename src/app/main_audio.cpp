#include "app/main_audio.h"

#include "platform/debug_output.h"
#include "windows/audio_companion.h"

namespace app {

MainAudio::MainAudio(const platform::IpcEndpoint* endpoint, Options options)
    : m_endpoint(endpoint), m_options(std::move(options))
{
}

MainAudio::~MainAudio()
{
    // A companion still coming up when the window goes is not left capturing.
    if (m_process.isRunning())
        m_process.terminate(std::chrono::milliseconds(200));
}

void MainAudio::loadStyles()
{
    windows::AudioStyleFile file(m_options.userFile, m_options.defaultFile);
    m_styles = file.open();
    sendStyleColour();
}

bool MainAudio::sendStyleColour() const
{
    const windows::AudioCompanionLink link(m_endpoint);
    return link.present() && link.sendStyleColour(m_styles);
}

MainAudio::Progress MainAudio::sendStart()
{
    const windows::AudioCompanionLink link(m_endpoint);
    m_waiting.reset();
    const bool started = link.start();
    sendStyleColour();
    if (started && !m_startedAt)
        m_startedAt = std::chrono::steady_clock::now();
    return started ? Progress::Started : Progress::Failed;
}

void MainAudio::noteSound(std::chrono::steady_clock::time_point now)
{
    m_lastSound = now;
}

bool MainAudio::isSoundMissing(std::chrono::steady_clock::time_point now,
                               std::chrono::milliseconds window) const
{
    if (!m_wanted || !m_startedAt)
        return false;
    const auto since = m_lastSound ? std::max(*m_lastSound, *m_startedAt) : *m_startedAt;
    return now - since >= window;
}

MainAudio::Progress MainAudio::startIfRunning()
{
    if (!windows::AudioCompanionLink(m_endpoint).present())
        return Progress::Idle;
    return sendStart();
}

MainAudio::Progress MainAudio::start()
{
    m_wanted = true;
    if (!m_endpoint)
        return Progress::Failed;
    if (windows::AudioCompanionLink(m_endpoint).present())
        return sendStart();
    if (m_waiting)
        return Progress::Waiting;
    if (m_process.isRunning()) {
        // Ours, but not answering (yet): give it the answer time again.
        m_waiting = std::chrono::steady_clock::now();
        return Progress::Waiting;
    }
    auto launched = platform::ChildProcess::start(m_options.program, {});
    if (!launched) {
        platform::debugOutput("audio companion: " + launched.error().message);
        return Progress::Failed;
    }
    platform::debugOutput("audio companion launched, process " +
                          std::to_string(launched->processId()));
    m_process = std::move(*launched);
    m_waiting = std::chrono::steady_clock::now();
    return Progress::Waiting;
}

MainAudio::Progress MainAudio::poll()
{
    if (!m_waiting)
        return Progress::Idle;
    if (const windows::AudioCompanionLink link(m_endpoint); link.present()) {
        if (m_wanted)
            return sendStart();
        // No longer wanted while it came up: it starts sending by itself, so it is told
        // to stop.
        m_waiting.reset();
        link.pause();
        return Progress::Idle;
    }
    if (!m_process.isRunning()) {
        m_waiting.reset();
        platform::debugOutput("audio companion ended before it answered (status " +
                              std::to_string(m_process.exitStatus().value_or(-1)) + ")");
        return Progress::Failed;
    }
    if (std::chrono::steady_clock::now() - *m_waiting >= m_options.answerTime) {
        m_waiting.reset();
        platform::debugOutput("audio companion does not answer; ended");
        m_process.terminate(std::chrono::milliseconds(200));
        return Progress::Failed;
    }
    return Progress::Waiting;
}

void MainAudio::pause()
{
    m_wanted = false;
    m_startedAt.reset();
    // A companion still coming up is paused by poll() once it answers.
    windows::AudioCompanionLink(m_endpoint).pause();
}

void MainAudio::shutdown()
{
    m_wanted = false;
    m_startedAt.reset();
    m_waiting.reset();
    const bool told = windows::AudioCompanionLink(m_endpoint).stop();
    if (!m_process.isRunning())
        return;
    // Told to quit, it ends on its own; one that was not told is only asked by signal.
    if (told && m_process.waitForExit(m_options.stopGrace))
        return;
    if (!m_process.terminate(told ? std::chrono::milliseconds(200) : m_options.stopGrace))
        platform::debugOutput("audio companion did not end in time; killed");
}

bool MainAudio::slider(wchar_t channel, int value) const
{
    return windows::AudioCompanionLink(m_endpoint).slider(channel, value);
}

} // namespace app
