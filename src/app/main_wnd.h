#pragma once

#include "platform/power_events.h"

#include "app/command_routes.h"
#include "app/device_lists.h"
#include "app/language_table.h"
#include "app/shell_device.h"
#include "app/tile_board.h"
#include "device/detect/device_watcher.h"
#include "device/detect/interface_table.h"
#include "device/detect/link_controller.h"
#include "ui/menu_wnd.h"
#include "ui/std_string_ptr_map.h"
#include "ui/tray_icon.h"
#include "ui/window_impl_base.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class CDeviceOptionUI;
class CMpDevicePowerUI;
namespace windows {
class MainSkin;
}

namespace app {

class MainLighting;
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
};

// Carries out a routed notification for a page or a device family; later work fills them.
using PageHandler =
    std::function<void(const Route& route, TNotifyUI* msg, ShellDevice* activeDevice)>;

// The one top-level window: device tiles, the selected device's pages, the tray icon,
// messages from other programs and the device watcher. UI thread only, except where said.
class CMainWnd : public WindowImplBase, public detect::LinkHost {
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
    ShellDevice* activeDevice() const;
    void closeChildWindows();
    void setLightingControl(bool control);
    void setWindowActive(bool active);
    void setMultiDevice(bool multi);
    void applyLanguageIndex(int index);
    int languageIndex() const { return m_languageIndex; }
    int layoutDpi() const { return m_dpi; }
    std::filesystem::path defaultDataFolder() const;
    std::filesystem::path userDataFolder() const;
    void setPageHandler(RouteOwner owner, PageHandler handler);
    // Prompts (modal); 1 when confirmed.
    UINT prompt(std::wstring_view textId, int buttonMode);
    UINT promptWithNumber(std::wstring_view textId, long long number, int buttonMode);
    void openAboutWindow();
    // The same-lighting command ("deng_same_mode") from the active device.
    void applySameLighting();
    // Null before the window is initialised.
    MainLighting* lighting() const { return m_lighting.get(); }

    // --- state, for the program and its tests ---
    detect::InterfaceTable& interfaceTable() { return m_table; }
    const TileBoard& tiles() const { return m_tiles; }
    CDeviceOptionUI* tileControl(std::size_t index) const;
    ShellDevice* deviceAt(std::size_t index) const;
    std::size_t deviceCount() const { return m_devices.size(); }
    const DeviceLists& deviceLists() const { return m_lists; }
    bool isLightingControl() const { return m_lightingControl; }
    bool isShuttingDown() const { return m_shuttingDown; }
    bool isTrayShown() const { return m_tray.IsVisible(); }
    bool isHookInstalled() const { return m_hookMode != 0; }
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
    void addLightingDevice(DeviceLists::Kind kind, ShellDevice& device);
    bool handleGameMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void restoreAfterGame();
    bool routeKeyToLighting(const Route& route, TNotifyUI* msg, ShellDevice* device);

    // main_wnd_devices.cpp: device objects and tiles
    void createDevice(std::size_t row, detect::InterfaceRole role, std::size_t typeIndex);
    ShellDevice* deviceForType(std::size_t typeIndex) const;
    std::optional<std::size_t> indexOfDevice(const detect::LinkedDevice& device) const;
    void onInterfaceMessage(bool arrived, WPARAM wParam, LPARAM lParam);
    void showTile(std::size_t index, bool visible, bool select);
    void applyTileMessage(WPARAM index, LPARAM show);
    void applyOutcome(const TileBoard::Outcome& outcome);
    void selectDeviceFromTiles();
    void showDevicePages(std::size_t index);

    // main_wnd_commands.cpp: routing tables and dialogs
    void routeNotification(TNotifyUI& msg);
    bool dispatch(const Route& route, TNotifyUI* msg);
    bool deviceMatches(DeviceNeed need, const ShellDevice* device) const;
    void runWindowRoute(const Route& route, TNotifyUI* msg);
    void onClickFirst(const Route& route, TNotifyUI& msg);
    void toggleLightingControl();
    void onColourSlider(const Route& route, TNotifyUI& msg);
    void onFileCommand(const Route& route);
    std::optional<std::filesystem::path> askForFile(bool save, std::wstring_view filterName,
                                                    std::wstring_view extension);
    void hookControl(WPARAM install);
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
    std::vector<ShellDevice*> m_devices;
    std::vector<CDeviceOptionUI*> m_tileControls;
    std::map<std::size_t, ShellDevice*> m_deviceByType; // device type table row -> device
    TileBoard m_tiles;
    std::map<RouteOwner, PageHandler> m_pageHandlers;
    std::vector<std::unique_ptr<ShellDevice>> m_shells; // views of the device objects

    HWND m_settingsWnd = nullptr;
    HWND m_aboutWnd = nullptr;
    HWND m_colourWnd = nullptr;
    HWND m_musicWnd = nullptr;

    LanguageTable m_languageTable;
    int m_languageIndex = -1;
    int m_dpi = 96;
    bool m_lightingControl = true;
    bool m_windowActive = false;
    bool m_displayChanged = false;
    bool m_initialised = false;
    bool m_shuttingDown = false;
    int m_hookMode = 0;
    HWND m_audioCompanion = nullptr;
    std::unique_ptr<windows::MainSkin> m_skin; // background choices of the skin frame
    std::unique_ptr<MainLighting> m_lighting;

    static std::atomic<bool> s_awake;
};

} // namespace app
