#pragma once

#include <array>
#include <string_view>

namespace app {

// The application's control classes, by the names skins use, in registration order.
inline constexpr std::array<std::wstring_view, 24> kControlClassNames{
    L"CCircleProgressUI",
    L"CChartViewUI",
    L"CWndUI",
    L"CSelectPanelUI",
    L"CDeviceKeyButtonUI",
    L"CCloudShareListItemUI",
    L"CUpdateInfoListItemUI",
    L"CDeviceOptionUI",
    L"CMpDevicePowerUI",
    L"CComboEditContainerElementUI",
    L"CHandImgButtonUI",
    L"CHandImgSelectButtonUI",
    L"CRedioMacroButtonUI",
    L"CAudioRecordUI",
    L"CLightControlUI",
    L"CMacroControlUI",
    L"CKeySetControlUI",
    L"CDeviceProfileUI",
    L"CShootControlUI",
    L"CMagicControlUI",
    L"CVoice6533ControlUI",
    L"CTessaryUSBDevice",
    L"CTessaryMousePadDevice",
    L"CTessaryHS6533Device"};

// Registers the 24 classes with the control factory, exactly as named.
void registerControlClasses();

} // namespace app
