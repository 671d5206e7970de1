#include "pages/devices/tessary_usb_device.h"

#include "pages/control_binding.h"
#include "pages/device_profile_ui.h"
#include "pages/devices/build_picture.h"
#include "pages/devices/device_key_button_ui.h"
#include "pages/key_set_control_ui.h"
#include "pages/light_control_ui.h"
#include "pages/light_page_binding.h"
#include "platform/debug_output.h"
#include "shell/live_frame_tile.h"
#include "shell/main_messages.h"
#include "ui/button_ui.h"
#include "ui/paint_manager_ui.h"

namespace {

// The picture panel of the base device: its first child of class "SelectPanel".
CControlUI* findSelectPanel(CContainerUI& device)
{
    for (int i = 0; i < device.GetCount(); ++i) {
        CControlUI* child = device.GetItemAt(i);
        if (child != nullptr && std::wstring_view(child->GetClass()) == L"SelectPanel")
            return child;
    }
    return nullptr;
}

void selectTab(CControlUI* control, int index)
{
    if (auto* tabs =
            control ? static_cast<CTabLayoutUI*>(control->GetInterface(L"TabLayout")) : nullptr)
        tabs->SelectItem(index);
}

} // namespace

CTessaryUSBDevice::CTessaryUSBDevice()
    : CTessaryUSBDevice(std::make_unique<model::UsbDeviceModel>())
{
}

CTessaryUSBDevice::CTessaryUSBDevice(std::unique_ptr<model::UsbDeviceModel> model)
    : m_model(std::move(model))
{
    m_noticeQueue = &platform::MessageQueue::current();
    m_noticeWindow =
        m_noticeQueue->createWindow([this](HWND, UINT message, WPARAM wParam, LPARAM) -> LRESULT {
            if (message == kDeviceNoticeMessage) {
                (void)m_model->handleDeviceNotices();
            } else if (message == WM_TIMER && wParam == kSyncTimer) {
                platform::killTimer(m_noticeWindow, kSyncTimer);
                m_model->SyncFromDevice();
            } else if (message == kLightsChangedMessage && m_tile) {
                if (auto* tile = static_cast<shell::LiveFrameTile*>(
                        m_tile->GetInterface(shell::LiveFrameTile::kInterface)))
                    tile->resumeLiveFrames();
            }
            return 0;
        });
    m_model->setView(this);
}

CTessaryUSBDevice::~CTessaryUSBDevice()
{
    // No listener posts to this control once the view is taken away; what was posted
    // before is dropped with the window.
    m_model->setView(nullptr);
    m_noticeQueue->destroyWindow(m_noticeWindow);
}

bool CTessaryUSBDevice::postDeviceNotices()
{
    return platform::postMessage(m_noticeWindow, kDeviceNoticeMessage, 0, 0);
}

void CTessaryUSBDevice::lightsChanged()
{
    // Fails only once the control is going, when no tile needs waking.
    (void)platform::postMessage(m_noticeWindow, kLightsChangedMessage, 0, 0);
}

bool CTessaryUSBDevice::startSyncTimer()
{
    return platform::setTimer(m_noticeWindow, kSyncTimer, kSyncDelay);
}

void CTessaryUSBDevice::refreshPages()
{
    pages::refreshLightPage(*this);
}

bool CTessaryUSBDevice::isCustomGroupSelected() const
{
    // The page is a child control; asking it changes nothing of this device.
    return pages::isCustomGroupSelected(const_cast<CTessaryUSBDevice&>(*this));
}

void CTessaryUSBDevice::readBackNotSaved()
{
    m_pending.saveFailed();
    // Nothing routed through the window caused this: tell it to show the marker. The post
    // fails only while the window goes, when there is nothing to show.
    if (m_pManager != nullptr)
        (void)platform::postMessage(m_pManager->GetPaintWindow(), shell::MSG_PENDING_CHANGED, 0, 0);
}

void* CTessaryUSBDevice::GetInterface(std::wstring_view name)
{
    if (name == L"TessaryUSBDevice")
        return this;
    return CHorizontalLayoutUI::GetInterface(name);
}

void CTessaryUSBDevice::Notify(TNotifyUI& msg)
{
    (void)NotifyPump(msg);
}

void CTessaryUSBDevice::BuildPicture()
{
    if (m_model->descriptionFile().empty()) {
        m_model->setKeyCount(0);
        m_model->setLightCount(0);
        m_keyButtons.clear();
        m_lightButtons.clear();
        return;
    }
    m_picturePanel = findSelectPanel(*this);
    mapButtons(m_picturePanel);
}

void CTessaryUSBDevice::mapButtons(CControlUI* panel)
{
    const bool keyboardNames = std::wstring_view(GetClass()) == L"TessaryKeyboardDevice";
    pages::PictureButtons buttons = pages::mapPictureButtons(
        panel, m_model->keyCount(), m_model->lightCount(),
        keyboardNames ? pages::LightNames::NameOrUserData : pages::LightNames::UserData);
    m_keyButtons = std::move(buttons.keys);
    m_lightButtons = std::move(buttons.lights);
}

CDeviceKeyButtonUI* CTessaryUSBDevice::keyButton(int key) const
{
    return key >= 0 && std::size_t(key) < m_keyButtons.size() ? m_keyButtons[std::size_t(key)]
                                                              : nullptr;
}

CDeviceKeyButtonUI* CTessaryUSBDevice::lightButton(int light) const
{
    return light >= 0 && std::size_t(light) < m_lightButtons.size()
               ? m_lightButtons[std::size_t(light)]
               : nullptr;
}

void CTessaryUSBDevice::SetFunctionTab(int type)
{
    m_model->SetFunctionTab(type);
    // Every device page has switches of these names: take this device's own.
    if (m_pManager != nullptr) {
        if (m_functionSwitch == nullptr)
            m_functionSwitch = m_pManager->FindSubControlByName(this, L"device_function_switch");
        if (m_keyFunctionSwitch == nullptr)
            m_keyFunctionSwitch =
                m_pManager->FindSubControlByName(this, L"device_key_function_switch");
    }
    const bool hasPowerPage = m_model->typeId() == detect::DeviceTypeId::KeyboardCable ||
                              m_model->typeId() == detect::DeviceTypeId::MouseCable;
    if (type == 4 && !hasPowerPage)
        type = 7;
    switch (type) {
    case 2:
    case 6:
        selectTab(m_functionSwitch, 0);
        selectTab(m_keyFunctionSwitch, 1);
        break;
    case 3:
    case 8:
        selectTab(m_functionSwitch, 1);
        break;
    case 4:
        selectTab(m_functionSwitch, 3);
        break;
    case 7:
        selectTab(m_functionSwitch, 0);
        selectTab(m_keyFunctionSwitch, 2);
        break;
    case 5:
        selectTab(m_functionSwitch, 2);
        break;
    default:
        selectTab(m_functionSwitch, 0);
        selectTab(m_keyFunctionSwitch, 0);
        break;
    }
}

void CTessaryUSBDevice::openKeyPage()
{
    SetFunctionTab(2);
    if (auto* tab =
            pages::bindOnce(this, m_bound.keyTabBound, m_bound.keyTab, L"key_Op_tab", L"Option"))
        tab->Selected(true, false);
}

CLightControlUI* CTessaryUSBDevice::lightPage()
{
    return pages::bindOnce(this, m_bound.lightBound, m_bound.lightPage, L"LightControlItem",
                           L"LightControl");
}

CDeviceProfileUI* CTessaryUSBDevice::profilePanel()
{
    return pages::bindOnce(this, m_bound.profileBound, m_bound.profilePanel, L"DeviceProfileItem",
                           L"DeviceProfile");
}

CKeySetControlUI* CTessaryUSBDevice::keySetPage()
{
    return pages::bindOnce(this, m_bound.keySetBound, m_bound.keySetPage, L"KeySetControlItem",
                           L"KeySetControl");
}

void CTessaryUSBDevice::showLight(std::size_t light, std::uint32_t pictureColour,
                                  std::uint8_t brightness)
{
    CDeviceKeyButtonUI* button = lightButton(int(light));
    if (button != nullptr && button->IsVisible())
        button->setLightOverlay(pictureColour, brightness, true);
}

void CTessaryUSBDevice::StartDevice()
{
    if (m_pending.isUnsaved()) {
        // The edits live only in memory: reading the profile file would drop them.
        const model::ApplyReport report = writeFromMemory();
        m_pending.rewritten(report, pages::WrittenFrom::Memory);
        if (const model::StepReport* failed = report.firstFailure())
            platform::debugOutput("device start: " + failed->name + ": " +
                                  protocol::describe(failed->status));
        return;
    }
    if (m_pending.isUnwritten()) {
        // Reading the device's state first would overwrite the change waiting for it.
        const model::ApplyReport report = ReapplyProfile();
        if (const model::StepReport* failed = report.firstFailure())
            platform::debugOutput("device start: " + failed->name + ": " +
                                  protocol::describe(failed->status));
        return;
    }
    if (const protocol::Status status = m_model->StartDevice(); status != protocol::Status::Ok)
        platform::debugOutput("device start: " + protocol::describe(status));
}

model::ApplyReport CTessaryUSBDevice::ReapplyProfile()
{
    model::ApplyReport report = model::reapplyOnAttach(*m_model);
    m_pending.rewritten(report);
    return report;
}

model::ApplyReport CTessaryUSBDevice::writeFromMemory()
{
    model::ApplyReport report;
    if (const model::WholeWriteHold hold(*m_model); !hold.isHeld()) {
        report.steps.push_back(hold.refusal());
    } else {
        model::StepReport read;
        read.name = "full read";
        read.status = m_model->ReadDevice();
        report.steps.push_back(read);
        if (read.status == protocol::Status::Ok) {
            model::ApplyReport written = model::applyProfile(*m_model);
            for (model::StepReport& step : written.steps)
                report.steps.push_back(std::move(step));
        }
    }
    m_model->RefreshView();
    m_model->StartLighting();
    return report;
}

model::ApplyReport CTessaryUSBDevice::ReapplyAfterResume()
{
    if (m_pending.isUnsaved()) {
        const model::ApplyReport report = writeFromMemory();
        m_pending.rewrittenAfterResume(report, pages::WrittenFrom::Memory);
        return report;
    }
    model::ApplyReport report = model::reapplyOnAttach(*m_model);
    m_pending.rewrittenAfterResume(report);
    return report;
}
