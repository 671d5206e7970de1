// The main window's device objects and tiles: creation, the watcher's reports, the tile
// messages and the choice of the active device.
#include "app/device_option_ui.h"
#include "app/main_wnd.h"
#include "app/message_checks.h"
#include "app/usb_device_shell.h"
#include "app/watcher_sink.h"
#include "pages/devices/tessary_usb_device.h"
#include "platform/debug_output.h"
#include "shell/main_messages.h"
#include "ui/button_ui.h"
#include "ui/dialog_builder.h"
#include "ui/paint_manager_ui.h"

#include <memory>

namespace app {
namespace {

constexpr std::wstring_view kPowerTileFile = L"XML\\CustomControlXML\\MpDevicePower.xml";
constexpr UINT kRefreshDelay = 500;
constexpr UINT kReceiverWatchDelay = 2000;

CContainerUI* containerNamed(CPaintManagerUI& pm, std::wstring_view name)
{
    CControlUI* control = pm.FindControl(name);
    return control ? static_cast<CContainerUI*>(control->GetInterface(L"Container")) : nullptr;
}

CTabLayoutUI* tabNamed(CPaintManagerUI& pm, std::wstring_view name)
{
    CControlUI* control = pm.FindControl(name);
    return control ? static_cast<CTabLayoutUI*>(control->GetInterface(L"TabLayout")) : nullptr;
}

} // namespace

CDeviceOptionUI* CMainWnd::tileControl(std::size_t index) const
{
    return index < m_tileControls.size() ? m_tileControls[index] : nullptr;
}

shell::ShellDevice* CMainWnd::deviceAt(std::size_t index) const
{
    return index < m_devices.size() ? m_devices[index] : nullptr;
}

shell::ShellDevice* CMainWnd::activeDevice() const
{
    const auto tile = m_tiles.activeTile();
    return tile ? deviceAt(*tile) : nullptr;
}

shell::ShellDevice* CMainWnd::deviceForType(std::size_t typeIndex) const
{
    const auto found = m_deviceByType.find(typeIndex);
    return found == m_deviceByType.end() ? nullptr : found->second;
}

std::optional<std::size_t> CMainWnd::indexOfDevice(const detect::LinkedDevice& device) const
{
    for (std::size_t i = 0; i < m_devices.size(); ++i) {
        if (&m_devices[i]->link() == &device)
            return i;
    }
    return std::nullopt;
}

void CMainWnd::createDevice(std::size_t row, std::size_t typeIndex)
{
    const auto& type = detect::deviceTypes().at(typeIndex);
    const auto& description =
        detect::deviceDescriptions().at(static_cast<std::size_t>(type.descriptionRow));
    CContainerUI* powerSwitch = containerNamed(m_pm, type.powerSwitchName);
    CContainerUI* deviceSwitch = containerNamed(m_pm, L"device_switch");
    CContainerUI* tileList = containerNamed(m_pm, L"device_select_layout");
    if (!powerSwitch || !deviceSwitch || !tileList) {
        platform::debugOutput(L"main skin lacks the device containers; no device object");
        return;
    }

    std::unique_ptr<CControlUI> power(
        CDialogBuilder().Create(kPowerTileFile, nullptr, this, &m_pm));
    std::unique_ptr<CControlUI> device(
        CDialogBuilder().Create(description.descriptionFile, nullptr, this, &m_pm));
    std::unique_ptr<CControlUI> tile(
        CDialogBuilder().Create(type.tileDescriptionFile, nullptr, this, &m_pm));
    auto* powerTile =
        power ? static_cast<CMpDevicePowerUI*>(power->GetInterface(L"MpDevicePower")) : nullptr;
    auto* usbDevice =
        device ? static_cast<CTessaryUSBDevice*>(device->GetInterface(L"TessaryUSBDevice"))
               : nullptr;
    auto* tileControl =
        tile ? static_cast<CDeviceOptionUI*>(tile->GetInterface(L"DeviceOption")) : nullptr;
    if (!powerTile || !usbDevice || !tileControl) {
        platform::debugOutput(std::wstring(L"device object not created: a skin file of ") +
                              std::wstring(type.typeWord) + L" did not build");
        return;
    }

    m_shells.push_back(std::make_unique<UsbDeviceShell>(*usbDevice));
    shell::ShellDevice* shell = m_shells.back().get();
    powerSwitch->Add(power.release());
    powerTile->SetDevice(type.kindValue);
    m_powerTiles.push_back(powerTile);

    // The command row of the kind stands for the device, whichever row arrived first.
    detect::SupportedInterface identity = m_table.row(row);
    const auto rows = m_table.rows();
    for (const auto& r : rows) {
        if (r.vendorId == type.vendorId && r.productId == type.productId &&
            r.typeId == type.typeId && r.role == type.role) {
            identity = r;
            break;
        }
    }
    shell::DeviceSetup setup;
    setup.descriptionFile = description.descriptionFile;
    setup.folderName = type.typeWord;
    setup.lightPresetName = description.lightPresetName;
    setup.keyCount = description.keyCount;
    setup.lightCount = description.lightCount;
    // The headset's number is never set.
    setup.deviceNumber =
        type.typeId == detect::DeviceTypeId::Headset ? -1 : static_cast<int>(typeIndex);
    setup.wireless = description.wireless;
    if (type.typeId == detect::DeviceTypeId::MouseCable)
        setup.mouseExtra = description.reserved;
    setup.kind = type.kindValue;
    setup.identity = identity;
    setup.notifyWindow = m_hWnd;
    // In the tree first: the picture is found by name.
    deviceSwitch->Add(device.release());
    shell->setUp(setup, m_pm, powerTile);
    shell->BuildPicture();
    if (auto profile = m_pageHandlers.find(shell::RouteOwner::Profile);
        profile != m_pageHandlers.end())
        profile->second(shell::Route{shell::RouteOwner::Profile, L"device_profile_init",
                                     shell::DeviceNeed::Any},
                        nullptr, shell);

    if (const auto kind = DeviceLists::kindOf(type.typeId)) {
        m_lists.add(*kind, shell);
        addLightingDevice(*kind, *shell);
    }

    tileList->Add(tile.release());
    tileControl->SetSynchro(false);
    tileControl->BindDevicePage(type.tabHeaderName, L"device_switch", deviceSwitch->GetCount() - 1);
    tileControl->SetPowerPage(type.powerSwitchName, powerSwitch->GetCount() - 1);
    tileControl->SetKind(type.kindValue);
    tileControl->SetTileVisible(false);
    tileControl->SetDeviceName(type.typeWord);
    tileControl->SetDevice(shell);
    tileControl->SetNotifyWindow(m_hWnd);
    shell->setTile(tileControl);

    m_devices.push_back(shell);
    m_tileControls.push_back(tileControl);
    m_tiles.add();
    m_deviceByType[typeIndex] = shell;
}

std::vector<detect::LinkedDevice*> CMainWnd::devices()
{
    std::vector<detect::LinkedDevice*> result;
    result.reserve(m_devices.size());
    for (shell::ShellDevice* device : m_devices)
        result.push_back(&device->link());
    return result;
}

void CMainWnd::ensureDevice(std::size_t row)
{
    const detect::DeviceType* type = detect::deviceTypeForRow(row);
    if (!type)
        return;
    const auto typeIndex = static_cast<std::size_t>(type - detect::deviceTypes().data());
    if (!deviceForType(typeIndex))
        createDevice(row, typeIndex);
}

void CMainWnd::onInterfaceMessage(bool arrived, WPARAM wParam, LPARAM lParam)
{
    // The watcher waits for this message; it is released whatever happens below.
    struct Release {
        MainWatcherSink* sink;
        LPARAM ticket;
        ~Release()
        {
            if (sink)
                sink->complete(ticket);
        }
    } release{m_sink.get(), lParam};

    if (m_shuttingDown)
        return;
    const auto row = rowFromMessage(wParam, m_table.size());
    if (!row) {
        platform::debugOutput(L"device message with an unknown row ignored");
        return;
    }
    if (arrived)
        m_links.arrival(*row);
    else
        m_links.removal(*row);
}

void CMainWnd::channelOpened(detect::LinkedDevice& device, bool onCable)
{
    const auto index = indexOfDevice(device);
    if (!index)
        return;
    if (onCable) {
        // Shown, and chosen when no other device is.
        const auto result = m_tiles.applyVisibility(*index, true);
        if (result)
            applyOutcome(result->outcome);
    }
    m_tileControls[*index]->StartTimer(shell::kTileLinkCheckTimer, kRefreshDelay);
}

void CMainWnd::channelClosed(detect::LinkedDevice& device)
{
    if (const auto index = indexOfDevice(device))
        applyTileMessage(*index, 0);
}

void CMainWnd::switchedLink(detect::LinkedDevice& device, bool toReceiver)
{
    const auto index = indexOfDevice(device);
    if (!index)
        return;
    CDeviceOptionUI* tile = m_tileControls[*index];
    if (toReceiver) {
        tile->StartTimer(shell::kTileReceiverWatchTimer, kReceiverWatchDelay);
        return;
    }
    tile->StartTimer(shell::kTileLinkCheckTimer, kRefreshDelay);
    const int number = m_devices[*index]->deviceNumber();
    if (number >= 0)
        applyTileMessage(static_cast<WPARAM>(number), 1);
}

void CMainWnd::applyTileMessage(WPARAM index, LPARAM show)
{
    if (index >= m_tiles.size())
        return;
    const std::size_t tile = static_cast<std::size_t>(index);
    if (show == 0 && m_tiles.tile(tile).visible && m_tiles.tile(tile).selected) {
        closeChildWindows();
        if (isHookInstalled()) {
            hookControl(0);
            if (auto handler = m_pageHandlers.find(shell::RouteOwner::Macros);
                handler != m_pageHandlers.end())
                handler->second(shell::Route{shell::RouteOwner::Macros, L"macro_btn_stopredio",
                                             shell::DeviceNeed::KeyboardOrMouse},
                                nullptr, activeDevice());
        }
    }
    const auto result = m_tiles.applyVisibility(tile, show != 0);
    if (result)
        applyOutcome(result->outcome);
}

void CMainWnd::showTile(std::size_t index, bool visible, bool select)
{
    applyOutcome(m_tiles.show(index, visible, select));
}

void CMainWnd::applyOutcome(const TileBoard::Outcome& outcome)
{
    for (std::size_t i = 0; i < m_tileControls.size(); ++i) {
        const auto& state = m_tiles.tile(i);
        CDeviceOptionUI* control = m_tileControls[i];
        control->SetTileVisible(state.visible);
        if (control->IsChosen() != state.selected)
            control->SetChosen(state.selected, false);
        if (outcome.synchroCleared)
            control->SetSynchro(false);
    }
    if (CControlUI* notice = parts().noDevice)
        notice->SetVisible(outcome.noDevice);
    if (outcome.noDevice) {
        if (CTabLayoutUI* power = tabNamed(m_pm, L"device_power_switch"))
            power->SelectItem(0);
        if (CTabLayoutUI* pages = tabNamed(m_pm, L"device_switch"))
            pages->SelectItem(0);
    }
    if (outcome.selectedTile)
        showDevicePages(*outcome.selectedTile);
    showHeader();
    setMultiDevice(outcome.multiDevice);
    // A device that went away with edits pending keeps them, and the status bar says so.
    showPendingState();
}

void CMainWnd::showDevicePages(std::size_t index)
{
    CDeviceOptionUI* tile = tileControl(index);
    if (!tile)
        return;
    if (COptionUI* option = tile->SelectOption())
        option->BindTriggerTabSel();
    CControlUI* pageHolder = m_pm.FindControl(tile->GetPageName());
    if (!pageHolder)
        return;
    if (tile->GetPageIndex() < 0) {
        pageHolder->SetVisible(false);
        return;
    }
    pageHolder->SetVisible(true);
    if (auto* tab = static_cast<CTabLayoutUI*>(pageHolder->GetInterface(L"TabLayout")))
        tab->SelectItem(tile->GetPageIndex());
}

void CMainWnd::showHeader()
{
    CControlUI* header = parts().headerModel;
    if (!header)
        return;
    const auto shown = m_tiles.activeTile();
    const CDeviceOptionUI* tile = shown ? tileControl(*shown) : nullptr;
    header->SetText(tile ? tile->HeaderTextId() : std::wstring(L"app_title_text"));
}

bool CMainWnd::mayLeaveActiveDevice(std::size_t target)
{
    const auto current = m_tiles.activeTile();
    if (!current || *current == target)
        return true;
    shell::ShellDevice* device = deviceAt(*current);
    return !device || settlePending(*device);
}

void CMainWnd::selectDeviceFromTiles()
{
    for (std::size_t i = 0; i < m_tileControls.size(); ++i) {
        if (!m_tileControls[i]->IsChosen())
            continue;
        if (!mayLeaveActiveDevice(i)) {
            // Cancelled: the tile of the device still shown is the chosen one again.
            m_tileControls[i]->SetChosen(false, false);
            if (const auto current = m_tiles.activeTile())
                m_tileControls[*current]->SetChosen(true, false);
            break;
        }
        m_tiles.choose(i);
        if (m_tiles.tile(i).visible)
            showDevicePages(i);
        showHeader();
        break;
    }
    for (std::size_t i = 0; i < m_tileControls.size(); ++i)
        m_tiles.setSynchro(i, m_tileControls[i]->IsSynchro());
}

} // namespace app
