#include "pages/light_page_binding.h"

#include "device/model/keyboard_model.h"
#include "pages/devices/tessary_usb_device.h"
#include "pages/light_control_ui.h"

namespace pages {
CLightControlUI* lightPageOf(CControlUI* devicePage)
{
    auto* device =
        devicePage ? static_cast<CTessaryUSBDevice*>(devicePage->GetInterface(L"TessaryUSBDevice"))
                   : nullptr;
    return device ? device->lightPage() : nullptr;
}

void refreshLightPage(CTessaryUSBDevice& device)
{
    CLightControlUI* page = device.lightPage();
    if (!page)
        return;
    model::UsbDeviceModel& model = device.model();
    page->SetCapabilities(model.capabilities());
    page->SetDeviceKind(model.GetKind());
    const profile::LightPresets& presets = model.presets();
    // A device with its own effect names shows those, over the shared effect codes.
    const std::vector<std::wstring>& own = page->OwnEffectNames();
    std::vector<std::int32_t> ownShown;
    for (const std::wstring& name : own)
        ownShown.push_back(name.empty() ? 0 : 1);
    const auto& names = own.empty() ? presets.effectNames : own;
    const auto& visible = own.empty() ? presets.effectVisible : ownShown;
    if (!names.empty() && page->ModeCount() != static_cast<int>(names.size()))
        page->InitModes(names, visible, kMaxLightLevel, kMaxLightLevel);
    if (auto* keyboard = dynamic_cast<model::KeyboardModel*>(&model))
        page->SetCustomGroup(keyboard->profile().LoadCustomGroup());
    page->SetLightInfo(model.GetLightSettings());
    page->SetAudioLightInfo(model.audioParams());
}

void showLightSettings(CTessaryUSBDevice& device, const profile::LightInfo& settings)
{
    if (CLightControlUI* page = device.lightPage())
        page->SetLightInfo(settings);
}

void showLightMode(CTessaryUSBDevice& device, int mode)
{
    if (CLightControlUI* page = device.lightPage())
        page->SelectMode(mode);
}

bool isCustomGroupSelected(CTessaryUSBDevice& device)
{
    CLightControlUI* page = device.lightPage();
    return page && page->GetCustomGroup() >= 0;
}

} // namespace pages
