#pragma once

// The macro editor's side of the main window's routing: its buttons, list selections, the
// action menu, the delay edits, import and export, and recording through the input capture.

#include "pages/macro_capture.h"
#include "pages/models/profile_panel_model.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>

struct TNotifyUI;
class CMacroControlUI;

namespace shell {
class PageHost;
class ShellDevice;
struct Route;
} // namespace shell

namespace pages {

// What the page needs from outside; tests replace them. Defaults: the window's prompts,
// the global input hook and the steady clock.
struct MacroPageHooks {
    // 1 when confirmed; buttonMode 0 is a notice, 1 a question.
    std::function<unsigned(const PanelMessage& message, int buttonMode)> prompt;
    std::function<std::unique_ptr<MacroCapture>()> capture;
    // Milliseconds of a steady clock.
    std::function<std::uint32_t()> now;
};

class MacroPage final : public MacroCaptureSink {
public:
    MacroPage(shell::PageHost& window, MacroPageHooks hooks);
    ~MacroPage() override;

    // A routed macro command; for import and export msg->sType holds the chosen path.
    void run(const shell::Route& route, TNotifyUI* msg, shell::ShellDevice* device);
    bool isRecording() const { return m_recording != nullptr; }
    // Stops a running recording and saves it (focus loss, device gone, window closing).
    void stopRecording();

    void onCapturedKey(const CapturedKey& key) override;
    void onCapturedButton(const CapturedButton& button) override;
    void onCaptureEnded() override;

private:
    void startRecording(CMacroControlUI& page, DelayMode mode, RecordPosition position);
    void rowsChanged(CMacroControlUI& page, shell::ShellDevice* device);
    void namesChanged(CMacroControlUI& page, shell::ShellDevice* device);
    void apply(CMacroControlUI& page, shell::ShellDevice* device);
    void deleteMacro(CMacroControlUI& page, shell::ShellDevice* device);
    void importMacro(CMacroControlUI& page, shell::ShellDevice* device, const std::wstring& path);
    void showMenu(TNotifyUI* msg);
    void lockWindow(shell::ShellDevice* device, bool locked);
    void notice(std::wstring_view textId, std::wstring_view english);
    // The device's macro page, found once per device (the window keeps its devices for its
    // whole life); bound to the device's library on every call.
    CMacroControlUI* pageOf(shell::ShellDevice* device);
    bool deviceStillThere();
    // An event's time on the page's clock: events can wait a while before the UI thread
    // takes them, so the gaps between them come from their own times.
    std::uint32_t eventTime(std::uint32_t inputMs);

    shell::PageHost& m_window;
    MacroPageHooks m_hooks;
    std::unique_ptr<MacroCapture> m_capture;
    CMacroControlUI* m_recording = nullptr; // the page being recorded into
    shell::ShellDevice* m_recordingDevice = nullptr;
    RecordPosition m_position = RecordPosition::Append;
    std::optional<std::uint32_t> m_clockOffset;
    std::uint32_t m_lastEventTime = 0;
    std::map<shell::ShellDevice*, CMacroControlUI*> m_pages; // observed; owned by the tree
};

// Installs the macro routes as the window's macro page handler; the page object is returned
// for tests, which drive it directly.
std::shared_ptr<MacroPage> installMacroPage(shell::PageHost& window, MacroPageHooks hooks = {});

// The macro editor of a device's page; null when it has none. The page is bound to the
// device's library.
CMacroControlUI* macroPageOf(shell::ShellDevice* device);

} // namespace pages
