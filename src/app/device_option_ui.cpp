#include "app/device_option_ui.h"

#include "app/power_display.h"
#include "pages/control_binding.h"
#include "platform/message_queue.h"
#include "shell/main_messages.h"
#include "shell/shell_device.h"
#include "ui/button_ui.h"
#include "ui/label_ui.h"
#include "ui/paint_manager_ui.h"
#include "ui/slider_ui.h"

#include <algorithm>
#include <chrono>

namespace {

// How often the tile's timers come back, in milliseconds.
constexpr UINT kLiveFrameCable = 5;
constexpr UINT kLiveFrameReceiver = 500;
constexpr UINT kLinkRetry = 3000;
constexpr UINT kPowerFirst = 50;
constexpr UINT kPowerAgain = 5000;
constexpr UINT kReceiverWatch = 2000;
constexpr UINT kReceiverWatchAgain = 3000;
constexpr int kRetryWrap = 20;

std::wstring prefixFor(std::optional<detect::DeviceKind> kind, CDeviceOptionUI::PadSurface surface)
{
    if (!kind)
        return L"unknow";
    switch (*kind) {
    case detect::DeviceKind::Keyboard:
        return L"kb";
    case detect::DeviceKind::Mouse:
        return L"ms";
    case detect::DeviceKind::MousePad:
        return surface == CDeviceOptionUI::PadSurface::Hard ? L"hard_mp" : L"soft_mp";
    case detect::DeviceKind::Headset:
        return L"hd";
    }
    return L"unknow";
}

} // namespace

CDeviceOptionUI::CDeviceOptionUI()
{
    SetKind(std::nullopt);
}

void* CDeviceOptionUI::GetInterface(std::wstring_view name)
{
    if (name == L"DeviceOption")
        return this;
    if (name == shell::LiveFrameTile::kInterface)
        return static_cast<shell::LiveFrameTile*>(this);
    return CHorizontalLayoutUI::GetInterface(name);
}

void CDeviceOptionUI::DoInit()
{
    applyImages();
}

const CDeviceOptionUI::Parts& CDeviceOptionUI::parts() const
{
    if (m_partsBound || !m_pManager || GetCount() == 0)
        return m_parts;
    m_partsBound = true;
    auto* self = const_cast<CDeviceOptionUI*>(this);
    m_parts.select = pages::bindControl<COptionUI>(self, L"device_select", L"Option");
    m_parts.synchro = pages::bindControl<COptionUI>(self, L"synchro_device_select", L"Option");
    m_parts.name = pages::bindControl(self, L"device_select_name");
    return m_parts;
}

COptionUI* CDeviceOptionUI::SelectOption()
{
    return parts().select;
}

void CDeviceOptionUI::SetKind(std::optional<detect::DeviceKind> kind, PadSurface surface)
{
    const std::wstring prefix = L"common/device_ico/" + prefixFor(kind, surface);
    m_normalImage = prefix + L"_device_normal.png";
    m_selectedImage = prefix + L"_device_selected.png";
    m_synchroSelectedImage = prefix + L"_device_synchro_selected.png";
    m_synchroNormalImage = prefix + L"_device_synchro_normal.png";
    m_nameTextId = prefixFor(kind, surface) + L"_device_name_text";
    m_headerTextId = prefixFor(kind, surface) + L"_header_text";
    applyImages();
}

void CDeviceOptionUI::applyImages()
{
    COptionUI* option = SelectOption();
    if (!option)
        return;
    const bool synchro = IsSynchro();
    const std::wstring& normal = synchro ? m_synchroNormalImage : m_normalImage;
    const std::wstring& selected = synchro ? m_synchroSelectedImage : m_selectedImage;
    const std::wstring dest = L"' dest='12,12,44,44'";
    option->SetNormalImage(L"file='" + normal + dest);
    option->SetDisabledImage(L"file='" + normal + dest);
    option->SetSelectedImage(L"file='" + selected + dest);
    option->SetToolTip(m_nameTextId);
    option->SetResourceText(true);
}

bool CDeviceOptionUI::IsSynchro() const
{
    COptionUI* option = parts().synchro;
    return option && option->IsSelected();
}

void CDeviceOptionUI::SetSynchro(bool on)
{
    if (COptionUI* option = parts().synchro)
        option->Selected(on, false);
    applyImages();
}

void CDeviceOptionUI::BindDevicePage(std::wstring_view group, std::wstring_view tabLayout,
                                     int index)
{
    COptionUI* option = SelectOption();
    if (!option)
        return;
    option->SetGroup(group);
    option->BindTabLayoutName(tabLayout);
    option->BindTabIndex(index);
}

void CDeviceOptionUI::SetDeviceName(std::wstring_view text)
{
    if (CControlUI* label = parts().name) {
        label->SetResourceText(true);
        label->SetText(text);
    }
}

void CDeviceOptionUI::SetTileVisible(bool visible)
{
    m_tileVisible = visible;
    SetVisible(visible);
}

bool CDeviceOptionUI::IsChosen() const
{
    auto* self = const_cast<CDeviceOptionUI*>(this);
    COptionUI* option = self->SelectOption();
    return option && option->IsSelected();
}

void CDeviceOptionUI::SetChosen(bool chosen, bool notify)
{
    if (COptionUI* option = SelectOption())
        option->Selected(chosen, notify);
}

void CDeviceOptionUI::StartTimer(UINT id, UINT elapse)
{
    if (m_pManager)
        m_pManager->SetTimer(this, id, elapse);
}

int CDeviceOptionUI::tileIndex() const
{
    auto* parent =
        m_pParent ? static_cast<CContainerUI*>(m_pParent->GetInterface(L"Container")) : nullptr;
    return parent ? parent->GetItemIndex(const_cast<CDeviceOptionUI*>(this)) : -1;
}

void CDeviceOptionUI::sendVisibility(bool show)
{
    const int index = tileIndex();
    if (index >= 0 && m_notifyWindow)
        platform::sendMessage(m_notifyWindow, shell::MSG_TILE_VISIBILITY,
                              static_cast<WPARAM>(index), show ? 1 : 0);
}

void CDeviceOptionUI::PaintBkImage(ui::Canvas& canvas)
{
    // The card under the option: lit in the accent colour while the tile is chosen.
    DrawImage(canvas, IsChosen() ? L"common/tile_selected.svg" : L"common/tile_normal.svg");
}

void CDeviceOptionUI::DoEvent(TEventUI& event)
{
    if (event.Type == UIEVENT_TIMER) {
        onTimer(static_cast<UINT>(event.wParam));
        return;
    }
    CHorizontalLayoutUI::DoEvent(event);
}

void CDeviceOptionUI::onTimer(UINT id)
{
    if (!m_pManager)
        return;
    // Each timer runs once per start; the step decides whether it comes again.
    m_pManager->KillTimer(this, id);
    if (!m_device)
        return;
    shell::ShellDevice& device = *m_device;
    switch (id) {
    case shell::kTileLiveFrameTimer:
        showLiveFrame();
        break;
    case shell::kTileLinkCheckTimer:
        if (device.isReceiverMode() && device.isOnline() && !device.IsReceiverLinkUp()) {
            m_retries = (m_retries + 1) % kRetryWrap;
            if (m_tileVisible)
                sendVisibility(false);
            StartTimer(id, kLinkRetry);
            break;
        }
        if (device.isReceiverMode())
            sendVisibility(true);
        device.StartDevice();
        if (m_notifyWindow)
            platform::postMessage(m_notifyWindow, shell::MSG_TILE_STARTED, 0, 0);
        m_retries = 0;
        StartTimer(shell::kTileLiveFrameTimer, kLiveFrameCable);
        if (device.isWireless() && device.isOnline())
            StartTimer(shell::kTilePowerTimer, kPowerFirst);
        if (device.isReceiverMode())
            StartTimer(shell::kTileReceiverWatchTimer, kReceiverWatch);
        break;
    case shell::kTileSyncTimer:
        device.SyncFromDevice();
        break;
    case shell::kTileAfterSyncTimer1:
    case shell::kTileAfterSyncTimer2:
        break;
    case shell::kTilePowerTimer:
        device.RefreshPower();
        if (device.isWireless())
            StartTimer(id, kPowerAgain);
        break;
    case shell::kTileReceiverWatchTimer: {
        const bool up = device.IsReceiverLinkUp();
        if (up && !m_tileVisible) {
            sendVisibility(true);
            if (device.isWireless())
                device.RefreshPower();
        } else if (!up && m_tileVisible) {
            sendVisibility(false);
        }
        if (device.isReceiverMode())
            StartTimer(id, kReceiverWatchAgain);
        break;
    }
    default:
        break;
    }
}

void CDeviceOptionUI::resumeLiveFrames()
{
    if (!m_pManager || !m_device)
        return;
    m_pManager->KillTimer(this, shell::kTileLiveFrameTimer);
    // Frames keep the link's pace: a change sooner than one period after the last frame
    // waits out the rest of it, and that frame carries whatever changed meanwhile.
    const auto period = std::chrono::milliseconds(liveFramePeriod());
    const auto since = std::chrono::steady_clock::now() - m_lastLiveFrame;
    if (since < period) {
        const auto rest = std::chrono::ceil<std::chrono::milliseconds>(period - since);
        StartTimer(shell::kTileLiveFrameTimer,
                   static_cast<UINT>(std::max<long long>(1, rest.count())));
        return;
    }
    showLiveFrame();
}

UINT CDeviceOptionUI::liveFramePeriod() const
{
    return m_device && m_device->isReceiverMode() ? kLiveFrameReceiver : kLiveFrameCable;
}

void CDeviceOptionUI::showLiveFrame()
{
    shell::ShellDevice& device = *m_device;
    // Read before the frame: a change while it is shown counts as not shown yet.
    const std::uint64_t changes = device.lightChanges();
    device.SendLiveFrame();
    m_lastLiveFrame = std::chrono::steady_clock::now();
    if (IsChosen() && device.takeRedraw())
        device.page()->Invalidate();
    if (!device.isOnline())
        return;
    // The timer sleeps until the device wakes the tile with the next change; it comes back
    // at the link's pace only when the colours changed while this frame was made. A timer
    // after every frame sent each step twice.
    if (!device.watchLights(changes))
        StartTimer(shell::kTileLiveFrameTimer, liveFramePeriod());
}

void* CMpDevicePowerUI::GetInterface(std::wstring_view name)
{
    if (name == L"MpDevicePower")
        return this;
    return CHorizontalLayoutUI::GetInterface(name);
}

const CMpDevicePowerUI::Parts& CMpDevicePowerUI::parts()
{
    if (m_partsBound || !m_pManager || GetCount() == 0)
        return m_parts;
    m_partsBound = true;
    m_parts.value = pages::bindControl(this, L"device_power_value");
    m_parts.logo = pages::bindControl(this, L"device_wuxian_logo");
    m_parts.bar = pages::bindControl<CProgressUI>(this, L"device_Power_progress", L"Progress");
    m_parts.status = pages::bindControl(this, L"device_power_status");
    m_parts.phone = pages::bindControl(this, L"device_phone_type");
    return m_parts;
}

void CMpDevicePowerUI::ShowPower(std::span<const std::uint8_t> block)
{
    const auto& [value, logo, bar, status, phone] = parts();
    if (!value || !logo || !bar || !status || !phone)
        return;
    const auto display = app::powerDisplay(block);
    if (!display)
        return;
    // Nothing is shown until the device has told its power.
    logo->SetVisible(true);
    status->SetVisible(true);
    value->SetVisible(true);
    bar->SetVisible(true);
    bar->SetValue(display->progress);
    value->SetResourceText(false);
    value->SetText(display->valueText);
    if (display->progressVisible)
        bar->SetVisible(*display->progressVisible);
    if (display->statusImage)
        status->SetBkImage(*display->statusImage);
}
