#pragma once

#include "platform/input_hook.h"
#include "platform/power_events.h"

#include "app/device_lists.h"
#include "app/tile_board.h"
#include "device/detect/device_watcher.h"
#include "device/detect/interface_table.h"
#include "device/detect/link_controller.h"
#include "shell/command_routes.h"
#include "shell/language_table.h"
#include "shell/page_host.h"
#include "shell/shell_device.h"
#include "ui/menu_wnd.h"
#include "ui/std_string_ptr_map.h"
#include "ui/tray_icon.h"
#include "ui/window_impl_base.h"
#include "update/update_model.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class CButtonUI;
class CDeviceOptionUI;
class CMpDevicePowerUI;
namespace hook {
class CDeviceHook;
class HookClient;
} // namespace hook
namespace windows {
class MainSkin;
}

namespace windows {
struct AudioStyles;
}

namespace app {

class MainLighting;
class MainAudio;
class MainWatcherSink;

// What the main window is built with; tests replace the system's parts.
struct MainWndOptions {
    // The HID interfaces the watcher polls; null: the system's.
    detect::InterfaceSource* interfaces = nullptr;
    // The notification-area icon; null: none can be shown.
    std::unique_ptr<ui::TrayBackend> tray;
    // Where the user's data and the settings live; empty: the user's folders.
    std::filesystem::path userDataFolder;
    std::filesystem::path settingsFile;
    // False: the watcher is not started (tests drive passes themselves).
    bool startWatcher = true;
    // The audio-capture companion to launch; empty: halvek-audio beside the program.
    std::filesystem::path audioCompanionProgram;
    // Where the input hook takes its events from; empty: the desktop's (X11 or the window).
    std::function<std::unique_ptr<platform::InputHookBackend>()> inputHook;
    // Answers the window's own prompts by text id; empty: the modal prompt window.
    std::function<UINT(std::wstring_view textId, int buttonMode)> answerPrompt;
    // The run talks to the emulated devices (--simulate): the no-device page says how to
    // plug them, not how to start such a run.
    bool simulated = false;
};

using shell::PageHandler;

// The one top-level window: device tiles, the selected device's pages, the tray icon,
// messages from other programs and the device watcher. UI thread only, except where said.
class CMainWnd : public WindowImplBase, public detect::LinkHost, public shell::PageHost {
public:
    explicit CMainWnd(MainWndOptions options = {});
    ~CMainWnd() override;

    const wchar_t* GetWindowClassName() const override { return L"MainWnd"; }
    UINT GetClassStyle() const override { return CS_DBLCLKS; }
    void InitWindow() override;
    void Notify(TNotifyUI& msg) override;
    CControlUI* CreateControl(const wchar_t* className) override;
    const wchar_t* QueryControlText(const wchar_t* id, const wchar_t* type) override;

    DUI_DECLARE_MESSAGE_MAP()
    void OnClick(TNotifyUI& msg) override;
    void OnControlItemActivate(TNotifyUI& msg);
    void OnControlSetFocus(TNotifyUI& msg);

    // --- other parts call these ---
    shell::ShellDevice* activeDevice() const override;
    void closeChildWindows();
    void setLightingControl(bool control);
    void setWindowActive(bool active);
    void setMultiDevice(bool multi);
    void applyLanguageIndex(int index);
    int languageIndex() const { return m_languageIndex; }
    int layoutDpi() const override { return m_dpi; }
    std::filesystem::path defaultDataFolder() const override;
    std::filesystem::path userDataFolder() const override;
    void setPageHandler(shell::RouteOwner owner, PageHandler handler) override;
    void setEditGuard(shell::EditGuard guard) override { m_editGuard = std::move(guard); }
    // Prompts (modal); 1 when confirmed.
    UINT prompt(std::wstring_view textId, int buttonMode) override;
    UINT promptWithNumber(std::wstring_view textId, long long number, int buttonMode);
    UINT promptText(std::wstring_view text, int buttonMode) override;
    bool settlePending(shell::ShellDevice& device) override;
    void openAboutWindow();
    // The same-lighting command ("deng_same_mode") from the active device.
    void applySameLighting() override;
    // Null before the window is initialised.
    MainLighting* lighting() const { return m_lighting.get(); }
    // main_wnd_audio.cpp: audio lighting is wanted (an audio style chosen) or no longer
    // is. Start launches the audio-capture companion when none runs; neither waits.
    void startAudioCompanion() override;
    void pauseAudioCompanion() override;
    const windows::AudioStyles* audioStyles() const;

    // --- state, for the program and its tests ---
    detect::InterfaceTable& interfaceTable() { return m_table; }
    const TileBoard& tiles() const { return m_tiles; }
    CDeviceOptionUI* tileControl(std::size_t index) const;
    shell::ShellDevice* deviceAt(std::size_t index) const override;
    std::size_t deviceCount() const override { return m_devices.size(); }
    const DeviceLists& deviceLists() const { return m_lists; }
    bool isLightingControl() const { return m_lightingControl; }
    bool isShuttingDown() const override { return m_shuttingDown; }
    bool isTrayShown() const { return m_tray.IsVisible(); }
    bool isHookInstalled() const override;
    int hookMode() const;

    // --- main_wnd_hook.cpp: the global input hook, for the pages that capture input ---
    int installHook(int mode, const std::shared_ptr<hook::HookClient>& client) override;
    void removeHook(const hook::HookClient* requester = nullptr) override;
    // Who receives the keys of MSG_HOOK_CONTROL's key capture; none: no hook is installed.
    void setKeyCaptureClient(const std::shared_ptr<hook::HookClient>& client) override;

    // shell::PageHost: the window itself
    HWND windowHandle() const override { return GetHWND(); }
    CPaintManagerUI& paintManager() override { return GetPaintManager(); }
    RECT windowFrame() const override { return GetWindowRect(); }
    void startTimer(UINT_PTR id, UINT milliseconds) override { SetTimer(id, milliseconds); }
    // Runs one watcher pass on the calling thread (tests without the watcher thread).
    void runWatcherPass();
    // Process-wide: cleared while the system sleeps.
    static bool isAwake() { return s_awake.load(); }

    // detect::LinkHost
    std::vector<detect::LinkedDevice*> devices() override;
    void ensureDevice(std::size_t row) override;
    void channelOpened(detect::LinkedDevice& device, bool onCable) override;
    void channelClosed(detect::LinkedDevice& device) override;
    void switchedLink(detect::LinkedDevice& device, bool toReceiver) override;
    void bringForward() override;

protected:
    CDuiString GetSkinFile() override { return L"XML_MAIN"; }
    LRESULT OnDestroy(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
    LRESULT OnGetMinMaxInfo(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
    LRESULT OnLButtonDown(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
    LRESULT OnLButtonUp(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
    LRESULT OnMouseMove(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
    LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;

private:
    // main_wnd.cpp: lifecycle and messages
    void windowInit();
    void shutdown();
    bool handleRegisteredMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    void handleCopyData(const COPYDATASTRUCT* data);
    void handleMenuClick(WPARAM wParam);
    void OnMainTimer(UINT_PTR id);
    void layoutForScreen();
    void applyScreenLayout();
    void toggleFromTray();
    void showTrayMenu();
    void comeForward(WPARAM wParam, LPARAM lParam);
    void rebuildFonts();
    void setPausedAll(bool paused);
    void updateNoDeviceNotice();

    // main_wnd_lighting.cpp: synchronised lighting, game lighting, the audio feed
    void startLighting();
    void stopLighting();
    void addLightingDevice(detect::DeviceKind kind, shell::ShellDevice& device);
    bool handleGameMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void restoreAfterGame();
    bool routeKeyToLighting(const shell::Route& route, TNotifyUI* msg, shell::ShellDevice* device);

    // main_wnd_devices.cpp: device objects and tiles
    void createDevice(std::size_t row, std::size_t typeIndex);
    shell::ShellDevice* deviceForType(std::size_t typeIndex) const;
    std::optional<std::size_t> indexOfDevice(const detect::LinkedDevice& device) const;
    void onInterfaceMessage(bool arrived, WPARAM wParam, LPARAM lParam);
    void showTile(std::size_t index, bool visible, bool select);
    void applyTileMessage(WPARAM index, LPARAM show);
    void applyOutcome(const TileBoard::Outcome& outcome);
    void selectDeviceFromTiles();
    // Before the tile `target` is shown: the shown device's pending edits are settled;
    // false when the user cancelled.
    bool mayLeaveActiveDevice(std::size_t target);
    void showDevicePages(std::size_t index);
    // The header names the device shown, or the program's own device while none is.
    void showHeader();

    // main_wnd_update.cpp: the update entries of the present devices and the program
    std::vector<update::UpdateEntry> updateEntries() const;

    // main_wnd_audio.cpp: the audio-light styles and the companion
    void loadAudioData();
    void takeUpAudioCompanion();
    void onAudioCompanionTimer();
    // The status bar's line about audio lighting; an empty id hides it.
    void showAudioStatus(std::wstring_view textId);
    void shutdownAudioCompanion();
    void sendAudioSlider(wchar_t channel, int value);
    void openMusicWindow();

    // main_wnd_commands.cpp: routing tables and dialogs
    void routeNotification(TNotifyUI& msg);
    bool dispatch(const shell::Route& route, TNotifyUI* msg);
    bool deviceMatches(shell::DeviceNeed need, const shell::ShellDevice* device) const;
    void runWindowRoute(const shell::Route& route, TNotifyUI* msg);
    void onClickFirst(const shell::Route& route, TNotifyUI& msg);
    void toggleLightingControl();
    void showLightingControlState();
    void onColourSlider(const shell::Route& route, TNotifyUI& msg);
    void onFileCommand(const shell::Route& route);
    std::optional<std::filesystem::path> askForFile(bool save, std::wstring_view filterTextId,
                                                    std::wstring_view extension);
    void hookControl(WPARAM install);
    // Before the window closes or the program ends: every device's pending edits are saved
    // and written, dropped, or the close is cancelled (false).
    bool settlePendingChanges();
    // One question for the pending edits of `devices`; false when the step is cancelled.
    bool settlePendingOf(const std::vector<shell::ShellDevice*>& devices);
    // The status bar's marker of the active device's unsaved or unwritten edits.
    void showPendingState();
    // The device the marker speaks of: the active one, else one with pending edits.
    shell::ShellDevice* pendingDevice() const;
    // The window's own controls that code updates, found once in the skin.
    struct WindowParts {
        CControlUI* pendingStatus = nullptr;
        CControlUI* pendingCommit = nullptr;
        CControlUI* lightingControlStatus = nullptr;
        CControlUI* audioStatus = nullptr;
        CButtonUI* settingsButton = nullptr;
        CControlUI* settingsProgress = nullptr;
        // The page shown while no device is: what it says depends on why.
        CControlUI* noDevice = nullptr;
        CControlUI* noDeviceTitle = nullptr;
        CControlUI* noDeviceHint = nullptr;
        CControlUI* noDeviceTry = nullptr;
        CControlUI* noDeviceCommand = nullptr;
        CControlUI* noDevicePlug = nullptr;
        CControlUI* noDeviceAccess = nullptr;
        CControlUI* headerModel = nullptr;
    };
    const WindowParts& parts();
    // main_wnd_hook.cpp
    void deliverHookMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void hookFocusLost();
    void broadcastLightingControl(bool control);

    MainWndOptions m_options;
    // Tray menu
    CMenuWnd* m_trayMenu = nullptr;
    CStdStringPtrMap m_menuCheckInfo;
    CTrayIcon m_tray;
    platform::PowerEvents m_power;
    CNotifyPump m_mainPage;

    DeviceLists m_lists;
    std::vector<CMpDevicePowerUI*> m_powerTiles;
    detect::InterfaceTable m_table;
    std::unique_ptr<detect::InterfaceSource> m_ownSource;
    std::unique_ptr<MainWatcherSink> m_sink;
    std::unique_ptr<detect::DeviceWatcher> m_watcher;
    detect::LinkController m_links;

    // Devices in creation order: tile k shows device k.
    std::vector<shell::ShellDevice*> m_devices;
    std::vector<CDeviceOptionUI*> m_tileControls;
    WindowParts m_parts;
    bool m_partsBound = false;
    std::map<std::size_t, shell::ShellDevice*> m_deviceByType; // device type table row -> device
    TileBoard m_tiles;
    std::map<shell::RouteOwner, PageHandler> m_pageHandlers;
    shell::EditGuard m_editGuard;
    std::vector<std::unique_ptr<shell::ShellDevice>> m_shells; // views of the device objects

    HWND m_settingsWnd = nullptr;
    HWND m_aboutWnd = nullptr;
    HWND m_colourWnd = nullptr;
    HWND m_musicWnd = nullptr;

    shell::LanguageTable m_languageTable;
    int m_languageIndex = -1;
    int m_dpi = 96;
    bool m_lightingControl = true;
    bool m_windowActive = false;
    bool m_displayChanged = false;
    bool m_initialised = false;
    bool m_shuttingDown = false;
    std::unique_ptr<MainAudio> m_audio; // audio-light styles and the companion
    std::unique_ptr<hook::CDeviceHook> m_hook;
    std::weak_ptr<hook::HookClient> m_hookClient; // the page holding the hook
    std::weak_ptr<hook::HookClient> m_keyCaptureClient;
    std::unique_ptr<windows::MainSkin> m_skin; // background choices of the skin frame
    std::unique_ptr<MainLighting> m_lighting;

    static std::atomic<bool> s_awake;
};

} // namespace app
