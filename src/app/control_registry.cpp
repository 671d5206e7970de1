#include "app/control_registry.h"
#include "pages/device_profile_ui.h"
#include "pages/key_set_control_ui.h"
#include "pages/light_control_ui.h"
#include "pages/macro_control_ui.h"

#include "app/device_option_ui.h"
#include "pages/custom_controls.h"
#include "pages/devices/device_key_button_ui.h"
#include "pages/devices/tessary_usb_device.h"
#include "ui/control_factory.h"

namespace app {
namespace {

template <class T> CControlUI* create()
{
    return new T();
}

// Classes whose Parts come later are placeholders answering the class name their users
// look for; each is replaced here when its Part lands.
CControlUI* createUpdateItem()
{
    return new PlaceholderLayoutUI(L"UpdateInfoListItemUI");
}
CControlUI* createLightPage()
{
    return new CLightControlUI();
}
CControlUI* createMacroPage()
{
    return new CMacroControlUI();
}
CControlUI* createKeySetPage()
{
    return new CKeySetControlUI();
}
CControlUI* createProfilePanel()
{
    return new CDeviceProfileUI();
}
CControlUI* createShootPage()
{
    return new PlaceholderLayoutUI(L"ShootControl");
}
CControlUI* createMagicPage()
{
    return new PlaceholderLayoutUI(L"MagicControl");
}
CControlUI* createVoicePage()
{
    return new PlaceholderLayoutUI(L"Voice6533Control");
}
CControlUI* createMousePad()
{
    return new PlaceholderLayoutUI(L"TessaryMousePadDevice");
}
CControlUI* createHeadset()
{
    return new PlaceholderLayoutUI(L"TessaryHS6533Device");
}

constexpr std::array<CreateClass, kControlClassNames.size()> kCreators{
    create<CCircleProgressUI>,
    create<CChartViewUI>,
    create<CWndUI>,
    create<CSelectPanelUI>,
    create<CDeviceKeyButtonUI>,
    create<CCloudShareListItemUI>,
    createUpdateItem,
    create<CDeviceOptionUI>,
    create<CMpDevicePowerUI>,
    create<CComboEditContainerElementUI>,
    create<CHandImgButtonUI>,
    create<CHandImgSelectButtonUI>,
    create<CRedioMacroButtonUI>,
    create<CAudioRecordUI>,
    createLightPage,
    createMacroPage,
    createKeySetPage,
    createProfilePanel,
    createShootPage,
    createMagicPage,
    createVoicePage,
    create<CTessaryUSBDevice>,
    createMousePad,
    createHeadset,
};

} // namespace

void registerControlClasses()
{
    auto* factory = CControlFactory::GetInstance();
    for (std::size_t i = 0; i < kControlClassNames.size(); ++i)
        factory->RegistControl(kControlClassNames[i], kCreators[i]);
}

} // namespace app
