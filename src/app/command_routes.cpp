#include "app/command_routes.h"

#include "app/devices/indexed_name.h"

#include <array>
#include <cwctype>

namespace app {
namespace {

using O = RouteOwner;
using D = DeviceNeed;

struct Row {
    std::wstring_view name;
    RouteOwner owner;
    DeviceNeed need;
    bool exact = false; // compared case-sensitively
};

template <std::size_t N>
std::optional<Route> findNamed(const std::array<Row, N>& rows, std::wstring_view name)
{
    for (const auto& row : rows) {
        if (row.exact ? row.name == name : equalsNoCase(row.name, name))
            return Route{row.owner, row.name, row.need};
    }
    return std::nullopt;
}

template <std::size_t N>
std::optional<Route> findNumbered(const std::array<Row, N>& rows, std::wstring_view name)
{
    const auto split = splitIndexedName(name);
    if (!split)
        return std::nullopt;
    for (const auto& row : rows) {
        if (equalsNoCase(row.name, split->prefix)) {
            Route route{row.owner, row.name, row.need};
            route.number = split->number;
            return route;
        }
    }
    return std::nullopt;
}

constexpr std::array<Row, 8> kClickFirst{{
    {L"closebtn", O::Window, D::None},
    {L"nodevice_ok_btn", O::Window, D::None},
    {L"control_light_status", O::Window, D::None},
    {L"minbtn", O::Window, D::None},
    {L"maxbtn", O::Window, D::None},
    {L"restorebtn", O::Window, D::None},
    {L"skinbtn", O::Window, D::None},
    {L"setbtn", O::Window, D::None},
}};

constexpr std::array<Row, 5> kClickNumbered{{
    {L"key_", O::Keys, D::KeyboardOrMouse},
    {L"color_option_", O::Lighting, D::Any},
    {L"audiocolor_option_", O::Audio, D::Any},
    {L"windowdeviceset_", O::Window, D::None},
    {L"DPI_color_option_", O::Mouse, D::Mouse},
}};

constexpr std::array<Row, 50> kClickNamed{{
    {L"default_btn", O::Device, D::Any},
    {L"reset_repeat_btn", O::System, D::Keyboard},
    {L"device_add_btn", O::Profile, D::Any},
    {L"device_sub_btn", O::Profile, D::Any},
    {L"device_export_btn", O::Profile, D::Any},
    {L"device_import_btn", O::Profile, D::Any},
    {L"device_copy_btn", O::Profile, D::Any},
    {L"device_reset_btn", O::Profile, D::Any},
    {L"device_profile_edit_save_btn", O::Profile, D::Any},
    {L"key_butt_keysave", O::Keys, D::KeyboardOrMouse},
    {L"key_butt_keydefalut", O::Keys, D::KeyboardOrMouse},
    {L"key_butt_keycancel", O::Keys, D::KeyboardOrMouse},
    {L"key_butt_prosave", O::Keys, D::KeyboardOrMouse},
    {L"macro_btn_starredio", O::Macros, D::KeyboardOrMouse},
    {L"macro_btn_stopredio", O::Macros, D::KeyboardOrMouse},
    {L"macro_btn_name_add", O::Macros, D::KeyboardOrMouse},
    {L"macro_btn_name_sub", O::Macros, D::KeyboardOrMouse},
    {L"macro_btn_name_edit", O::Macros, D::KeyboardOrMouse},
    {L"macro_btn_save", O::Macros, D::KeyboardOrMouse},
    {L"macro_btn_cancel", O::Macros, D::KeyboardOrMouse},
    {L"macro_btn_export", O::Window, D::KeyboardOrMouse},
    {L"macro_btn_import", O::Window, D::KeyboardOrMouse},
    {L"macro_btn_up", O::Macros, D::KeyboardOrMouse},
    {L"macro_btn_down", O::Macros, D::KeyboardOrMouse},
    {L"macro_btn_uptop", O::Macros, D::KeyboardOrMouse},
    {L"macro_btn_downbottom", O::Macros, D::KeyboardOrMouse},
    {L"macro_btn_delete", O::Macros, D::KeyboardOrMouse},
    {L"macro_btn_deleteall", O::Macros, D::KeyboardOrMouse},
    {L"shootdate_save_btn", O::Mouse, D::Mouse},
    {L"shootdate_reset_btn", O::Mouse, D::Mouse},
    {L"shootdate_import_btn", O::Window, D::Mouse},
    {L"shootdate_export_btn", O::Window, D::Mouse},
    {L"bullet_selected_prev", O::Mouse, D::Mouse},
    {L"bullet_selected_next", O::Mouse, D::Mouse},
    {L"custom_bright_color_btn", O::Lighting, D::Keyboard},
    {L"custom_off_color_btn", O::Lighting, D::Keyboard},
    {L"deng_same_mode", O::Lighting, D::Any},
    {L"hs_EQ_btn_save", O::Headset, D::Headset},
    {L"hs_EQ_btn_delete", O::Headset, D::Headset},
    {L"profile_fun_spread_btn", O::Profile, D::Any, true},
    {L"macro_inset_moveleftkey_btn", O::Macros, D::KeyboardOrMouse, true},
    {L"macro_inset_moverightkey_btn", O::Macros, D::KeyboardOrMouse, true},
    {L"macro_inset_moveupkey_btn", O::Macros, D::KeyboardOrMouse, true},
    {L"macro_inset_movedownkey_btn", O::Macros, D::KeyboardOrMouse, true},
    {L"device_select_prev", O::Window, D::None},
    {L"device_select_next", O::Window, D::None},
    {L"Close_bkColor_btn", O::Audio, D::None},
    {L"music_setting_btn", O::Audio, D::None},
    // The colour buttons open the colour window.
    {L"deng_colordp_btn", O::Lighting, D::Any},
    {L"deng_audiocolordp_btn", O::Audio, D::Any},
}};

constexpr std::array<Row, 9> kItemSelect{{
    {L"device_profile_combo", O::Profile, D::Any},
    {L"light_combo_modeSelect", O::Lighting, D::Any},
    {L"light_combo_custommodeSelect", O::Lighting, D::Any},
    {L"keyset_function_combo", O::Keys, D::KeyboardOrMouse},
    {L"keyset_macro_over_combo", O::Keys, D::KeyboardOrMouse},
    {L"macro_name_list", O::Macros, D::KeyboardOrMouse},
    {L"custom_eq_name_combo", O::Headset, D::Headset},
    {L"light_combo_ZZCCmodeSelect", O::Lighting, D::Any},
    {L"light_combo_audiomodeSelect", O::Audio, D::Any},
}};

// A choice in these applies the key assignment at once.
constexpr std::array<std::wstring_view, 11> kKeySaveCombos{
    L"keyset_function_combo",   L"keyset_mousekey_combo", L"keyset_mouseswing_combo",
    L"keyset_mousewheel_combo", L"keyset_mousedpi_combo", L"keyset_media_combo",
    L"keyset_system_combo",     L"keyset_macro_combo",    L"keyset_macro_over_combo",
    L"keyset_gunkey_combo",     L"keyset_combokey_combo"};

constexpr std::array<Row, 10> kSelectNumbered{{
    {L"DPI_enable_check_", O::Mouse, D::Mouse},
    {L"DPI_select_check_", O::Mouse, D::Mouse},
    {L"polling_rate_option_", O::System, D::KeyboardOrMouse},
    {L"repeat_delay_check_", O::System, D::Keyboard},
    {L"mouse_device_seting_option_", O::Mouse, D::Mouse},
    {L"shoot_gun_op_", O::Mouse, D::Mouse},
    {L"bullet_op_", O::Mouse, D::Mouse},
    {L"magic_option_", O::Headset, D::Headset},
    {L"6533_eq_option_", O::Headset, D::Headset},
    {L"key_ComBox_check_", O::Keys, D::KeyboardOrMouse},
}};

constexpr std::array<Row, 26> kSelectNamed{{
    {L"pointer_precision_check", O::Mouse, D::Mouse},
    {L"scrolls_page_check", O::Mouse, D::Mouse},
    {L"winlockflag_option", O::System, D::Keyboard},
    {L"wflag_option", O::System, D::Keyboard},
    {L"6flag_option", O::System, D::Keyboard},
    {L"synchro_device_select", O::Window, D::None},
    {L"device_select", O::Window, D::None},
    {L"deng_Op_tab", O::Device, D::Any},
    {L"key_Op_tab", O::Device, D::Any},
    {L"macro_Op_tab", O::Device, D::Any},
    {L"system_Op_tab", O::Device, D::Any},
    {L"cursor_Op_tab", O::Device, D::Any},
    {L"6533_voice_Op_tab", O::Device, D::Any},
    {L"magic_Op_tab", O::Device, D::Any},
    {L"Virtual7.1_Op_tab", O::Device, D::Any},
    {L"deng_FXL_check", O::Lighting, D::Any},
    {L"deng_FXR_check", O::Lighting, D::Any},
    {L"deng_7color_check", O::Lighting, D::Any},
    {L"bullet_x_check", O::Mouse, D::Mouse},
    {L"bullet_y_check", O::Mouse, D::Mouse},
    {L"magic_enable_option", O::Headset, D::Headset},
    {L"6533_MicIn_option", O::Headset, D::Headset},
    {L"6533_MicMoniter_option", O::Headset, D::Headset},
    {L"deng_7audiocolor_check", O::Audio, D::Any},
    {L"audio_BkColor_check", O::Audio, D::Any},
    {L"audio_FgColor_check", O::Audio, D::Any},
}};

constexpr std::array<std::wstring_view, 8> kFunctionTabs{
    L"deng_Op_tab",   L"key_Op_tab",        L"macro_Op_tab", L"system_Op_tab",
    L"cursor_Op_tab", L"6533_voice_Op_tab", L"magic_Op_tab", L"Virtual7.1_Op_tab"};

constexpr std::array<Row, 2> kValueNumbered{{
    {L"DPI_slider_", O::Mouse, D::Mouse},
    {L"6533_eq_hz_slider_", O::Headset, D::Headset},
}};

constexpr std::array<Row, 11> kValueNamed{{
    {L"pointer_speed_slider", O::Mouse, D::Mouse},
    {L"scroll_speed_slider", O::Mouse, D::Mouse},
    {L"double_click_slider", O::Mouse, D::Mouse},
    {L"repeat_rate_slider", O::System, D::Keyboard},
    {L"deng_light_slider", O::Lighting, D::Any},
    {L"deng_speed_slider", O::Lighting, D::Any},
    {L"6533_MicIn_slider", O::Headset, D::Headset},
    {L"6533_MicMoniter_slider", O::Headset, D::Headset},
    {L"R_light_slider", O::Window, D::None},
    {L"G_light_slider", O::Window, D::None},
    {L"B_light_slider", O::Window, D::None},
}};

constexpr std::array<Row, 2> kMovingNumbered{{
    {L"novik_DPI_slider_", O::Window, D::None},
    {L"DPI_slider_", O::Mouse, D::Mouse},
}};

constexpr std::array<Row, 2> kKillFocusNumbered{{
    {L"novik_DPI_edit_", O::Window, D::None},
    {L"DPI_edit_", O::Mouse, D::Mouse},
}};

constexpr std::array<Row, 20> kKillFocusNamed{{
    {L"deng_edit_R", O::Lighting, D::Any},
    {L"deng_edit_G", O::Lighting, D::Any},
    {L"deng_edit_B", O::Lighting, D::Any},
    {L"deng_audioedit_R", O::Audio, D::Any},
    {L"deng_audioedit_G", O::Audio, D::Any},
    {L"deng_audioedit_B", O::Audio, D::Any},
    {L"keyset_keyboard_text_edit", O::Window, D::None},
    {L"bullet_x_eidt", O::Mouse, D::Mouse},
    {L"bullet_y_eidt", O::Mouse, D::Mouse},
    {L"bullet_delay_eidt", O::Mouse, D::Mouse},
    {L"macro_delay", O::Macros, D::KeyboardOrMouse},
    {L"keyset_mouseswing_num_edit", O::Keys, D::KeyboardOrMouse},
    {L"keyset_mouseswing_delay_edit", O::Keys, D::KeyboardOrMouse},
    {L"keyset_mouseswing_speed_edit", O::Keys, D::KeyboardOrMouse},
    {L"keyset_mousewheel_num_edit", O::Keys, D::KeyboardOrMouse},
    {L"keyset_mousewheel_delay_edit", O::Keys, D::KeyboardOrMouse},
    {L"keyset_mousewheel_speed_edit", O::Keys, D::KeyboardOrMouse},
    {L"keyset_mousefire_interval_edit", O::Keys, D::KeyboardOrMouse},
    {L"keyset_mousefire_num_edit", O::Keys, D::KeyboardOrMouse},
    {L"keyset_macro_cycle_edit", O::Keys, D::KeyboardOrMouse},
}};

constexpr std::array<Row, 25> kMenus{{
    {L"exit", O::Window, D::None},
    {L"about_menu", O::Window, D::None},
    {L"setwnd_menu", O::Window, D::None},
    {L"redio_previous_record_time", O::Macros, D::KeyboardOrMouse},
    {L"redio_previous_constant_time", O::Macros, D::KeyboardOrMouse},
    {L"redio_previous_ignore_time", O::Macros, D::KeyboardOrMouse},
    {L"redio_later_record_time", O::Macros, D::KeyboardOrMouse},
    {L"redio_later_constant_time", O::Macros, D::KeyboardOrMouse},
    {L"redio_later_ignore_time", O::Macros, D::KeyboardOrMouse},
    {L"left_down", O::Macros, D::KeyboardOrMouse},
    {L"left_up", O::Macros, D::KeyboardOrMouse},
    {L"left_click", O::Macros, D::KeyboardOrMouse},
    {L"middle_down", O::Macros, D::KeyboardOrMouse},
    {L"middle_up", O::Macros, D::KeyboardOrMouse},
    {L"middle_click", O::Macros, D::KeyboardOrMouse},
    {L"right_down", O::Macros, D::KeyboardOrMouse},
    {L"right_up", O::Macros, D::KeyboardOrMouse},
    {L"right_click", O::Macros, D::KeyboardOrMouse},
    {L"forward_down", O::Macros, D::KeyboardOrMouse},
    {L"forward_up", O::Macros, D::KeyboardOrMouse},
    {L"forward_click", O::Macros, D::KeyboardOrMouse},
    {L"back_down", O::Macros, D::KeyboardOrMouse},
    {L"back_up", O::Macros, D::KeyboardOrMouse},
    {L"back_click", O::Macros, D::KeyboardOrMouse},
    {L"macro_action_edit", O::Macros, D::KeyboardOrMouse},
}};

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

} // namespace app
