#pragma once

#include "device/detect/supported_interfaces.h"
#include "shell/live_frame_tile.h"

#include "ui/container_ui.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

class COptionUI;
class CLabelUI;
class CProgressUI;

namespace shell {
class ShellDevice;
}

// A device tile in "device_select_layout": the device's icon and name, an option that
// chooses it and one that puts it in synchronised mode. Its timers drive its device on the
// UI thread.
class CDeviceOptionUI : public CHorizontalLayoutUI, public shell::LiveFrameTile {
public:
    CDeviceOptionUI();
    const wchar_t* GetClass() const override { return L"DeviceOption"; }
    void* GetInterface(std::wstring_view name) override;
    void DoInit() override;
    void DoEvent(TEventUI& event) override;
    void PaintBkImage(ui::Canvas& canvas) override;

    // The mouse pads' two surfaces have icons of their own.
    enum class PadSurface { Hard, Soft };
    // Chooses the icons and the name text by device kind; none: the unknown device's.
    void SetKind(std::optional<detect::DeviceKind> kind, PadSurface surface = PadSurface::Hard);
    void SetSynchro(bool on);
    bool IsSynchro() const;
    // The device's page: the option selects page index in the tab layout of that name.
    void BindDevicePage(std::wstring_view group, std::wstring_view tabLayout, int index);
    void SetPowerPage(std::wstring_view name, int index)
    {
        m_pageName = name;
        m_pageIndex = index;
    }
    const std::wstring& GetPageName() const { return m_pageName; }
    int GetPageIndex() const { return m_pageIndex; }
    void SetDeviceName(std::wstring_view text);
    void SetDevice(shell::ShellDevice* device) { m_device = device; }
    shell::ShellDevice* GetDevice() const { return m_device; }
    void SetNotifyWindow(HWND hwnd) { m_notifyWindow = hwnd; }
    bool IsTileVisible() const { return m_tileVisible; }
    void SetTileVisible(bool visible);
    bool IsChosen() const;
    void SetChosen(bool chosen, bool notify);
    COptionUI* SelectOption();

    // Starts a tile timer (milliseconds).
    void StartTimer(UINT id, UINT elapse);
    // The device's lights changed while the live-frame timer slept: show them now and run
    // the timer again.
    void resumeLiveFrames() override;
    int RetryCount() const { return m_retries; }

    const std::wstring& NormalImage() const { return m_normalImage; }
    const std::wstring& SelectedImage() const { return m_selectedImage; }
    const std::wstring& NameTextId() const { return m_nameTextId; }
    // The window's header names the device shown by this text.
    const std::wstring& HeaderTextId() const { return m_headerTextId; }

private:
    struct Parts {
        COptionUI* select = nullptr;
        COptionUI* synchro = nullptr;
        CControlUI* name = nullptr;
    };
    // The tile's own controls, found the first time they are needed once the skin has built
    // them; the timers and the painting ask for them often.
    const Parts& parts() const;

    void onTimer(UINT id);
    void showLiveFrame();
    UINT liveFramePeriod() const;
    void applyImages();
    int tileIndex() const;
    void sendVisibility(bool show);

    std::wstring m_synchroSelectedImage;
    std::wstring m_synchroNormalImage;
    std::wstring m_selectedImage;
    std::wstring m_normalImage;
    std::wstring m_nameTextId;
    std::wstring m_headerTextId;
    std::wstring m_pageName;
    int m_pageIndex = -1;
    bool m_tileVisible = true;
    shell::ShellDevice* m_device = nullptr;
    HWND m_notifyWindow = nullptr;
    int m_retries = 0;
    // When the last live frame went out, to keep the link's pace between frames.
    std::chrono::steady_clock::time_point m_lastLiveFrame;
    mutable Parts m_parts;
    mutable bool m_partsBound = false;
};

// The wireless power tile: battery level, charging state and the wireless logo.
class CMpDevicePowerUI : public CHorizontalLayoutUI {
public:
    const wchar_t* GetClass() const override { return L"MpDevicePower"; }
    void* GetInterface(std::wstring_view name) override;

    void SetDevice(detect::DeviceKind kind) { m_kind = kind; }
    detect::DeviceKind kind() const { return m_kind; }
    // Shows a power block; does nothing unless all five parts are in the skin.
    void ShowPower(std::span<const std::uint8_t> block);

private:
    struct Parts {
        CControlUI* value = nullptr;
        CControlUI* logo = nullptr;
        CProgressUI* bar = nullptr;
        CControlUI* status = nullptr;
        CControlUI* phone = nullptr;
    };
    const Parts& parts();

    detect::DeviceKind m_kind = detect::DeviceKind::Keyboard;
    Parts m_parts;
    bool m_partsBound = false;
};
