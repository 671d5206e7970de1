#pragma once

#include "platform/window_messages.h"

#include <cstdint>
#include <string>
#include <string_view>

// Text and geometry types the UI library passes around.

// Wide text, as every string in memory is.
class CDuiString : public std::wstring {
public:
    using std::wstring::wstring;
    CDuiString() = default;
    CDuiString(const std::wstring& text) : std::wstring(text) {}
    CDuiString(std::wstring&& text) : std::wstring(std::move(text)) {}
    CDuiString(std::wstring_view text) : std::wstring(text) {}

    const wchar_t* GetData() const { return c_str(); }
    bool IsEmpty() const { return empty(); }
    int GetLength() const { return static_cast<int>(size()); }
    void Empty() { clear(); }
};

struct POINT {
    int x = 0;
    int y = 0;
};

struct SIZE {
    int cx = 0;
    int cy = 0;
};

struct RECT {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

class CDuiRect : public RECT {
public:
    CDuiRect() = default;
    CDuiRect(const RECT& rc) : RECT(rc) {}
    CDuiRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}

    int GetWidth() const { return right - left; }
    int GetHeight() const { return bottom - top; }
    bool IsNull() const { return left == 0 && right == 0 && top == 0 && bottom == 0; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
};

inline bool PtInRect(const RECT& rc, POINT pt)
{
    return pt.x >= rc.left && pt.x < rc.right && pt.y >= rc.top && pt.y < rc.bottom;
}
inline bool IntersectRect(RECT& out, const RECT& a, const RECT& b)
{
    out = RECT{a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
               a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
    if (out.right <= out.left || out.bottom <= out.top) {
        out = RECT{};
        return false;
    }
    return true;
}
inline bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Text format flags, in the values the skins and callers use.
inline constexpr UINT DT_LEFT = 0x0000;
inline constexpr UINT DT_TOP = 0x0000;
inline constexpr UINT DT_CENTER = 0x0001;
inline constexpr UINT DT_RIGHT = 0x0002;
inline constexpr UINT DT_VCENTER = 0x0004;
inline constexpr UINT DT_BOTTOM = 0x0008;
inline constexpr UINT DT_WORDBREAK = 0x0010;
inline constexpr UINT DT_SINGLELINE = 0x0020;
inline constexpr UINT DT_NOPREFIX = 0x0800;
inline constexpr UINT DT_END_ELLIPSIS = 0x8000;

// Colours are 0xAARRGGBB. Alpha 0 means "not painted".
inline constexpr DWORD kColorNone = 0;
