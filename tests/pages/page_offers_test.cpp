// What the key, macro, system and DPI pages offer each device family: a control the family
// cannot act on is disabled and its tooltip says why, and gives the skin's tooltip back once
// the device has the part.
#include "device/model/keyboard_model.h"
#include "device/model/light_only_model.h"
#include "device/model/mouse_model.h"
#include "pages/key_set_control_ui.h"
#include "pages/keyboard_system_page.h"
#include "pages/models/page_offers.h"
#include "pages/mouse_dpi_page.h"
#include "platform/debug_output.h"
#include "platform/text.h"
#include "profile/key_codes.h"
#include "ui/button_ui.h"
#include "ui/combo_ui.h"
#include "ui/edit_ui.h"
#include "ui/list_ui.h"
#include "ui/slider_ui.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

using model::Capabilities;
using model::Capability;

namespace {

Capabilities of(model::UsbDeviceModel&& device)
{
    return device.capabilities();
}

const Capabilities kKeyboard = of(model::KeyboardModel());
const Capabilities kMouse = of(model::MouseModel());
const Capabilities kMousePad = of(model::MousePadModel());
const Capabilities kHeadset = of(model::HeadsetModel());

// The reason's text id, or "" where the control is offered.
std::wstring reasonOf(const pages::Offer& offer)
{
    EXPECT_EQ(offer.enabled, offer.reasonId.empty());
    return std::wstring(offer.reasonId);
}

std::string nameOf(CControlUI& control)
{
    return platform::toUtf8(std::wstring(control.GetName()));
}

template <class T> T* add(CContainerUI& page, const std::wstring& name, std::wstring_view tip = {})
{
    auto* control = new T();
    control->SetName(name);
    if (!tip.empty()) {
        control->SetResourceText(true);
        control->SetToolTip(tip);
    }
    page.Add(control);
    return control;
}

} // namespace

TEST(PageOffers, EachFamilyIsOfferedWhatItHasAndToldWhyNotTheRest)
{
    constexpr std::wstring_view none;
    constexpr std::wstring_view noKeyMap = L"offer_no_key_map_tip";
    constexpr std::wstring_view noMacros = L"offer_no_macros_tip";
    constexpr std::wstring_view noSetting = L"offer_no_setting_tip";
    constexpr std::wstring_view noProfile = L"offer_no_profile_tip";
    struct Row {
        const char* family;
        Capabilities device;
        std::wstring_view keys, macroFunction, macroWrite, systemDevice, systemProfile, dpi;
    };
    const Row table[] = {
        {"keyboard", kKeyboard, none, none, none, none, none, none},
        {"mouse", kMouse, none, none, none, none, none, none},
        {"mouse pad", kMousePad, noKeyMap, noKeyMap, noMacros, noSetting, noSetting, noSetting},
        {"headset", kHeadset, noKeyMap, noKeyMap, noMacros, noSetting, noSetting, noSetting},
        {"no parts", Capabilities{}, noProfile, noProfile, noMacros, noProfile, noProfile,
         noProfile},
        // Keys without macros: a key may take any function but a macro.
        {"keys only", Capabilities{Capability::Profile, Capability::KeyMap}, none, noMacros,
         noMacros, noSetting, none, noSetting},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.family);
        const auto keys = pages::keyPageOffers(row.device);
        EXPECT_EQ(reasonOf(keys.keys), row.keys);
        EXPECT_EQ(reasonOf(keys.macro), row.macroFunction);
        EXPECT_EQ(reasonOf(pages::macroPageOffers(row.device).write), row.macroWrite);
        const auto system = pages::systemPageOffers(row.device);
        EXPECT_EQ(reasonOf(system.deviceFields), row.systemDevice);
        EXPECT_EQ(reasonOf(system.profileFields), row.systemProfile);
        EXPECT_EQ(reasonOf(pages::dpiPageOffers(row.device).stages), row.dpi);
    }
}

TEST(PageOffersOnControls, TheSystemPageDisablesWhatThePadLacksAndGivesTheTipBack)
{
    CVerticalLayoutUI page;
    std::vector<CControlUI*> deviceFields;
    for (int i = 0; i < pages::kPollingRateOptions; ++i)
        deviceFields.push_back(add<COptionUI>(page, L"polling_rate_option_" + std::to_wstring(i)));
    auto* winLock = add<COptionUI>(page, L"winlockflag_option", L"win_lock_tip_text");
    deviceFields.push_back(winLock);
    deviceFields.push_back(add<COptionUI>(page, L"wflag_option"));
    deviceFields.push_back(add<COptionUI>(page, L"6flag_option"));
    auto* slider = add<CSliderUI>(page, L"repeat_rate_slider");
    auto* delay = add<COptionUI>(page, L"repeat_delay_check_2");
    pages::KeyboardSystemPage systemPage(&page);

    systemPage.ShowOffers(pages::systemPageOffers(kMousePad));
    for (CControlUI* control : deviceFields)
        EXPECT_FALSE(control->IsEnabled()) << nameOf(*control);
    EXPECT_FALSE(slider->IsEnabled());
    EXPECT_FALSE(delay->IsEnabled());
    // A control whose texts are ids takes the reason's id, any other its words.
    winLock->SetResourceText(false);
    EXPECT_EQ(winLock->GetToolTip(), L"offer_no_setting_tip");
    winLock->SetResourceText(true);
    EXPECT_EQ(slider->GetToolTip(), L"This device does not have this setting.");

    systemPage.ShowOffers(pages::systemPageOffers(kKeyboard));
    for (CControlUI* control : deviceFields)
        EXPECT_TRUE(control->IsEnabled()) << nameOf(*control);
    EXPECT_TRUE(slider->IsEnabled());
    winLock->SetResourceText(false);
    EXPECT_EQ(winLock->GetToolTip(), L"win_lock_tip_text");
    EXPECT_EQ(slider->GetToolTip(), L"");
}

TEST(PageOffersOnControls, TheKeyPageKeepsRefusedButtonsOffWhateverTheEditSays)
{
    CKeySetControlUI page;
    std::vector<CControlUI*> buttons;
    for (const wchar_t* name : {L"key_butt_keydefalut", L"key_butt_keysave", L"key_butt_keycancel"})
        buttons.push_back(add<CButtonUI>(page, name));
    auto* write = add<CButtonUI>(page, L"key_butt_prosave", L"keyset_write_tip_text");
    buttons.push_back(write);
    auto* functions = add<CComboUI>(page, L"keyset_function_combo");
    auto* macroItem = new CListLabelElementUI();
    macroItem->SetUserData(std::to_wstring(static_cast<int>(profile::KeyFunctionCategory::Macro)));
    functions->Add(macroItem);
    page.Bind();

    page.SetOffers(pages::keyPageOffers(kHeadset));
    page.SetDeviceKind(detect::DeviceKind::Mouse);
    page.SetButtonsEnabled(true); // an edit made the page's buttons useful
    for (CControlUI* button : buttons)
        EXPECT_FALSE(button->IsEnabled()) << nameOf(*button);
    EXPECT_FALSE(macroItem->IsEnabled());
    write->SetResourceText(false);
    EXPECT_EQ(write->GetToolTip(), L"offer_no_key_map_tip");
    write->SetResourceText(true);

    // The mouse's own tooltip, set while refused, is the one it shows once offered.
    page.SetOffers(pages::keyPageOffers(kMouse));
    for (CControlUI* button : buttons)
        EXPECT_TRUE(button->IsEnabled()) << nameOf(*button);
    EXPECT_TRUE(macroItem->IsEnabled());
    write->SetResourceText(false);
    EXPECT_EQ(write->GetToolTip(), L"keyset_write_mouse_tip_text");
    page.SetButtonsEnabled(false);
    EXPECT_FALSE(write->IsEnabled());
}

TEST(PageOffersOnControls, RefusedDpiStagesStayOffWhenTheProfileListsThem)
{
    CVerticalLayoutUI page;
    std::vector<CControlUI*> controls;
    for (int i = 0; i < pages::kDpiStageCount; ++i) {
        const std::wstring n = std::to_wstring(i);
        controls.push_back(add<CCheckBoxUI>(page, L"DPI_enable_check_" + n));
        controls.push_back(add<COptionUI>(page, L"DPI_select_check_" + n));
        controls.push_back(add<CSliderUI>(page, L"DPI_slider_" + n));
        controls.push_back(add<CEditUI>(page, L"DPI_edit_" + n));
        controls.push_back(add<CControlUI>(page, L"DPI_color_option_" + n));
    }
    for (int i = 0; i < pages::kReportRateOptions; ++i)
        controls.push_back(add<COptionUI>(page, L"report_rate_option_" + std::to_wstring(i)));
    model::MouseModel mouse;
    for (int i = 0; i < pages::kDpiStageCount; ++i)
        ASSERT_TRUE(mouse.setDpiStage(i, profile::DpiStage{1, 0, 800, 800, 1, 2, 3}));
    pages::MouseDpiControls dpi(&page);

    dpi.showOffers(pages::dpiPageOffers(kMousePad));
    dpi.show(pages::MouseDpiModel(mouse));
    for (CControlUI* control : controls)
        EXPECT_FALSE(control->IsEnabled()) << nameOf(*control);

    dpi.showOffers(pages::dpiPageOffers(kMouse));
    dpi.show(pages::MouseDpiModel(mouse));
    for (CControlUI* control : controls)
        EXPECT_TRUE(control->IsEnabled()) << nameOf(*control);
}

TEST(PageOffersOnControls, APageWhoseSkinLacksAControlSaysWhichAndStillWorks)
{
    platform::clearDebugLines();
    CVerticalLayoutUI page;
    auto* polling = add<COptionUI>(page, L"polling_rate_option_1");
    pages::KeyboardSystemPage systemPage(&page);
    EXPECT_TRUE(platform::debugLinesContain(L"winlockflag_option"));
    systemPage.ShowOffers(pages::systemPageOffers(kKeyboard));
    systemPage.Show(profile::KeyboardSystemStages{});
    systemPage.SetPollingRate(1);
    EXPECT_TRUE(polling->IsSelected());
    EXPECT_FALSE(systemPage.GetWinLock());
}
