#include "device/hid/hid_device.h"
#include "device/hid/windows/setupapi_backend.h"
#include "device/hid/windows/system_path.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Wine lists no HID devices here; a real Windows machine lists its own. Either way the
// listing succeeds and holds only the system's interfaces.
TEST(SetupApiBackend, AListingWithNoDevicesIsEmptyNotAFailure)
{
    std::vector<std::wstring> paths;
    ASSERT_TRUE(hid::windows::setupApiBackend().enumerate(paths));
    for (const auto& path : paths)
        EXPECT_TRUE(hid::windows::parseSystemPath(path)) << std::string(path.begin(), path.end());

    // Every backend together, with no emulated device: still a listing, not a failure that
    // callers would take as "skip this pass" for good.
    CHidDevice device;
    EXPECT_TRUE(device.Enumerate());
}

TEST(SetupApiBackend, AbsentAndForeignPathsOpenNothing)
{
    auto& backend = hid::windows::setupApiBackend();
    const std::wstring absent = L"\\\\?\\hid#vid_36b0&pid_5078&mi_01&col04#8&1f0e0d&0&0003#"
                                L"{4d1e55b2-f16f-11cf-88cb-001111000030}";
    hid::OpenFailure failure;
    EXPECT_EQ(backend.open(absent, hid::kChannelMode, failure), nullptr);
    EXPECT_FALSE(failure.node.empty()) << "a path of its own that fails is named";
    EXPECT_NE(failure.kind, hid::OpenFailure::Kind::PermissionDenied);
    EXPECT_FALSE(backend.isPresent(absent));

    // The emulated interfaces' paths and overlong ones are not the system's: refused
    // without a word, for their own backends to answer.
    const std::wstring foreign[] = {
        L"\\\\?\\hid#vid_36b0&pid_5078&mi_01&col04#sim&2&0#{4d1e55b2-f16f-11cf-88cb-001111000030}",
        L"\\\\?\\hid#vid_36b0&pid_5078#" + std::wstring(40000, L'a') + L"#{x}",
        L"/dev/hidraw0",
    };
    for (const auto& path : foreign) {
        hid::OpenFailure untouched;
        EXPECT_EQ(backend.open(path, hid::kProbeMode, untouched), nullptr);
        EXPECT_TRUE(untouched.node.empty());
        EXPECT_FALSE(backend.isPresent(path));
    }
}

} // namespace
