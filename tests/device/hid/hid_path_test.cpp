#include "device/hid/hid_path.h"

#include <gtest/gtest.h>

namespace {

TEST(HidPath, ParsesTheNumbersDetectionMatchesOn)
{
    struct Case {
        const wchar_t* path;
        std::uint16_t vendorId, productId;
        std::uint32_t interfaceNumber, collection;
    };
    const Case cases[] = {
        {L"\\\\?\\hid#vid_36b0&pid_5078&mi_01&col04#7&1a2b&0&0003#{guid}", 0x36B0, 0x5078, 1, 4},
        // A device of one interface and one collection: both numbers are 0.
        {L"\\\\?\\hid#vid_046d&pid_c077#6&3b0f&0&0000#{guid}", 0x046D, 0xC077, 0, 0},
        {L"\\\\?\\hid#vid_046d&pid_c077&col02#x#{guid}", 0x046D, 0xC077, 0, 2},
        // The system writes upper case in some places; tokens match either way.
        {L"\\\\?\\HID#VID_36B0&PID_5001&MI_0A&COL1F#X#{GUID}", 0x36B0, 0x5001, 0x0A, 0x1F},
        // A token without digits reads 0; a run of digits stops at eight.
        {L"\\\\?\\hid#vid_&pid_5078&mi_zz&col123456789#x", 0, 0x5078, 0, 0x12345678},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path, c.path + std::wcslen(c.path)));
        const auto ids = hid::parsePath(c.path);
        EXPECT_EQ(ids.vendorId, c.vendorId);
        EXPECT_EQ(ids.productId, c.productId);
        EXPECT_EQ(ids.interfaceNumber, c.interfaceNumber);
        EXPECT_EQ(ids.collection, c.collection);
    }
}

TEST(HidPath, MadePathsLeaveOutAbsentTokensAndParseBack)
{
    const auto full = hid::makePath(0x36B0, 0x5078, 1, 4, L"sim&2&0");
    EXPECT_EQ(full, L"\\\\?\\hid#vid_36b0&pid_5078&mi_01&col04#sim&2&0"
                    L"#{4d1e55b2-f16f-11cf-88cb-001111000030}");
    const auto bare = hid::makePath(0x36B0, 0x5078, std::nullopt, std::nullopt, L"hidraw0");
    EXPECT_EQ(bare.find(L"&mi_"), std::wstring::npos);
    EXPECT_EQ(bare.find(L"&col"), std::wstring::npos);
    const auto ids = hid::parsePath(full);
    EXPECT_EQ(ids.interfaceNumber, 1u);
    EXPECT_EQ(ids.collection, 4u);
}

TEST(HidPath, LongPathsAreKeptWhole)
{
    // Interface paths can exceed 260 characters; nothing may cut them.
    const std::wstring instance(400, L'a');
    const auto path = hid::makePath(0x36B0, 0x5078, 1, 4, instance);
    EXPECT_GT(path.size(), 400u);
    EXPECT_NE(path.find(instance), std::wstring::npos);
}

} // namespace
