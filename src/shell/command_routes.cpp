#include "shell/command_routes.h"

#include "shell/indexed_name.h"

#include <algorithm>
#include <array>
#include <cwctype>
#include <span>

namespace shell {
namespace {

using O = RouteOwner;
using D = DeviceNeed;

// Rows that share an owner and a device need, their control names separated by blanks.
struct Group {
    RouteOwner owner;
    DeviceNeed need;
    std::wstring_view names;
    bool exact = false; // compared case-sensitively
};

// Calls `match` with each name of the groups, in order, until it answers true.
template <typename Match>
std::optional<Route> findInGroups(std::span<const Group> groups, Match match)
{
    for (const auto& group : groups) {
        for (std::size_t start = 0; start < group.names.size();) {
            const auto end = std::min(group.names.find(L' ', start), group.names.size());
            const std::wstring_view name = group.names.substr(start, end - start);
            if (match(group, name))
                return Route{group.owner, name, group.need};
            start = end + 1;
        }
    }
    return std::nullopt;
}

std::optional<Route> findNamed(std::span<const Group> groups, std::wstring_view name)
{
    return findInGroups(groups, [&](const Group& group, std::wstring_view candidate) {
        return group.exact ? candidate == name : equalsNoCase(candidate, name);
    });
}

std::optional<Route> findNumbered(std::span<const Group> groups, std::wstring_view name)
{
    const auto split = splitIndexedName(name);
    if (!split)
        return std::nullopt;
    auto route = findInGroups(groups, [&](const Group&, std::wstring_view prefix) {
        return equalsNoCase(prefix, split->prefix);
    });
    if (route)
        route->number = split->number;
    return route;
}

constexpr Group kClickFirst[] = {
    {O::Window, D::None,
     L"closebtn nodevice_ok_btn nodevice_plug_btn pending_commit_btn control_light_status minbtn "
     L"maxbtn restorebtn skinbtn setbtn"},
};

constexpr Group kClickNumbered[] = {
    {O::Keys, D::KeyboardOrMouse, L"key_"},     {O::Lighting, D::Any, L"color_option_"},
    {O::Audio, D::Any, L"audiocolor_option_"},  {O::Window, D::None, L"windowdeviceset_"},
    {O::Mouse, D::Mouse, L"DPI_color_option_"},
};

constexpr Group kClickNamed[] = {
    {O::Device, D::Any, L"default_btn"},
    {O::System, D::Keyboard, L"reset_repeat_btn"},
    {O::Profile, D::Any,
     L"device_add_btn device_sub_btn device_export_btn device_import_btn device_copy_btn "
     L"device_reset_btn device_profile_edit_save_btn"},
    {O::Keys, D::KeyboardOrMouse,
     L"key_butt_keysave key_butt_keydefalut key_butt_keycancel key_butt_prosave"},
    {O::Macros, D::KeyboardOrMouse,
     L"macro_btn_starredio macro_btn_stopredio macro_btn_name_add macro_btn_name_sub "
     L"macro_btn_name_edit macro_btn_save macro_btn_cancel"},
    {O::Window, D::KeyboardOrMouse, L"macro_btn_export macro_btn_import"},
    {O::Macros, D::KeyboardOrMouse,
     L"macro_btn_up macro_btn_down macro_btn_uptop macro_btn_downbottom macro_btn_delete "
     L"macro_btn_deleteall"},
    {O::Mouse, D::Mouse, L"shootdate_save_btn shootdate_reset_btn"},
    {O::Window, D::Mouse, L"shootdate_import_btn shootdate_export_btn"},
    {O::Mouse, D::Mouse, L"bullet_selected_prev bullet_selected_next"},
    {O::Lighting, D::Keyboard, L"custom_bright_color_btn custom_off_color_btn"},
    {O::Lighting, D::Any, L"deng_same_mode"},
    {O::Headset, D::Headset, L"hs_EQ_btn_save hs_EQ_btn_delete"},
    {O::Profile, D::Any, L"profile_fun_spread_btn", true},
    {O::Macros, D::KeyboardOrMouse,
     L"macro_inset_moveleftkey_btn macro_inset_moverightkey_btn macro_inset_moveupkey_btn "
     L"macro_inset_movedownkey_btn",
     true},
    {O::Window, D::None, L"device_select_prev device_select_next"},
    {O::Audio, D::None, L"Close_bkColor_btn music_setting_btn"},
    // The colour buttons open the colour window.
    {O::Lighting, D::Any, L"deng_colordp_btn"},
    {O::Audio, D::Any, L"deng_audiocolordp_btn"},
};

constexpr Group kItemSelect[] = {
    {O::Profile, D::Any, L"device_profile_combo"},
    {O::Lighting, D::Any, L"light_combo_modeSelect light_combo_custommodeSelect"},
    {O::Keys, D::KeyboardOrMouse, L"keyset_function_combo keyset_macro_over_combo"},
    {O::Macros, D::KeyboardOrMouse, L"macro_name_list"},
    {O::Headset, D::Headset, L"custom_eq_name_combo"},
    {O::Lighting, D::Any, L"light_combo_ZZCCmodeSelect"},
    {O::Audio, D::Any, L"light_combo_audiomodeSelect"},
};

// A choice in these applies the key assignment at once.
constexpr std::array<std::wstring_view, 11> kKeySaveCombos{
    L"keyset_function_combo",   L"keyset_mousekey_combo", L"keyset_mouseswing_combo",
    L"keyset_mousewheel_combo", L"keyset_mousedpi_combo", L"keyset_media_combo",
    L"keyset_system_combo",     L"keyset_macro_combo",    L"keyset_macro_over_combo",
    L"keyset_gunkey_combo",     L"keyset_combokey_combo"};

constexpr Group kSelectNumbered[] = {
    {O::Mouse, D::Mouse, L"DPI_enable_check_ DPI_select_check_ report_rate_option_"},
    {O::System, D::KeyboardOrMouse, L"polling_rate_option_"},
    {O::System, D::Keyboard, L"repeat_delay_check_"},
    {O::Mouse, D::Mouse, L"mouse_device_seting_option_ shoot_gun_op_ bullet_op_"},
    {O::Headset, D::Headset, L"magic_option_ 6533_eq_option_"},
    {O::Keys, D::KeyboardOrMouse, L"key_ComBox_check_"},
};

constexpr Group kSelectNamed[] = {
    {O::Mouse, D::Mouse, L"pointer_precision_check scrolls_page_check"},
    {O::System, D::Keyboard, L"winlockflag_option wflag_option 6flag_option"},
    {O::Window, D::None, L"synchro_device_select device_select"},
    {O::Device, D::Any,
     L"deng_Op_tab key_Op_tab macro_Op_tab system_Op_tab cursor_Op_tab 6533_voice_Op_tab "
     L"magic_Op_tab Virtual7.1_Op_tab"},
    {O::Lighting, D::Any, L"deng_FXL_check deng_FXR_check deng_7color_check"},
    {O::Mouse, D::Mouse, L"bullet_x_check bullet_y_check"},
    {O::Headset, D::Headset, L"magic_enable_option 6533_MicIn_option 6533_MicMoniter_option"},
    {O::Audio, D::Any, L"deng_7audiocolor_check audio_BkColor_check audio_FgColor_check"},
};

constexpr std::array<std::wstring_view, 8> kFunctionTabs{
    L"deng_Op_tab",   L"key_Op_tab",        L"macro_Op_tab", L"system_Op_tab",
    L"cursor_Op_tab", L"6533_voice_Op_tab", L"magic_Op_tab", L"Virtual7.1_Op_tab"};

constexpr Group kValueNumbered[] = {
    {O::Mouse, D::Mouse, L"DPI_slider_"},
    {O::Headset, D::Headset, L"6533_eq_hz_slider_"},
};

constexpr Group kValueNamed[] = {
    {O::Mouse, D::Mouse, L"pointer_speed_slider scroll_speed_slider double_click_slider"},
    {O::System, D::Keyboard, L"repeat_rate_slider"},
    {O::Lighting, D::Any, L"deng_light_slider deng_speed_slider"},
    {O::Headset, D::Headset, L"6533_MicIn_slider 6533_MicMoniter_slider"},
    {O::Window, D::None, L"R_light_slider G_light_slider B_light_slider"},
};

constexpr Group kMovingNumbered[] = {
    {O::Mouse, D::Mouse, L"DPI_slider_"},
};

constexpr Group kKillFocusNumbered[] = {
    {O::Mouse, D::Mouse, L"DPI_edit_"},
};

constexpr Group kKillFocusNamed[] = {
    {O::Lighting, D::Any, L"deng_edit_R deng_edit_G deng_edit_B"},
    {O::Audio, D::Any, L"deng_audioedit_R deng_audioedit_G deng_audioedit_B"},
    {O::Window, D::None, L"keyset_keyboard_text_edit"},
    {O::Mouse, D::Mouse, L"bullet_x_eidt bullet_y_eidt bullet_delay_eidt"},
    {O::Macros, D::KeyboardOrMouse, L"macro_delay"},
    {O::Keys, D::KeyboardOrMouse,
     L"keyset_mouseswing_num_edit keyset_mouseswing_delay_edit keyset_mouseswing_speed_edit "
     L"keyset_mousewheel_num_edit keyset_mousewheel_delay_edit keyset_mousewheel_speed_edit "
     L"keyset_mousefire_interval_edit keyset_mousefire_num_edit keyset_macro_cycle_edit"},
};

constexpr Group kMenus[] = {
    {O::Window, D::None, L"exit about_menu setwnd_menu"},
    {O::Macros, D::KeyboardOrMouse,
     L"redio_previous_record_time redio_previous_constant_time redio_previous_ignore_time "
     L"redio_later_record_time redio_later_constant_time redio_later_ignore_time left_down left_up "
     L"left_click middle_down middle_up middle_click right_down right_up right_click forward_down "
     L"forward_up forward_click back_down back_up back_click macro_action_edit"},
};

} // namespace

bool equalsNoCase(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    }
    return true;
}

std::optional<Route> clickRoute(std::wstring_view name)
{
    if (auto route = findNamed(kClickFirst, name)) {
        route->continues = equalsNoCase(name, L"nodevice_ok_btn") ||
                           equalsNoCase(name, L"control_light_status") ||
                           equalsNoCase(name, L"skinbtn") || equalsNoCase(name, L"setbtn");
        return route;
    }
    return clickRouteAfterFirst(name);
}

std::optional<Route> clickRouteAfterFirst(std::wstring_view name)
{
    if (auto route = findNumbered(kClickNumbered, name))
        return route;
    return findNamed(kClickNamed, name);
}

std::optional<Route> itemSelectRoute(std::wstring_view name)
{
    auto route = findNamed(kItemSelect, name);
    bool saves = false;
    for (const auto combo : kKeySaveCombos)
        saves = saves || equalsNoCase(combo, name);
    if (!route && saves)
        route = Route{RouteOwner::Keys, L"key_butt_keysave", DeviceNeed::KeyboardOrMouse};
    if (route)
        route->alsoSavesKey = saves;
    return route;
}

std::optional<Route> selectChangedRoute(std::wstring_view name)
{
    if (auto route = findNumbered(kSelectNumbered, name)) {
        route->alsoSavesKey = route->command == L"key_ComBox_check_";
        return route;
    }
    return findNamed(kSelectNamed, name);
}

std::optional<Route> valueChangedRoute(std::wstring_view name, bool moving)
{
    if (moving) {
        if (auto route = findNumbered(kMovingNumbered, name))
            return route;
    }
    if (auto route = findNumbered(kValueNumbered, name))
        return route;
    return findNamed(kValueNamed, name);
}

std::optional<Route> killFocusRoute(std::wstring_view name)
{
    if (auto route = findNumbered(kKillFocusNumbered, name))
        return route;
    return findNamed(kKillFocusNamed, name);
}

std::optional<Route> menuRoute(std::wstring_view name)
{
    return findNamed(kMenus, name);
}

std::optional<Route> otherRoute(std::wstring_view type, std::wstring_view name)
{
    if (type == L"colorchanged") {
        if (equalsNoCase(name, L"deng_Color_Pallet"))
            return Route{RouteOwner::Lighting, L"deng_Color_Pallet", DeviceNeed::Any};
        if (equalsNoCase(name, L"deng_audioColor_Pallet"))
            return Route{RouteOwner::Audio, L"deng_audioColor_Pallet", DeviceNeed::Any};
    } else if (type == L"click_select_end") {
        if (equalsNoCase(name, L"device_key_light") ||
            equalsNoCase(name, L"keyboard_device_key_light"))
            return Route{RouteOwner::Lighting, L"device_key_light", DeviceNeed::Keyboard};
        if (equalsNoCase(name, L"mouse_device_key_light"))
            return Route{RouteOwner::Lighting, L"mouse_device_key_light", DeviceNeed::Mouse};
    } else if (type == L"itemactivate") {
        if (equalsNoCase(name, L"macro_action"))
            return Route{RouteOwner::Window, L"macro_action", DeviceNeed::None};
    } else if (type == L"setfocus") {
        if (equalsNoCase(name, L"keyset_keyboard_text_edit"))
            return Route{RouteOwner::Window, L"keyset_keyboard_text_edit", DeviceNeed::None};
    }
    return std::nullopt;
}

FileDialogRequest fileDialogRequest(bool save, std::wstring_view filterName,
                                    std::wstring_view extension)
{
    FileDialogRequest request;
    request.save = save;
    request.filterName = filterName;
    request.pattern = L"*." + std::wstring(extension) + L";";
    request.fileMustExist = !save;
    request.defaultExtension = save ? std::wstring(extension) : L"*.*";
    return request;
}

std::optional<int> functionTabNumber(std::wstring_view name)
{
    for (std::size_t i = 0; i < kFunctionTabs.size(); ++i) {
        if (equalsNoCase(kFunctionTabs[i], name))
            return static_cast<int>(i) + 1;
    }
    return std::nullopt;
}

} // namespace shell
