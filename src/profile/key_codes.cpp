#include "profile/key_codes.h"

#include <algorithm>

namespace profile {
namespace {

constexpr KeyFunctionCode kMouseButtons[] = {
    makeCode(0x10, 0x01, 0x00, 0), makeCode(0x10, 0x04, 0x00, 1), makeCode(0x10, 0x02, 0x00, 2),
    makeCode(0x10, 0x10, 0x00, 3), makeCode(0x10, 0x08, 0x00, 4)};

constexpr KeyFunctionCode kDpi[] = {makeCode(0x13, 0x01, 0x00, 0), makeCode(0x13, 0x02, 0x00, 1),
                                    makeCode(0x13, 0x03, 0x00, 2)};

// Left Ctrl plus O, N, Z, S, C, X, V, F, A, -, =.
constexpr KeyFunctionCode kComboKeys[] = {
    makeCode(0x20, 0x01, 0x12, 0), makeCode(0x20, 0x01, 0x11, 1), makeCode(0x20, 0x01, 0x1D, 2),
    makeCode(0x20, 0x01, 0x16, 3), makeCode(0x20, 0x01, 0x06, 4), makeCode(0x20, 0x01, 0x1B, 5),
    makeCode(0x20, 0x01, 0x19, 6), makeCode(0x20, 0x01, 0x09, 7), makeCode(0x20, 0x01, 0x04, 8),
    makeCode(0x20, 0x01, 0x2D, 9), makeCode(0x20, 0x01, 0x2E, 10)};

// Consumer usage ids, low byte in p1.
constexpr KeyFunctionCode media(std::uint16_t usage, std::uint16_t id)
{
    return makeCode(0x30, static_cast<std::uint8_t>(usage & 0xFF),
                    static_cast<std::uint8_t>(usage >> 8), id);
}
constexpr KeyFunctionCode kMedia[] = {
    media(0x0183, 0),  media(0x00CD, 1),  media(0x00B7, 2),  media(0x00B6, 3),  media(0x00B5, 4),
    media(0x00EA, 5),  media(0x00E9, 6),  media(0x00E2, 7),  media(0x0223, 8),  media(0x0227, 9),
    media(0x0226, 10), media(0x0224, 11), media(0x0225, 12), media(0x022A, 13), media(0x0221, 14),
    media(0x0194, 15), media(0x0192, 16), media(0x018A, 17)};

constexpr KeyFunctionCode kSystem[] = {makeCode(0x40, 0x01, 0x00, 0), makeCode(0x40, 0x02, 0x00, 1),
                                       makeCode(0x40, 0x04, 0x00, 2)};

// Type, p1, p2 and the Windows virtual-key code; 0x0101 and 0x0103-0x0105 stand for keys
// without one of their own, 0xFF for none.
constexpr KeyFunctionCode kKeyboardKeys[] = {
    makeCode(0x20, 0x01, 0x00, 0x00A2), // 0 keyboard_key_LCtrl
    makeCode(0x20, 0x02, 0x00, 0x00A0), // 1 keyboard_key_LShift
    makeCode(0x20, 0x04, 0x00, 0x00A4), // 2 keyboard_key_LAlt
    makeCode(0x20, 0x08, 0x00, 0x005B), // 3 keyboard_key_LWin
    makeCode(0x20, 0x10, 0x00, 0x00A3), // 4 keyboard_key_RCtrl
    makeCode(0x20, 0x20, 0x00, 0x00A1), // 5 keyboard_key_RShift
    makeCode(0x20, 0x40, 0x00, 0x00A5), // 6 keyboard_key_RAlt
    makeCode(0x20, 0x80, 0x00, 0x005C), // 7 keyboard_key_RWin
    makeCode(0x20, 0x00, 0x04, 0x0041), // 8 keyboard_key_A
    makeCode(0x20, 0x00, 0x05, 0x0042), // 9 keyboard_key_B
    makeCode(0x20, 0x00, 0x06, 0x0043), // 10 keyboard_key_C
    makeCode(0x20, 0x00, 0x07, 0x0044), // 11 keyboard_key_D
    makeCode(0x20, 0x00, 0x08, 0x0045), // 12 keyboard_key_E
    makeCode(0x20, 0x00, 0x09, 0x0046), // 13 keyboard_key_F
    makeCode(0x20, 0x00, 0x0A, 0x0047), // 14 keyboard_key_G
    makeCode(0x20, 0x00, 0x0B, 0x0048), // 15 keyboard_key_H
    makeCode(0x20, 0x00, 0x0C, 0x0049), // 16 keyboard_key_I
    makeCode(0x20, 0x00, 0x0D, 0x004A), // 17 keyboard_key_J
    makeCode(0x20, 0x00, 0x0E, 0x004B), // 18 keyboard_key_K
    makeCode(0x20, 0x00, 0x0F, 0x004C), // 19 keyboard_key_L
    makeCode(0x20, 0x00, 0x10, 0x004D), // 20 keyboard_key_M
    makeCode(0x20, 0x00, 0x11, 0x004E), // 21 keyboard_key_N
    makeCode(0x20, 0x00, 0x12, 0x004F), // 22 keyboard_key_O
    makeCode(0x20, 0x00, 0x13, 0x0050), // 23 keyboard_key_P
    makeCode(0x20, 0x00, 0x14, 0x0051), // 24 keyboard_key_Q
    makeCode(0x20, 0x00, 0x15, 0x0052), // 25 keyboard_key_R
    makeCode(0x20, 0x00, 0x16, 0x0053), // 26 keyboard_key_S
    makeCode(0x20, 0x00, 0x17, 0x0054), // 27 keyboard_key_T
    makeCode(0x20, 0x00, 0x18, 0x0055), // 28 keyboard_key_U
    makeCode(0x20, 0x00, 0x19, 0x0056), // 29 keyboard_key_V
    makeCode(0x20, 0x00, 0x1A, 0x0057), // 30 keyboard_key_W
    makeCode(0x20, 0x00, 0x1B, 0x0058), // 31 keyboard_key_X
    makeCode(0x20, 0x00, 0x1C, 0x0059), // 32 keyboard_key_Y
    makeCode(0x20, 0x00, 0x1D, 0x005A), // 33 keyboard_key_Z
    makeCode(0x20, 0x00, 0x1E, 0x0031), // 34 keyboard_key_1
    makeCode(0x20, 0x00, 0x1F, 0x0032), // 35 keyboard_key_2
    makeCode(0x20, 0x00, 0x20, 0x0033), // 36 keyboard_key_3
    makeCode(0x20, 0x00, 0x21, 0x0034), // 37 keyboard_key_4
    makeCode(0x20, 0x00, 0x22, 0x0035), // 38 keyboard_key_5
    makeCode(0x20, 0x00, 0x23, 0x0036), // 39 keyboard_key_6
    makeCode(0x20, 0x00, 0x24, 0x0037), // 40 keyboard_key_7
    makeCode(0x20, 0x00, 0x25, 0x0038), // 41 keyboard_key_8
    makeCode(0x20, 0x00, 0x26, 0x0039), // 42 keyboard_key_9
    makeCode(0x20, 0x00, 0x27, 0x0030), // 43 keyboard_key_0
    makeCode(0x20, 0x00, 0x28, 0x000D), // 44 keyboard_key_Enter
    makeCode(0x20, 0x00, 0x29, 0x001B), // 45 keyboard_key_Esc
    makeCode(0x20, 0x00, 0x2A, 0x0008), // 46 keyboard_key_BackSpace
    makeCode(0x20, 0x00, 0x2B, 0x0009), // 47 keyboard_key_Tab
    makeCode(0x20, 0x00, 0x2C, 0x0020), // 48 keyboard_key_Space
    makeCode(0x20, 0x00, 0x2D, 0x00BD), // 49 keyboard_key_-
    makeCode(0x20, 0x00, 0x2E, 0x00BB), // 50 keyboard_key_=
    makeCode(0x20, 0x00, 0x2F, 0x00DB), // 51 keyboard_key_[
    makeCode(0x20, 0x00, 0x30, 0x00DD), // 52 keyboard_key_]
    makeCode(0x20, 0x00, 0x31, 0x00DC), // 53 keyboard_key_xiegang
    makeCode(0x20, 0x00, 0x33, 0x00BA), // 54 keyboard_key_;
    makeCode(0x20, 0x00, 0x34, 0x00DE), // 55 keyboard_key_'
    makeCode(0x20, 0x00, 0x35, 0x00C0), // 56 keyboard_key_`
    makeCode(0x20, 0x00, 0x36, 0x00BC), // 57 keyboard_key_<
    makeCode(0x20, 0x00, 0x37, 0x00BE), // 58 keyboard_key_.
    makeCode(0x20, 0x00, 0x38, 0x00BF), // 59 keyboard_key_/
    makeCode(0x20, 0x00, 0x39, 0x0014), // 60 keyboard_key_Caplk
    makeCode(0x20, 0x00, 0x3A, 0x0070), // 61 keyboard_key_F1
    makeCode(0x20, 0x00, 0x3B, 0x0071), // 62 keyboard_key_F2
    makeCode(0x20, 0x00, 0x3C, 0x0072), // 63 keyboard_key_F3
    makeCode(0x20, 0x00, 0x3D, 0x0073), // 64 keyboard_key_F4
    makeCode(0x20, 0x00, 0x3E, 0x0074), // 65 keyboard_key_F5
    makeCode(0x20, 0x00, 0x3F, 0x0075), // 66 keyboard_key_F6
    makeCode(0x20, 0x00, 0x40, 0x0076), // 67 keyboard_key_F7
    makeCode(0x20, 0x00, 0x41, 0x0077), // 68 keyboard_key_F8
    makeCode(0x20, 0x00, 0x42, 0x0078), // 69 keyboard_key_F9
    makeCode(0x20, 0x00, 0x43, 0x0079), // 70 keyboard_key_F10
    makeCode(0x20, 0x00, 0x44, 0x007A), // 71 keyboard_key_F11
    makeCode(0x20, 0x00, 0x45, 0x007B), // 72 keyboard_key_F12
    makeCode(0x20, 0x00, 0x46, 0x002C), // 73 keyboard_key_Print Scr
    makeCode(0x20, 0x00, 0x47, 0x0091), // 74 keyboard_key_Scroll Lock
    makeCode(0x20, 0x00, 0x48, 0x0013), // 75 keyboard_key_Pause
    makeCode(0x20, 0x00, 0x49, 0x002D), // 76 keyboard_key_Insert
    makeCode(0x20, 0x00, 0x4A, 0x0024), // 77 keyboard_key_Home
    makeCode(0x20, 0x00, 0x4B, 0x0021), // 78 keyboard_key_Page Up
    makeCode(0x20, 0x00, 0x4C, 0x002E), // 79 keyboard_key_Delete
    makeCode(0x20, 0x00, 0x4D, 0x0023), // 80 keyboard_key_End
    makeCode(0x20, 0x00, 0x4E, 0x0022), // 81 keyboard_key_Page Down
    makeCode(0x20, 0x00, 0x4F, 0x0027), // 82 keyboard_key_Right
    makeCode(0x20, 0x00, 0x50, 0x0025), // 83 keyboard_key_Left
    makeCode(0x20, 0x00, 0x51, 0x0028), // 84 keyboard_key_Down
    makeCode(0x20, 0x00, 0x52, 0x0026), // 85 keyboard_key_Up
    makeCode(0x20, 0x00, 0x53, 0x0090), // 86 keyboard_key_Num Lock
    makeCode(0x20, 0x00, 0x54, 0x006F), // 87 keyboard_key_Num /
    makeCode(0x20, 0x00, 0x55, 0x006A), // 88 keyboard_key_Num *
    makeCode(0x20, 0x00, 0x56, 0x006D), // 89 keyboard_key_Num -
    makeCode(0x20, 0x00, 0x57, 0x006B), // 90 keyboard_key_Num +
    makeCode(0x20, 0x00, 0x58, 0x0101), // 91 keyboard_key_Num Enter
    makeCode(0x20, 0x00, 0x59, 0x0061), // 92 keyboard_key_Num 1
    makeCode(0x20, 0x00, 0x5A, 0x0062), // 93 keyboard_key_Num 2
    makeCode(0x20, 0x00, 0x5B, 0x0063), // 94 keyboard_key_Num 3
    makeCode(0x20, 0x00, 0x5C, 0x0064), // 95 keyboard_key_Num 4
    makeCode(0x20, 0x00, 0x5D, 0x0065), // 96 keyboard_key_Num 5
    makeCode(0x20, 0x00, 0x5E, 0x0066), // 97 keyboard_key_Num 6
    makeCode(0x20, 0x00, 0x5F, 0x0067), // 98 keyboard_key_Num 7
    makeCode(0x20, 0x00, 0x60, 0x0068), // 99 keyboard_key_Num 8
    makeCode(0x20, 0x00, 0x61, 0x0069), // 100 keyboard_key_Num 9
    makeCode(0x20, 0x00, 0x62, 0x0060), // 101 keyboard_key_Num 0
    makeCode(0x20, 0x00, 0x63, 0x006E), // 102 keyboard_key_Decimal
    makeCode(0x20, 0x00, 0x65, 0x005D), // 103 keyboard_key_App
    makeCode(0x20, 0x00, 0x64, 0x00E2), // 104 keyboard_key_K45
    makeCode(0x20, 0x00, 0x87, 0x00C1), // 105 keyboard_key_K56
    makeCode(0x20, 0x00, 0x89, 0x00FF), // 106 keyboard_key_K14
    makeCode(0x20, 0x00, 0x85, 0x00C2), // 107 keyboard_key_K107
    makeCode(0x20, 0x00, 0x8B, 0x00EB), // 108 keyboard_key_K131
    makeCode(0x20, 0x00, 0x8A, 0x00FF), // 109 keyboard_key_K132
    makeCode(0x20, 0x00, 0x88, 0x00FF), // 110 keyboard_key_K133
    makeCode(0x20, 0x00, 0x91, 0x00E9), // 111 keyboard_key_K150
    makeCode(0x20, 0x00, 0x90, 0x00FF), // 112 keyboard_key_K151
    makeCode(0x20, 0x00, 0x32, 0x00BF), // 113 keyboard_key_K42
    makeCode(0x30, 0x92, 0x01, 0x00B7), // 114 keyboard_key_Launch App2
    makeCode(0x30, 0x23, 0x02, 0x00AC), // 115 keyboard_key_Browaer Home
    makeCode(0x30, 0xCD, 0x00, 0x00B3), // 116 keyboard_key_Media Play Pause
    makeCode(0x30, 0x21, 0x02, 0x00AA), // 117 keyboard_key_Browser Search
    makeCode(0x30, 0x8A, 0x01, 0x00B4), // 118 keyboard_key_Launch Mail
    makeCode(0x30, 0xE9, 0x00, 0x00AF), // 119 keyboard_key_Volume Up
    makeCode(0x30, 0xE2, 0x00, 0x00AD), // 120 keyboard_key_Volume Mute
    makeCode(0x30, 0xB7, 0x00, 0x00B2), // 121 keyboard_key_Media Stop
    makeCode(0x30, 0xEA, 0x00, 0x00AE), // 122 keyboard_key_Volume Down
    makeCode(0x30, 0x2A, 0x02, 0x00AB), // 123 keyboard_key_Browser Favorites
    makeCode(0x30, 0x25, 0x02, 0x00A7), // 124 keyboard_key_Browser ForWard
    makeCode(0x30, 0x24, 0x02, 0x00A6), // 125 keyboard_key_Browser Back
    makeCode(0x30, 0xB6, 0x00, 0x00B1), // 126 keyboard_key_Media Prev Track
    makeCode(0x30, 0xB5, 0x00, 0x00B0), // 127 keyboard_key_Media Next Track
    makeCode(0x30, 0x94, 0x01, 0x00B6), // 128 keyboard_key_Computer
    makeCode(0x30, 0x27, 0x02, 0x00A8), // 129 keyboard_key_Browser Refresh
    makeCode(0x30, 0x26, 0x02, 0x00A9), // 130 wed_stop
    makeCode(0x30, 0x83, 0x01, 0x00B5), // 131 keyboard_key_Launch Media Select
    makeCode(0x40, 0x01, 0x00, 0x0103), // 132 keyboard_key_Power
    makeCode(0x40, 0x02, 0x00, 0x0104), // 133 keyboard_key_Sleep
    makeCode(0x40, 0x04, 0x00, 0x0105), // 134 keyboard_key_Wakeup
    makeCode(0xD0, 0xA2, 0x01, 0x0000), // 135 keyboard_key_M1
    makeCode(0xD0, 0xA2, 0x02, 0x0000), // 136 keyboard_key_M2
    makeCode(0xD0, 0xA2, 0x03, 0x0000), // 137 keyboard_key_M3
    makeCode(0xD0, 0xA2, 0x04, 0x0000), // 138 keyboard_key_M4
    makeCode(0xD0, 0xA2, 0x05, 0x0000), // 139 keyboard_key_M5
    makeCode(0xA0, 0x01, 0x00, 0x0000), // 140 keyboard_key_FN
    makeCode(0xA0, 0x1B, 0x00, 0x0000), // 141 keyboard_key_GM
};
static_assert(std::size(kKeyboardKeys) == 142);

constexpr std::wstring_view kKeyboardKeyNames[] = {
    L"keyboard_key_LCtrl",
    L"keyboard_key_LShift",
    L"keyboard_key_LAlt",
    L"keyboard_key_LWin",
    L"keyboard_key_RCtrl",
    L"keyboard_key_RShift",
    L"keyboard_key_RAlt",
    L"keyboard_key_RWin",
    L"keyboard_key_A",
    L"keyboard_key_B",
    L"keyboard_key_C",
    L"keyboard_key_D",
    L"keyboard_key_E",
    L"keyboard_key_F",
    L"keyboard_key_G",
    L"keyboard_key_H",
    L"keyboard_key_I",
    L"keyboard_key_J",
    L"keyboard_key_K",
    L"keyboard_key_L",
    L"keyboard_key_M",
    L"keyboard_key_N",
    L"keyboard_key_O",
    L"keyboard_key_P",
    L"keyboard_key_Q",
    L"keyboard_key_R",
    L"keyboard_key_S",
    L"keyboard_key_T",
    L"keyboard_key_U",
    L"keyboard_key_V",
    L"keyboard_key_W",
    L"keyboard_key_X",
    L"keyboard_key_Y",
    L"keyboard_key_Z",
    L"keyboard_key_1",
    L"keyboard_key_2",
    L"keyboard_key_3",
    L"keyboard_key_4",
    L"keyboard_key_5",
    L"keyboard_key_6",
    L"keyboard_key_7",
    L"keyboard_key_8",
    L"keyboard_key_9",
    L"keyboard_key_0",
    L"keyboard_key_Enter",
    L"keyboard_key_Esc",
    L"keyboard_key_BackSpace",
    L"keyboard_key_Tab",
    L"keyboard_key_Space",
    L"keyboard_key_-",
    L"keyboard_key_=",
    L"keyboard_key_[",
    L"keyboard_key_]",
    L"keyboard_key_xiegang",
    L"keyboard_key_;",
    L"keyboard_key_'",
    L"keyboard_key_`",
    L"keyboard_key_<",
    L"keyboard_key_.",
    L"keyboard_key_/",
    L"keyboard_key_Caplk",
    L"keyboard_key_F1",
    L"keyboard_key_F2",
    L"keyboard_key_F3",
    L"keyboard_key_F4",
    L"keyboard_key_F5",
    L"keyboard_key_F6",
    L"keyboard_key_F7",
    L"keyboard_key_F8",
    L"keyboard_key_F9",
    L"keyboard_key_F10",
    L"keyboard_key_F11",
    L"keyboard_key_F12",
    L"keyboard_key_Print Scr",
    L"keyboard_key_Scroll Lock",
    L"keyboard_key_Pause",
    L"keyboard_key_Insert",
    L"keyboard_key_Home",
    L"keyboard_key_Page Up",
    L"keyboard_key_Delete",
    L"keyboard_key_End",
    L"keyboard_key_Page Down",
    L"keyboard_key_Right",
    L"keyboard_key_Left",
    L"keyboard_key_Down",
    L"keyboard_key_Up",
    L"keyboard_key_Num Lock",
    L"keyboard_key_Num /",
    L"keyboard_key_Num *",
    L"keyboard_key_Num -",
    L"keyboard_key_Num +",
    L"keyboard_key_Num Enter",
    L"keyboard_key_Num 1",
    L"keyboard_key_Num 2",
    L"keyboard_key_Num 3",
    L"keyboard_key_Num 4",
    L"keyboard_key_Num 5",
    L"keyboard_key_Num 6",
    L"keyboard_key_Num 7",
    L"keyboard_key_Num 8",
    L"keyboard_key_Num 9",
    L"keyboard_key_Num 0",
    L"keyboard_key_Decimal",
    L"keyboard_key_App",
    L"keyboard_key_K45",
    L"keyboard_key_K56",
    L"keyboard_key_K14",
    L"keyboard_key_K107",
    L"keyboard_key_K131",
    L"keyboard_key_K132",
    L"keyboard_key_K133",
    L"keyboard_key_K150",
    L"keyboard_key_K151",
    L"keyboard_key_K42",
    L"keyboard_key_Launch App2",
    L"keyboard_key_Browaer Home",
    L"keyboard_key_Media Play Pause",
    L"keyboard_key_Browser Search",
    L"keyboard_key_Launch Mail",
    L"keyboard_key_Volume Up",
    L"keyboard_key_Volume Mute",
    L"keyboard_key_Media Stop",
    L"keyboard_key_Volume Down",
    L"keyboard_key_Browser Favorites",
    L"keyboard_key_Browser ForWard",
    L"keyboard_key_Browser Back",
    L"keyboard_key_Media Prev Track",
    L"keyboard_key_Media Next Track",
    L"keyboard_key_Computer",
    L"keyboard_key_Browser Refresh",
    L"wed_stop",
    L"keyboard_key_Launch Media Select",
    L"keyboard_key_Power",
    L"keyboard_key_Sleep",
    L"keyboard_key_Wakeup",
    L"keyboard_key_M1",
    L"keyboard_key_M2",
    L"keyboard_key_M3",
    L"keyboard_key_M4",
    L"keyboard_key_M5",
    L"keyboard_key_FN",
    L"keyboard_key_GM",
};
static_assert(std::size(kKeyboardKeyNames) == 142);

// Right Shift is flagged extended and Pause is not: that is what the low-level hook reports.
constexpr ScanCodeEntry kScanCodes[] = {
    {0x00A2, 0x1D, 0}, // keyboard_key_LCtrl
    {0x00A0, 0x2A, 0}, // keyboard_key_LShift
    {0x00A4, 0x38, 0}, // keyboard_key_LAlt
    {0x005B, 0x5B, 1}, // keyboard_key_LWin
    {0x00A3, 0x1D, 1}, // keyboard_key_RCtrl
    {0x00A1, 0x36, 1}, // keyboard_key_RShift
    {0x00A5, 0x38, 1}, // keyboard_key_RAlt
    {0x005C, 0x5C, 1}, // keyboard_key_RWin
    {0x0041, 0x1E, 0}, // keyboard_key_A
    {0x0042, 0x30, 0}, // keyboard_key_B
    {0x0043, 0x2E, 0}, // keyboard_key_C
    {0x0044, 0x20, 0}, // keyboard_key_D
    {0x0045, 0x12, 0}, // keyboard_key_E
    {0x0046, 0x21, 0}, // keyboard_key_F
    {0x0047, 0x22, 0}, // keyboard_key_G
    {0x0048, 0x23, 0}, // keyboard_key_H
    {0x0049, 0x17, 0}, // keyboard_key_I
    {0x004A, 0x24, 0}, // keyboard_key_J
    {0x004B, 0x25, 0}, // keyboard_key_K
    {0x004C, 0x26, 0}, // keyboard_key_L
    {0x004D, 0x32, 0}, // keyboard_key_M
    {0x004E, 0x31, 0}, // keyboard_key_N
    {0x004F, 0x18, 0}, // keyboard_key_O
    {0x0050, 0x19, 0}, // keyboard_key_P
    {0x0051, 0x10, 0}, // keyboard_key_Q
    {0x0052, 0x13, 0}, // keyboard_key_R
    {0x0053, 0x1F, 0}, // keyboard_key_S
    {0x0054, 0x14, 0}, // keyboard_key_T
    {0x0055, 0x16, 0}, // keyboard_key_U
    {0x0056, 0x2F, 0}, // keyboard_key_V
    {0x0057, 0x11, 0}, // keyboard_key_W
    {0x0058, 0x2D, 0}, // keyboard_key_X
    {0x0059, 0x15, 0}, // keyboard_key_Y
    {0x005A, 0x2C, 0}, // keyboard_key_Z
    {0x0031, 0x02, 0}, // keyboard_key_1
    {0x0032, 0x03, 0}, // keyboard_key_2
    {0x0033, 0x04, 0}, // keyboard_key_3
    {0x0034, 0x05, 0}, // keyboard_key_4
    {0x0035, 0x06, 0}, // keyboard_key_5
    {0x0036, 0x07, 0}, // keyboard_key_6
    {0x0037, 0x08, 0}, // keyboard_key_7
    {0x0038, 0x09, 0}, // keyboard_key_8
    {0x0039, 0x0A, 0}, // keyboard_key_9
    {0x0030, 0x0B, 0}, // keyboard_key_0
    {0x000D, 0x1C, 0}, // keyboard_key_Enter
    {0x001B, 0x01, 0}, // keyboard_key_Esc
    {0x0008, 0x0E, 0}, // keyboard_key_BackSpace
    {0x0009, 0x0F, 0}, // keyboard_key_Tab
    {0x0020, 0x39, 0}, // keyboard_key_Space
    {0x00BD, 0x0C, 0}, // keyboard_key_-
    {0x00BB, 0x0D, 0}, // keyboard_key_=
    {0x00DB, 0x1A, 0}, // keyboard_key_[
    {0x00DD, 0x1B, 0}, // keyboard_key_]
    {0x00DC, 0x2B, 0}, // keyboard_key_xiegang
    {0x00BA, 0x27, 0}, // keyboard_key_;
    {0x00DE, 0x28, 0}, // keyboard_key_'
    {0x00C0, 0x29, 0}, // keyboard_key_`
    {0x00BC, 0x33, 0}, // keyboard_key_<
    {0x00BE, 0x34, 0}, // keyboard_key_.
    {0x00BF, 0x35, 0}, // keyboard_key_/
    {0x0014, 0x3A, 0}, // keyboard_key_Caplk
    {0x0070, 0x3B, 0}, // keyboard_key_F1
    {0x0071, 0x3C, 0}, // keyboard_key_F2
    {0x0072, 0x3D, 0}, // keyboard_key_F3
    {0x0073, 0x3E, 0}, // keyboard_key_F4
    {0x0074, 0x3F, 0}, // keyboard_key_F5
    {0x0075, 0x40, 0}, // keyboard_key_F6
    {0x0076, 0x41, 0}, // keyboard_key_F7
    {0x0077, 0x42, 0}, // keyboard_key_F8
    {0x0078, 0x43, 0}, // keyboard_key_F9
    {0x0079, 0x44, 0}, // keyboard_key_F10
    {0x007A, 0x57, 0}, // keyboard_key_F11
    {0x007B, 0x58, 0}, // keyboard_key_F12
    {0x002C, 0x37, 1}, // keyboard_key_Print Scr
    {0x0091, 0x46, 0}, // keyboard_key_Scroll Lock
    {0x0013, 0x45, 0}, // keyboard_key_Pause
    {0x002D, 0x52, 1}, // keyboard_key_Insert
    {0x0024, 0x47, 1}, // keyboard_key_Home
    {0x0021, 0x49, 1}, // keyboard_key_Page Up
    {0x002E, 0x53, 1}, // keyboard_key_Delete
    {0x0023, 0x4F, 1}, // keyboard_key_End
    {0x0022, 0x51, 1}, // keyboard_key_Page Down
    {0x0027, 0x4D, 1}, // keyboard_key_Right
    {0x0025, 0x4B, 1}, // keyboard_key_Left
    {0x0028, 0x50, 1}, // keyboard_key_Down
    {0x0026, 0x48, 1}, // keyboard_key_Up
    {0x0090, 0x45, 1}, // keyboard_key_Num Lock
    {0x006F, 0x35, 1}, // keyboard_key_Num /
    {0x006A, 0x37, 0}, // keyboard_key_Num *
    {0x006D, 0x4A, 0}, // keyboard_key_Num -
    {0x006B, 0x4E, 0}, // keyboard_key_Num +
    {0x0101, 0x1C, 1}, // keyboard_key_Num Enter
    {0x0061, 0x4F, 0}, // keyboard_key_Num 1
    {0x0062, 0x50, 0}, // keyboard_key_Num 2
    {0x0063, 0x51, 0}, // keyboard_key_Num 3
    {0x0064, 0x4B, 0}, // keyboard_key_Num 4
    {0x0065, 0x4C, 0}, // keyboard_key_Num 5
    {0x0066, 0x4D, 0}, // keyboard_key_Num 6
    {0x0067, 0x47, 0}, // keyboard_key_Num 7
    {0x0068, 0x48, 0}, // keyboard_key_Num 8
    {0x0069, 0x49, 0}, // keyboard_key_Num 9
    {0x0060, 0x52, 0}, // keyboard_key_Num 0
    {0x006E, 0x53, 0}, // keyboard_key_Decimal
    {0x005D, 0x5D, 1}, // keyboard_key_App
    {0x00E2, 0x56, 0}, // keyboard_key_K45
    {0x00C1, 0x73, 0}, // keyboard_key_K56
    {0x00FF, 0x7D, 0}, // keyboard_key_K14
    {0x00C2, 0x7E, 0}, // keyboard_key_K107
    {0x00EB, 0x7B, 0}, // keyboard_key_K131
    {0x00FF, 0x79, 0}, // keyboard_key_K132
    {0x00FF, 0x70, 0}, // keyboard_key_K133
    {0x00E9, 0x71, 0}, // keyboard_key_K150
    {0x00FF, 0x72, 0}, // keyboard_key_K151
};
static_assert(std::size(kScanCodes) == 113);

constexpr KeyFunctionCode kFunctionLabels[] = {
    makeCode(0x10, 0x01, 0x00, 0),  makeCode(0x10, 0x02, 0x00, 1),  makeCode(0x10, 0x04, 0x00, 2),
    makeCode(0x10, 0x10, 0x00, 3),  makeCode(0x10, 0x08, 0x00, 4),  makeCode(0x14, 0x50, 0x02, 5),
    makeCode(0x20, 0x00, 0x00, 6),  makeCode(0x20, 0x80, 0x00, 7),  makeCode(0xA0, 0x02, 0x00, 8),
    makeCode(0xA0, 0x00, 0x00, 9),  makeCode(0x13, 0x03, 0x00, 10), makeCode(0x13, 0x01, 0x00, 11),
    makeCode(0x13, 0x02, 0x00, 12), makeCode(0x16, 0x00, 0x00, 13), makeCode(0x23, 0x00, 0x00, 14)};

constexpr KeyFunctionCode kShortcuts[] = {
    makeCode(0x22, 0, 0, 0), makeCode(0x22, 0, 1, 1), makeCode(0x22, 0, 2, 2),
    makeCode(0x22, 0, 3, 3), makeCode(0x22, 0, 4, 4), makeCode(0x22, 0, 5, 5),
    makeCode(0x22, 0, 6, 6), makeCode(0x22, 0, 7, 7), makeCode(0x22, 0, 8, 8)};

constexpr KeyFunctionCode kKeyboardPositions[] = {
    makeCode(0x20, 0x00, 0x29), // 0
    makeCode(0x20, 0x00, 0x3A), // 1
    makeCode(0x20, 0x00, 0x3B), // 2
    makeCode(0x20, 0x00, 0x3C), // 3
    makeCode(0x20, 0x00, 0x3D), // 4
    makeCode(0x20, 0x00, 0x3E), // 5
    makeCode(0x20, 0x00, 0x3F), // 6
    makeCode(0x20, 0x00, 0x40), // 7
    makeCode(0x20, 0x00, 0x41), // 8
    makeCode(0x20, 0x00, 0x42), // 9
    makeCode(0x20, 0x00, 0x43), // 10
    makeCode(0x20, 0x00, 0x44), // 11
    makeCode(0x20, 0x00, 0x45), // 12
    makeCode(0x20, 0x00, 0x46), // 13
    makeCode(0x20, 0x00, 0x47), // 14
    makeCode(0x20, 0x00, 0x48), // 15
    makeCode(0xA0, 0x1B, 0x00), // 16
    makeCode(0xA0, 0x24, 0x00), // 17
    makeCode(0x20, 0x00, 0x00), // 18
    makeCode(0x20, 0x00, 0x00), // 19
    makeCode(0x20, 0x00, 0x00), // 20
    makeCode(0x20, 0x00, 0x35), // 21
    makeCode(0x20, 0x00, 0x1E), // 22
    makeCode(0x20, 0x00, 0x1F), // 23
    makeCode(0x20, 0x00, 0x20), // 24
    makeCode(0x20, 0x00, 0x21), // 25
    makeCode(0x20, 0x00, 0x22), // 26
    makeCode(0x20, 0x00, 0x23), // 27
    makeCode(0x20, 0x00, 0x24), // 28
    makeCode(0x20, 0x00, 0x25), // 29
    makeCode(0x20, 0x00, 0x26), // 30
    makeCode(0x20, 0x00, 0x27), // 31
    makeCode(0x20, 0x00, 0x2D), // 32
    makeCode(0x20, 0x00, 0x2E), // 33
    makeCode(0x20, 0x00, 0x2A), // 34
    makeCode(0x20, 0x00, 0x49), // 35
    makeCode(0x20, 0x00, 0x4A), // 36
    makeCode(0x20, 0x00, 0x4B), // 37
    makeCode(0x20, 0x00, 0x53), // 38
    makeCode(0x20, 0x00, 0x54), // 39
    makeCode(0x20, 0x00, 0x55), // 40
    makeCode(0x20, 0x00, 0x56), // 41
    makeCode(0x20, 0x00, 0x2B), // 42
    makeCode(0x20, 0x00, 0x14), // 43
    makeCode(0x20, 0x00, 0x1A), // 44
    makeCode(0x20, 0x00, 0x08), // 45
    makeCode(0x20, 0x00, 0x15), // 46
    makeCode(0x20, 0x00, 0x17), // 47
    makeCode(0x20, 0x00, 0x1C), // 48
    makeCode(0x20, 0x00, 0x18), // 49
    makeCode(0x20, 0x00, 0x0C), // 50
    makeCode(0x20, 0x00, 0x12), // 51
    makeCode(0x20, 0x00, 0x13), // 52
    makeCode(0x20, 0x00, 0x2F), // 53
    makeCode(0x20, 0x00, 0x30), // 54
    makeCode(0x20, 0x00, 0x31), // 55
    makeCode(0x20, 0x00, 0x4C), // 56
    makeCode(0x20, 0x00, 0x4D), // 57
    makeCode(0x20, 0x00, 0x4E), // 58
    makeCode(0x20, 0x00, 0x5F), // 59
    makeCode(0x20, 0x00, 0x60), // 60
    makeCode(0x20, 0x00, 0x61), // 61
    makeCode(0x20, 0x00, 0x32), // 62
    makeCode(0x20, 0x00, 0x39), // 63
    makeCode(0x20, 0x00, 0x04), // 64
    makeCode(0x20, 0x00, 0x16), // 65
    makeCode(0x20, 0x00, 0x07), // 66
    makeCode(0x20, 0x00, 0x09), // 67
    makeCode(0x20, 0x00, 0x0A), // 68
    makeCode(0x20, 0x00, 0x0B), // 69
    makeCode(0x20, 0x00, 0x0D), // 70
    makeCode(0x20, 0x00, 0x0E), // 71
    makeCode(0x20, 0x00, 0x0F), // 72
    makeCode(0x20, 0x00, 0x33), // 73
    makeCode(0x20, 0x00, 0x34), // 74
    makeCode(0x20, 0x00, 0x28), // 75
    makeCode(0x20, 0x00, 0x5C), // 76
    makeCode(0x20, 0x00, 0x5D), // 77
    makeCode(0x20, 0x00, 0x5E), // 78
    makeCode(0x20, 0x00, 0x8A), // 79
    makeCode(0x20, 0x00, 0x8B), // 80
    makeCode(0x20, 0x00, 0x90), // 81
    makeCode(0x20, 0x00, 0x91), // 82
    makeCode(0x20, 0x00, 0x88), // 83
    makeCode(0x20, 0x02, 0x00), // 84
    makeCode(0x20, 0x00, 0x1D), // 85
    makeCode(0x20, 0x00, 0x1B), // 86
    makeCode(0x20, 0x00, 0x06), // 87
    makeCode(0x20, 0x00, 0x19), // 88
    makeCode(0x20, 0x00, 0x05), // 89
    makeCode(0x20, 0x00, 0x11), // 90
    makeCode(0x20, 0x00, 0x10), // 91
    makeCode(0x20, 0x00, 0x36), // 92
    makeCode(0x20, 0x00, 0x37), // 93
    makeCode(0x20, 0x00, 0x38), // 94
    makeCode(0x20, 0x20, 0x00), // 95
    makeCode(0x20, 0x00, 0x52), // 96
    makeCode(0x20, 0x00, 0x59), // 97
    makeCode(0x20, 0x00, 0x5A), // 98
    makeCode(0x20, 0x00, 0x5B), // 99
    makeCode(0x20, 0x00, 0x87), // 100
    makeCode(0x20, 0x00, 0x89), // 101
    makeCode(0x20, 0x00, 0x64), // 102
    makeCode(0x20, 0x00, 0x85), // 103
    makeCode(0x20, 0x00, 0x00), // 104
    makeCode(0x20, 0x01, 0x00), // 105
    makeCode(0x20, 0x08, 0x00), // 106
    makeCode(0x20, 0x04, 0x00), // 107
    makeCode(0x20, 0x00, 0x2C), // 108
    makeCode(0x20, 0x40, 0x00), // 109
    makeCode(0xA0, 0x01, 0x00), // 110
    makeCode(0x20, 0x00, 0x65), // 111
    makeCode(0x20, 0x10, 0x00), // 112
    makeCode(0x20, 0x00, 0x50), // 113
    makeCode(0x20, 0x00, 0x51), // 114
    makeCode(0x20, 0x00, 0x4F), // 115
    makeCode(0x20, 0x00, 0x62), // 116
    makeCode(0x20, 0x00, 0x63), // 117
    makeCode(0x20, 0x00, 0x58), // 118
    makeCode(0x20, 0x00, 0x57), // 119
    makeCode(0xD0, 0xA2, 0x01), // 120
    makeCode(0xD0, 0xA2, 0x02), // 121
    makeCode(0xD0, 0xA2, 0x03), // 122
    makeCode(0xD0, 0xA2, 0x04), // 123
    makeCode(0xD0, 0xA2, 0x05), // 124
    makeCode(0x20, 0x80, 0x00), // 125
};
static_assert(std::size(kKeyboardPositions) == kKeyboardPositionCount);

constexpr KeyFunctionCode kMousePositions[] = {
    makeCode(0x10, 0x01, 0x00), makeCode(0x10, 0x02, 0x00), makeCode(0x10, 0x04, 0x00),
    makeCode(0x10, 0x10, 0x00), makeCode(0x10, 0x08, 0x00), makeCode(0x13, 0x01, 0x00),
    makeCode(0x13, 0x02, 0x00), makeCode(0x13, 0x03, 0x00), makeCode(0xA0, 0x1B, 0x00),
    makeCode(0x16, 0x90, 0x01), makeCode(0x14, 0x78, 0x02)};
static_assert(std::size(kMousePositions) == kMousePositionCount);

std::array<std::wstring_view, kKeyNameIdCount> buildNameIds()
{
    std::array<std::wstring_view, kKeyNameIdCount> ids{};
    constexpr std::wstring_view head[] = {
        L"custem_cut", L"custem_copy", L"custem_paste", L"custem_undo", L"custem_select_all",
        L"custem_find", L"custem_new", L"custem_save", L"custem_open",
        // 9-23: the function label table's names
        L"mouse_key_left", L"mouse_key_middle", L"mouse_key_right", L"mouse_key_forward",
        L"mouse_key_back", L"mouse_key_fire_key", L"mouse_key_shortcut_key", L"win_key_text",
        L"mouse_key_smart_key", L"close_text", L"mouse_key_DPI_loop", L"mouse_key_DPI_add",
        L"mouse_key_DPI_sub", L"mouse_key_DPI_shift", L"show_window",
        // 24-27
        L"system_power", L"system_sleep", L"system_wake_up", L"mouse_key_fire_key",
        // 28-45: media table
        L"media_text", L"media_play", L"media_stop", L"media_prev", L"media_next", L"media_vol_sub",
        L"media_vol_add", L"media_mute", L"web_text", L"web_refresh", L"wed_stop", L"wed_back",
        L"wed_forward", L"wed_favorite", L"web_search", L"media_mypc", L"media_calc", L"media_mail",
        // 46-57
        L"mouse_key_DPI_add", L"mouse_key_DPI_sub", L"mouse_key_DPI_loop", L"mouse_key_up_Swing",
        L"mouse_key_down_Swing", L"mouse_key_left_Swing", L"mouse_key_right_Swing",
        L"mouse_key_left", L"mouse_key_middle", L"mouse_key_right", L"mouse_key_forward",
        L"mouse_key_back"};
    static_assert(std::size(head) == kKeyboardNameBase);
    std::copy(std::begin(head), std::end(head), ids.begin());
    std::copy(std::begin(kKeyboardKeyNames), std::end(kKeyboardKeyNames),
              ids.begin() + kKeyboardNameBase);
    ids[200] = L"keyboard_key_COLOR";
    return ids;
}

const std::array<std::wstring_view, kKeyNameIdCount> kNameIds = buildNameIds();

} // namespace

std::span<const KeyFunctionCode> mouseButtonTable()
{
    return kMouseButtons;
}
std::span<const KeyFunctionCode> dpiTable()
{
    return kDpi;
}
std::span<const KeyFunctionCode> comboKeyTable()
{
    return kComboKeys;
}
std::span<const KeyFunctionCode> mediaTable()
{
    return kMedia;
}
std::span<const KeyFunctionCode> systemTable()
{
    return kSystem;
}
std::span<const KeyFunctionCode> keyboardKeyTable()
{
    return kKeyboardKeys;
}
std::span<const KeyFunctionCode> functionLabelTable()
{
    return kFunctionLabels;
}
std::span<const KeyFunctionCode> shortcutLabelTable()
{
    return kShortcuts;
}
std::span<const ScanCodeEntry> scanCodeTable()
{
    return kScanCodes;
}
std::span<const KeyFunctionCode> keyboardPositionTable()
{
    return kKeyboardPositions;
}
std::span<const KeyFunctionCode> mousePositionTable()
{
    return kMousePositions;
}
std::span<const std::wstring_view> keyNameIds()
{
    return kNameIds;
}

std::wstring_view keyboardKeyNameId(std::size_t index)
{
    return index < std::size(kKeyboardKeyNames) ? kKeyboardKeyNames[index] : std::wstring_view();
}

std::span<const KeyFunctionCode> categoryTable(int category)
{
    switch (static_cast<KeyFunctionCategory>(category)) {
    case KeyFunctionCategory::MouseKey:
        return kMouseButtons;
    case KeyFunctionCategory::MouseDpi:
        return kDpi;
    case KeyFunctionCategory::Media:
        return kMedia;
    case KeyFunctionCategory::System:
        return kSystem;
    case KeyFunctionCategory::ComboKey:
        return kComboKeys;
    default:
        return {};
    }
}

std::optional<std::size_t> keyForScanCode(std::uint8_t scanCode, bool extended)
{
    for (std::size_t i = 0; i < std::size(kScanCodes); ++i) {
        if (kScanCodes[i].scanCode == scanCode && (kScanCodes[i].extended != 0) == extended)
            return i;
    }
    return std::nullopt;
}

std::optional<std::size_t> findKeyboardKey(const KeyFunctionCode& code)
{
    for (std::size_t i = 0; i < std::size(kKeyboardKeys); ++i) {
        if (kKeyboardKeys[i].sameFunction(code))
            return i;
    }
    return std::nullopt;
}

} // namespace profile
