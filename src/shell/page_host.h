#pragma once

// What a page or a dialog may ask of the window that holds it. The main window implements
// it; pages and windows know only this, so they build and test without the main window.
// UI thread only.

#include "platform/window_messages.h"
#include "shell/command_routes.h"
#include "shell/shell_device.h"
#include "ui/ui_types.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string_view>

class CPaintManagerUI;
struct TNotifyUI;
namespace hook {
class HookClient;
}

namespace shell {

// Carries out a routed notification for a page or a device family.
using PageHandler =
    std::function<void(const Route& route, TNotifyUI* msg, ShellDevice* activeDevice)>;
// Runs before every route that may change the active device's profile. False drops the
// route: the view had to move (another program deleted the shown profile) and said so.
using EditGuard = std::function<bool(ShellDevice* activeDevice)>;

class PageHost {
public:
    virtual ~PageHost() = default;

    // --- the window ---
    virtual HWND windowHandle() const = 0;
    virtual CPaintManagerUI& paintManager() = 0;
    virtual RECT windowFrame() const = 0;
    virtual int layoutDpi() const = 0;
    virtual bool isShuttingDown() const = 0;
    // Starts (or restarts) one of the window's timers, in milliseconds.
    virtual void startTimer(UINT_PTR id, UINT milliseconds) = 0;

    // --- prompts (modal); 1 when confirmed; buttonMode 0 is a notice, 1 a question ---
    // The text of a language id.
    virtual UINT prompt(std::wstring_view textId, int buttonMode) = 0;
    // A text already in the current language, shown as it is.
    virtual UINT promptText(std::wstring_view text, int buttonMode) = 0;
    // Before the view leaves `device`'s shown profile: its pending edits are saved and
    // written, or dropped, as the user answers. False when the user cancelled or the save
    // failed (and said so): the view must stay.
    virtual bool settlePending(ShellDevice& device) = 0;

    // --- navigation: who carries out a route, and the devices the routes reach ---
    virtual void setPageHandler(RouteOwner owner, PageHandler handler) = 0;
    virtual void setEditGuard(EditGuard guard) = 0;
    virtual ShellDevice* activeDevice() const = 0;
    virtual ShellDevice* deviceAt(std::size_t index) const = 0;
    virtual std::size_t deviceCount() const = 0;

    // --- folders ---
    virtual std::filesystem::path defaultDataFolder() const = 0;
    virtual std::filesystem::path userDataFolder() const = 0;

    // --- the global input hook; clients are held weakly ---
    // Installs the hook in `mode` for `client`, replacing any hook (whose client is told);
    // 1 on success, 0 when the input could not be captured.
    virtual int installHook(int mode, const std::shared_ptr<hook::HookClient>& client) = 0;
    // Removes the hook, if any; its client is told unless it is `requester`.
    virtual void removeHook(const hook::HookClient* requester = nullptr) = 0;
    virtual bool isHookInstalled() const = 0;
    // Who receives the keys of the window's key capture.
    virtual void setKeyCaptureClient(const std::shared_ptr<hook::HookClient>& client) = 0;

    // --- lighting shared by the devices ---
    // The same-lighting command from the active device.
    virtual void applySameLighting() = 0;
    // Audio lighting is wanted (an audio style chosen) or no longer is; neither waits.
    virtual void startAudioCompanion() = 0;
    virtual void pauseAudioCompanion() = 0;
};

} // namespace shell
