#include "platform/device_lock.h"

#include "support/system_traits.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <set>

using namespace std::chrono_literals;

namespace {

// Two holders of one device, as two programs would be: each DeviceLock is its own holder.
class DeviceLockTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        first.setFile(folder.path(), "device-test.lock");
        second.setFile(folder.path(), "device-test.lock");
    }

    testing_support::TempDir folder;
    platform::DeviceLock first;
    platform::DeviceLock second;
};

} // namespace

TEST_F(DeviceLockTest, ASecondHolderIsRefusedWithTheFirstOnesPidAndName)
{
    ASSERT_TRUE(first.acquire(0ms));
    const auto refused = second.acquire(50ms);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code, platform::Error::Code::Timeout);
    const std::string pid = "(pid " + std::to_string(testing_support::currentProcessId()) + ")";
    EXPECT_NE(refused.error().message.find(pid), std::string::npos) << refused.error().message;
    EXPECT_NE(refused.error().message.find("platform_tests"), std::string::npos)
        << refused.error().message;
    EXPECT_FALSE(second.isHeld());

    first.release();
    EXPECT_TRUE(second.acquire(0ms));
}

TEST_F(DeviceLockTest, AWaiterTakesTheDeviceAsSoonAsTheHolderLetsGo)
{
    ASSERT_TRUE(first.acquire(0ms));
    // The bound is far past any test machine's delay: reaching it means the release was
    // not noticed and the waiter slept out its whole wait.
    auto waiter = std::async(std::launch::async, [this] { return bool(second.acquire(60s)); });
    first.release();
    ASSERT_EQ(waiter.wait_for(30s), std::future_status::ready);
    EXPECT_TRUE(waiter.get());
    EXPECT_TRUE(second.isHeld());
}

TEST_F(DeviceLockTest, AnUnreadableNoteStillRefusesWithoutNamingAnyone)
{
    ASSERT_TRUE(first.acquire(0ms));
    std::ofstream(folder / "device-test.lock", std::ios::trunc) << "\x01\x02 garbage";
    const auto refused = second.acquire(0ms);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().message, "device held by another program");
}

TEST_F(DeviceLockTest, AFolderThatCannotHoldTheFileIsAnErrorNotAHold)
{
    platform::DeviceLock nowhere;
    nowhere.setFile(folder / "missing" / "deeper", "device-test.lock");
    const auto result = nowhere.acquire(0ms);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().code, platform::Error::Code::Io);
}

TEST(DeviceLockName, NamesAreSafeBoundedAndDistinct)
{
    const std::wstring identities[] = {
        L"hidraw-/dev/hidraw3",
        L"hidraw-/dev/hidraw30",
        L"HIDRAW-/dev/hidraw3", // case is the caller's business: it lowers before
        L"devsim-4121-\\\\?\\hid#vid_36b0&pid_5078&mi_01#sim&1&0",
        L"../../etc/passwd",
        std::wstring(4000, L'x'),
        L"",
    };
    std::set<std::string> names;
    for (const auto& identity : identities) {
        const std::string name = platform::deviceLockName(identity);
        SCOPED_TRACE(name);
        EXPECT_LE(name.size(), 100u);
        EXPECT_EQ(name.find('/'), std::string::npos);
        EXPECT_EQ(name.find(".."), std::string::npos);
        EXPECT_TRUE(name.ends_with(".lock"));
        names.insert(name);
    }
    EXPECT_EQ(names.size(), std::size(identities));
    EXPECT_EQ(platform::deviceLockName(L"hidraw-/dev/hidraw3"),
              platform::deviceLockName(L"hidraw-/dev/hidraw3"));
}

TEST(DeviceLockNote, OnlyAWellFormedNoteNamesItsHolder)
{
    const auto holder = platform::parseLockHolder("4121 halvek\n");
    ASSERT_TRUE(holder);
    EXPECT_EQ(holder->processId, 4121);
    EXPECT_EQ(holder->program, "halvek");
    EXPECT_EQ(platform::parseLockHolder("77 two words")->program, "two words");
    for (const std::string_view bad : {"", "4121", "0 halvek", "-5 halvek", "41x21 halvek",
                                       "99999999999999999999 halvek", "12 hal\x1bvek"})
        EXPECT_FALSE(platform::parseLockHolder(bad)) << bad;
}
