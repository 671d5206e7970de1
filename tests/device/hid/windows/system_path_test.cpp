#include "device/hid/windows/system_path.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using hid::windows::parseSystemPath;

std::string narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

TEST(SystemPath, ReadsTheNumbersOfTheHardwareIdInEitherCase)
{
    struct Case {
        std::wstring path;
        std::uint16_t vendorId, productId;
        std::uint32_t interfaceNumber, collection;
    };
    const Case cases[] = {
        // As the system writes them.
        {L"\\\\?\\HID#VID_36B0&PID_5078&MI_01&Col04#8&2ab0d2f1&0&0003#"
         L"{4d1e55b2-f16f-11cf-88cb-001111000030}",
         0x36B0, 0x5078, 1, 4},
        {L"\\\\?\\hid#vid_046d&pid_c52b&mi_02&col0a#8&2ab0d2f1&0&0000#{4d1e55b2}", 0x046D, 0xC52B,
         2, 0x0A},
        // One interface and one collection: the tokens are left out, and read 0.
        {L"\\\\?\\hid#vid_046d&pid_c077#6&3b0f&0&0000#{4d1e55b2}", 0x046D, 0xC077, 0, 0},
        {L"\\\\?\\HID#VID_046D&PID_C077&COL02#6&3b0f#{4d1e55b2}", 0x046D, 0xC077, 0, 2},
        // A Bluetooth device names its ids its own way: the attributes give them.
        {L"\\\\?\\hid#{00001124-0000-1000-8000-00805f9b34fb}_vid&0002046d_pid&b342&col01#9&1#{x}",
         0, 0, 0, 1},
        // Tokens of the instance part are not the device's.
        {L"\\\\?\\hid#vid_046d&pid_c077#7&col09&mi_03#{4d1e55b2}", 0x046D, 0xC077, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(narrow(c.path));
        const auto ids = parseSystemPath(c.path);
        ASSERT_TRUE(ids);
        EXPECT_EQ(ids->vendorId, c.vendorId);
        EXPECT_EQ(ids->productId, c.productId);
        EXPECT_EQ(ids->interfaceNumber, c.interfaceNumber);
        EXPECT_EQ(ids->collection, c.collection);
    }
}

TEST(SystemPath, RefusesWhatIsNotTheSystemsInterface)
{
    const std::wstring refused[] = {
        L"",
        L"\\\\?\\hid#",
        L"\\\\?\\hid#vid_046d&pid_c077",  // no instance
        L"\\\\?\\hid#vid_046d&pid_c077#", // an empty one
        L"\\\\?\\usb#vid_046d&pid_c077#6&3b0f#{x}",
        L"\\\\.\\hid#vid_046d&pid_c077#6&3b0f#{x}",
        L"hid#vid_046d&pid_c077#6&3b0f#{x}",
        // The emulated interfaces look the same but are served by their own backends.
        L"\\\\?\\hid#vid_36b0&pid_5078&mi_01&col04#sim&2&0#{4d1e55b2}",
        L"\\\\?\\HID#VID_36B0&PID_5078&MI_01&COL04#SOCK&1&0#{4d1e55b2}",
        // Numbers without digits or longer than their field: not written by the system, and
        // read as some other device's if cut.
        L"\\\\?\\hid#vid_&pid_5078#x#{x}",
        L"\\\\?\\hid#vid_136b0&pid_5078#x#{x}",
        L"\\\\?\\hid#vid_36b0&pid_50780#x#{x}",
        L"\\\\?\\hid#vid_36b0&pid_5078&mi_001#x#{x}",
        L"\\\\?\\hid#vid_36b0&pid_5078&mi_zz#x#{x}",
        L"\\\\?\\hid#vid_36b0&pid_5078&mi_01&col123456789#x#{x}",
    };
    for (const auto& path : refused) {
        SCOPED_TRACE(narrow(path));
        EXPECT_FALSE(parseSystemPath(path));
    }
}

TEST(SystemPath, LengthsPastWhatTheSystemOpensAreRefusedAndLongOnesKept)
{
    // Well past MAX_PATH but within what the system opens.
    const std::wstring longInstance(2000, L'a');
    const auto longPath = L"\\\\?\\hid#vid_36b0&pid_5078&mi_01&col04#" + longInstance + L"#{x}";
    const auto ids = parseSystemPath(longPath);
    ASSERT_TRUE(ids);
    EXPECT_EQ(ids->collection, 4u);

    std::wstring overlong = L"\\\\?\\hid#vid_36b0&pid_5078#";
    overlong.append(hid::windows::kLongestSystemPath, L'0');
    EXPECT_FALSE(parseSystemPath(overlong));
    // A hardware id of nothing but digits runs to its limit and no further.
    const std::wstring digits = L"\\\\?\\hid#vid_" + std::wstring(30000, L'f') + L"#x#{x}";
    EXPECT_FALSE(parseSystemPath(digits));
}

} // namespace
