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
constexpr UINT kAudioSoundWatch = 1000;   // ms between looks at the sound while it is wanted
// A capturing companion sends many packets a second; this long without one, it has no sound.
constexpr std::chrono::milliseconds kNoSoundWindow{4000};

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

void CMainWnd::showAudioStatus(std::wstring_view textId)
{
    CControlUI* label = parts().audioStatus;
    if (!label)
        return;
    label->SetVisible(!textId.empty());
    label->SetText(textId);
    label->SetToolTip(textId.empty() ? std::wstring() : std::wstring(label->GetText()));
}

void CMainWnd::startAudioCompanion()
{
    if (!m_audio || m_shuttingDown)
        return;
    const MainAudio::Progress progress = m_audio->start();
    if (progress == MainAudio::Progress::Failed) {
        showAudioStatus(L"audio_companion_failed_text");
        return;
    }
    showAudioStatus(L"");
    SetTimer(shell::kAudioCompanionTimer,
             progress == MainAudio::Progress::Waiting ? kAudioCompanionPoll : kAudioSoundWatch);
}

void CMainWnd::pauseAudioCompanion()
{
    if (m_audio)
        m_audio->pause();
    showAudioStatus(L"");
}

void CMainWnd::takeUpAudioCompanion()
{
    if (m_audio)
        m_audio->startIfRunning();
}

void CMainWnd::onAudioCompanionTimer()
{
    if (!m_audio || m_shuttingDown)
        return;
    if (m_audio->isWaiting()) {
        const MainAudio::Progress progress = m_audio->poll();
        if (progress == MainAudio::Progress::Waiting) {
            SetTimer(shell::kAudioCompanionTimer, kAudioCompanionPoll);
            return;
        }
        if (progress == MainAudio::Progress::Failed) {
            showAudioStatus(L"audio_companion_failed_text");
            return;
        }
    }
    // While audio lighting is wanted, a companion that sends nothing is said in words.
    if (!m_audio->isWanted()) {
        showAudioStatus(L"");
        return;
    }
    showAudioStatus(m_audio->isSoundMissing(std::chrono::steady_clock::now(), kNoSoundWindow)
                        ? L"audio_no_sound_text"
                        : L"");
    SetTimer(shell::kAudioCompanionTimer, kAudioSoundWatch);
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
