#pragma once

#include <cstdint>

// The window-message vocabulary the program is written in. Handles are opaque tokens
// handed out by the message queue; nothing ever dereferences one.
struct HWND__;
using HWND = HWND__*;
using UINT = std::uint32_t;
using DWORD = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using UINT_PTR = std::uintptr_t;

inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_MOVE = 0x0003;
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_ACTIVATE = 0x0006;
inline constexpr UINT WM_SETFOCUS = 0x0007;
inline constexpr UINT WM_KILLFOCUS = 0x0008;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_SHOWWINDOW = 0x0018;
inline constexpr UINT WM_GETMINMAXINFO = 0x0024;
inline constexpr UINT WM_COPYDATA = 0x004A;
inline constexpr UINT WM_DISPLAYCHANGE = 0x007E;
inline constexpr UINT WM_SETICON = 0x0080;
inline constexpr UINT WM_NCCREATE = 0x0081;
inline constexpr UINT WM_NCDESTROY = 0x0082;
inline constexpr UINT WM_NCCALCSIZE = 0x0083;
inline constexpr UINT WM_NCHITTEST = 0x0084;
inline constexpr UINT WM_NCPAINT = 0x0085;
inline constexpr UINT WM_NCACTIVATE = 0x0086;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_CHAR = 0x0102;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_RBUTTONUP = 0x0205;
inline constexpr UINT WM_MOUSEWHEEL = 0x020A;
inline constexpr UINT WM_POWERBROADCAST = 0x0218;
inline constexpr UINT WM_MOUSEHOVER = 0x02A1;
inline constexpr UINT WM_MOUSELEAVE = 0x02A3;
inline constexpr UINT WM_DPICHANGED = 0x02E0;
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT WM_APP = 0x8000;

// WM_COPYDATA's lParam: valid only while the message is being handled.
struct COPYDATASTRUCT {
    UINT_PTR dwData = 0;
    DWORD cbData = 0;
    const void* lpData = nullptr;
};

inline constexpr WPARAM SC_MINIMIZE = 0xF020;
inline constexpr WPARAM SC_MAXIMIZE = 0xF030;
inline constexpr WPARAM SC_CLOSE = 0xF060;
inline constexpr WPARAM SC_RESTORE = 0xF120;

inline constexpr WPARAM ICON_BIG = 1;

// WM_SIZE's wParam: what the window became.
inline constexpr WPARAM SIZE_RESTORED = 0;
inline constexpr WPARAM SIZE_MINIMIZED = 1;
inline constexpr WPARAM SIZE_MAXIMIZED = 2;

// WM_NCHITTEST's answers: the window's own area, or the caption it is dragged by.
inline constexpr LRESULT HTCLIENT = 1;
inline constexpr LRESULT HTCAPTION = 2;

// Key state flags of mouse and key events.
inline constexpr std::uint16_t MK_SHIFT = 0x0004;
inline constexpr std::uint16_t MK_CONTROL = 0x0008;

// Virtual key codes the controls react to.
inline constexpr WPARAM VK_BACK = 0x08;
inline constexpr WPARAM VK_TAB = 0x09;
inline constexpr WPARAM VK_RETURN = 0x0D;
inline constexpr WPARAM VK_SHIFT = 0x10;
inline constexpr WPARAM VK_CONTROL = 0x11;
inline constexpr WPARAM VK_ESCAPE = 0x1B;
inline constexpr WPARAM VK_END = 0x23;
inline constexpr WPARAM VK_HOME = 0x24;
inline constexpr WPARAM VK_LEFT = 0x25;
inline constexpr WPARAM VK_UP = 0x26;
inline constexpr WPARAM VK_RIGHT = 0x27;
inline constexpr WPARAM VK_DOWN = 0x28;
inline constexpr WPARAM VK_DELETE = 0x2E;
inline constexpr WPARAM VK_F1 = 0x70;

constexpr std::uint16_t LOWORD(std::uintptr_t v)
{
    return static_cast<std::uint16_t>(v & 0xFFFF);
}
constexpr std::uint16_t HIWORD(std::uintptr_t v)
{
    return static_cast<std::uint16_t>((v >> 16) & 0xFFFF);
}
constexpr LPARAM MAKELPARAM(int low, int high)
{
    return static_cast<LPARAM>(
        static_cast<std::uint32_t>(static_cast<std::uint16_t>(low)) |
        (static_cast<std::uint32_t>(static_cast<std::uint16_t>(high)) << 16));
}
// Signed coordinates packed into an LPARAM, as mouse messages carry them.
constexpr int GET_X_LPARAM(LPARAM l)
{
    return static_cast<std::int16_t>(LOWORD(static_cast<std::uintptr_t>(l)));
}
constexpr int GET_Y_LPARAM(LPARAM l)
{
    return static_cast<std::int16_t>(HIWORD(static_cast<std::uintptr_t>(l)));
}
