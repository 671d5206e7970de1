// The main window's audio lighting: the stored styles, the style window and the
// audio-capture companion's life.
#include "app/main_audio.h"
#include "app/main_wnd.h"
#include "platform/debug_output.h"
#include "platform/folders.h"
#include "shell/main_messages.h"
#include "shell/peers.h"
#include "windows/music_wnd.h"

namespace app {
namespace {

constexpr UINT kAudioCompanionPoll = 100; // ms between looks while a companion comes up

std::filesystem::path companionProgram(const std::filesystem::path& configured)
{
    if (!configured.empty())
        return configured;
    // Beside the program first (a build tree, an installed bin folder), else from PATH.
    const auto beside = platform::executableFolder() / "halvek-audio";
    std::error_code error;
    return std::filesystem::exists(beside, error) ? beside : std::filesystem::path("halvek-audio");
}

} // namespace

void CMainWnd::loadAudioData()
{
    MainAudio::Options options;
    options.program = companionProgram(m_options.audioCompanionProgram);
    options.userFile = userDataFolder() / windows::AudioStyleFile::kFileName;
    options.defaultFile = defaultDataFolder() / windows::AudioStyleFile::kFileName;
    m_audio = std::make_unique<MainAudio>(shell::peerEndpoint(), std::move(options));
    m_audio->loadStyles();
}

const windows::AudioStyles* CMainWnd::audioStyles() const
{
    return m_audio ? &m_audio->styles() : nullptr;
}

void CMainWnd::startAudioCompanion()
{
    if (!m_audio || m_shuttingDown)
        return;
    if (m_audio->start() == MainAudio::Progress::Waiting)
        SetTimer(shell::kAudioCompanionTimer, kAudioCompanionPoll);
}

void CMainWnd::pauseAudioCompanion()
{
    if (m_audio)
        m_audio->pause();
}

void CMainWnd::takeUpAudioCompanion()
{
    if (m_audio)
        m_audio->startIfRunning();
}

void CMainWnd::onAudioCompanionTimer()
{
    if (m_audio && !m_shuttingDown && m_audio->poll() == MainAudio::Progress::Waiting)
        SetTimer(shell::kAudioCompanionTimer, kAudioCompanionPoll);
}

void CMainWnd::shutdownAudioCompanion()
{
    KillTimer(shell::kAudioCompanionTimer);
    if (m_audio)
        m_audio->shutdown();
}

void CMainWnd::sendAudioSlider(wchar_t channel, int value)
{
    if (m_audio)
        m_audio->slider(channel, value);
}

void CMainWnd::openMusicWindow()
{
    // The companion runs while the styles are edited, so the colour chosen reaches it;
    // afterwards it captures only if audio lighting was wanted before.
    const bool wanted = m_audio && m_audio->isWanted();
    startAudioCompanion();
    MusicWnd::Open(m_hWnd, m_musicWnd, m_dpi, userDataFolder(), defaultDataFolder());
    if (!m_audio)
        return;
    // On OK the window stored the styles and sent their colour; take them up again.
    m_audio->loadStyles();
    if (!wanted)
        pauseAudioCompanion();
}

} // namespace app
