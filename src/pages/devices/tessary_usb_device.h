#pragma once

// The device object as a UI control: a horizontal layout built from the device's
// description file, whose picture holds the clickable keys. Behaviour lives in the model it
// holds (device/model); this class finds its controls, shows what the model tells it and
// forwards the operations the tiles and pages call.

#include "device/model/profile_apply.h"
#include "device/model/usb_device_model.h"
#include "pages/models/pending_changes.h"
#include "platform/message_queue.h"
#include "ui/container_ui.h"
#include "ui/notify.h"
#include "ui/notify_pump.h"

#include <memory>
#include <vector>

class CDeviceKeyButtonUI;
class CDeviceProfileUI;
class CKeySetControlUI;
class CLightControlUI;
class COptionUI;

class CTessaryUSBDevice : public CHorizontalLayoutUI,
                          public CNotifyPump,
                          public INotifyUI,
                          protected model::DeviceView {
public:
    // A device object of the base kind (a device whose class adds nothing).
    CTessaryUSBDevice();
    explicit CTessaryUSBDevice(std::unique_ptr<model::UsbDeviceModel> model);
    ~CTessaryUSBDevice() override;

    const wchar_t* GetClass() const override { return L"TessaryUSBDevice"; }
    void* GetInterface(std::wstring_view name) override;
    // Notifications of the window's controls reach the device's message map.
    void Notify(TNotifyUI& msg) override;

    model::UsbDeviceModel& model() { return *m_model; }
    const model::UsbDeviceModel& model() const { return *m_model; }

    // Maps the picture's key and light buttons (of class "DeviceKeyButton" inside the first
    // "SelectPanel" child) to key and light numbers.
    virtual void BuildPicture();
    // Null where the picture has no such button.
    CDeviceKeyButtonUI* keyButton(int key) const;
    CDeviceKeyButtonUI* lightButton(int light) const;
    CControlUI* picturePanel() const { return m_picturePanel; }

    // The tiles that show this device in the device list; owned by the window's tree.
    void setTile(CControlUI* tile) { m_tile = tile; }
    CControlUI* tile() const { return m_tile; }
    void setPowerTile(CControlUI* tile) { m_powerTile = tile; }
    CControlUI* powerTile() const { return m_powerTile; }

    // The edits of the shown profile the file or the device does not hold yet.
    pages::PendingChanges& pending() { return m_pending; }
    const pages::PendingChanges& pending() const { return m_pending; }

    // What the tiles' timers call; each forwards to the model. A device that comes back
    // while a change is unwritten is written from the saved profile, not read into it.
    void StartDevice();
    void SendLiveFrame() { m_model->SendLiveFrame(); }
    void SyncFromDevice() { m_model->SyncFromDevice(); }
    void RefreshPower() { m_model->RefreshPower(); }
    bool IsReceiverLinkUp() { return m_model->IsReceiverLinkUp(); }
    void RefreshView() { m_model->RefreshView(); }
    // The device's channel has (re)opened (arrival, link switch, resume): the selected
    // profile is read and written to it, then the view and the lighting start.
    model::ApplyReport ReapplyProfile();
    // The same after a resume: what it could not write stays marked, so the window says so
    // and the next arrival writes it again.
    model::ApplyReport ReapplyAfterResume();
    // The model's tab, then the function switch controls of the page.
    virtual void SetFunctionTab(int type);
    // The key page on show, its tab chosen, as a click on a key of the picture asks.
    void openKeyPage();

    // Pages of the device page, bound on first use; null where the skin has none.
    CLightControlUI* lightPage();
    CDeviceProfileUI* profilePanel();
    CKeySetControlUI* keySetPage();

protected:
    // While edits are unsaved the device takes the profile as held in memory, edits
    // included: reading the file would drop them.
    model::ApplyReport writeFromMemory();
    // Maps the "DeviceKeyButton" children of `panel`.
    void mapButtons(CControlUI* panel);
    void setPicturePanel(CControlUI* panel) { m_picturePanel = panel; }

    // model::DeviceView
    void showLight(std::size_t light, std::uint32_t pictureColour,
                   std::uint8_t brightness) override;
    bool postDeviceNotices() override;
    bool startSyncTimer() override;
    void lightsChanged() override;
    void refreshPages() override;
    bool isCustomGroupSelected() const override;
    void readBackNotSaved() override;

public:
    // What the device's own message window handles: the listeners' notices, the
    // synchronisation timer and the wake of the tile when the lights change.
    static constexpr UINT kDeviceNoticeMessage = WM_APP + 0x31;
    static constexpr UINT kLightsChangedMessage = WM_APP + 0x32;
    static constexpr UINT_PTR kSyncTimer = 1002;
    static constexpr std::chrono::milliseconds kSyncDelay{50};
    HWND noticeWindow() const { return m_noticeWindow; }

private:
    std::unique_ptr<model::UsbDeviceModel> m_model;
    pages::PendingChanges m_pending;
    std::vector<CDeviceKeyButtonUI*> m_keyButtons;   // observed; owned by the tree
    std::vector<CDeviceKeyButtonUI*> m_lightButtons; // observed; owned by the tree
    CControlUI* m_picturePanel = nullptr;
    CControlUI* m_tile = nullptr;
    CControlUI* m_powerTile = nullptr;
    CControlUI* m_functionSwitch = nullptr;
    CControlUI* m_keyFunctionSwitch = nullptr;
    // Bound on first use; the flags keep a control the skin lacks from being sought again.
    struct BoundPages {
        bool lightBound = false;
        bool profileBound = false;
        bool keyTabBound = false;
        bool keySetBound = false;
        CLightControlUI* lightPage = nullptr;
        CDeviceProfileUI* profilePanel = nullptr;
        COptionUI* keyTab = nullptr;
        CKeySetControlUI* keySetPage = nullptr;
    };
    BoundPages m_bound;
    // Created on the UI thread with the control; listener threads post to it.
    platform::MessageQueue* m_noticeQueue = nullptr;
    HWND m_noticeWindow = nullptr;
};
