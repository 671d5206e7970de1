#pragma once

// Where the main window sends each notification of its skin: by notification type and the
// sender's control name. The tables only decide; the window and the pages act.

#include <optional>
#include <string>
#include <string_view>

namespace shell {

// Who carries a route out.
enum class RouteOwner {
    Window,   // the main window itself (caption, tiles, dialogs, menus)
    Keys,     // key assignment page
    Lighting, // lighting page
    Macros,   // macro editor
    System,   // keyboard system settings page
    Profile,  // profile panel
    Device,   // the active device object
    Mouse,    // the mouse's own pages
    Headset,  // the headset's pages
    Audio,    // the audio-light window and colours
};

// Which active device a route needs; a route whose device does not match does nothing.
enum class DeviceNeed { None, Any, Keyboard, Mouse, KeyboardOrMouse, Headset };

struct Route {
    RouteOwner owner = RouteOwner::Window;
    std::wstring_view command; // the row's action, named after the control it came from
    DeviceNeed need = DeviceNeed::None;
    int number = -1;           // n of a numbered control
    bool continues = false;    // the click rows that go on to the numbered and named rows
    bool alsoSavesKey = false; // the choice applies the key assignment at once
};

// Sent by the window to the page handlers after the language changed: texts a page put
// together from language texts are put together again, on every device.
inline constexpr std::wstring_view kLanguageChangedCommand = L"language_changed";

// Each returns nullopt when no row names the control.
[[nodiscard]] std::optional<Route> clickRoute(std::wstring_view name);
// The numbered and named click rows after the first block (also reached by "continues").
[[nodiscard]] std::optional<Route> clickRouteAfterFirst(std::wstring_view name);
[[nodiscard]] std::optional<Route> itemSelectRoute(std::wstring_view name);
[[nodiscard]] std::optional<Route> selectChangedRoute(std::wstring_view name);
// "valuechanged" and "movevaluechanged" (moving is true for the latter).
[[nodiscard]] std::optional<Route> valueChangedRoute(std::wstring_view name, bool moving);
[[nodiscard]] std::optional<Route> killFocusRoute(std::wstring_view name);
[[nodiscard]] std::optional<Route> menuRoute(std::wstring_view name);
// "colorchanged", "click_select_end", "itemactivate", "setfocus".
[[nodiscard]] std::optional<Route> otherRoute(std::wstring_view type, std::wstring_view name);

// The number of the function tab a tab option stands for (1-8), or nullopt.
[[nodiscard]] std::optional<int> functionTabNumber(std::wstring_view name);

bool equalsNoCase(std::wstring_view a, std::wstring_view b);

// The open and save dialogs of the macro, recoil and profile files: one filter; opening
// needs an existing file, saving may name a new one and a name typed without extension
// gets the filter's.
struct FileDialogRequest {
    bool save = false;
    std::wstring filterName; // "Macro Files(*.mac)"
    std::wstring pattern;    // "*.mac;"
    std::wstring defaultExtension;
    bool fileMustExist = true;
};
[[nodiscard]] FileDialogRequest fileDialogRequest(bool save, std::wstring_view filterName,
                                                  std::wstring_view extension);

} // namespace shell
