#include "platform/device_lock.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <set>
#include <sys/file.h>
#include <unistd.h>

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
    const std::string pid = "(pid " + std::to_string(::getpid()) + ")";
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

TEST_F(DeviceLockTest, LettingGoLeavesNoFileAndAWaiterOnTheOldFileStillGetsTheDevice)
{
    ASSERT_TRUE(first.acquire(0ms));
    EXPECT_TRUE(std::filesystem::exists(folder / "device-test.lock")) << "holder note missing";
    // The waiter has the file open before it goes: it must not lock the deleted one, which
    // would leave it and a newcomer both believing they hold the device.
    auto waiter = std::async(std::launch::async, [this] { return bool(second.acquire(60s)); });
    first.release();
    ASSERT_EQ(waiter.wait_for(30s), std::future_status::ready);
    ASSERT_TRUE(waiter.get());
    platform::DeviceLock newcomer;
    newcomer.setFile(folder.path(), "device-test.lock");
    EXPECT_FALSE(newcomer.acquire(0ms)) << "two holders at once";
    EXPECT_EQ(second.holder()->processId, ::getpid());

    second.release();
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST_F(DeviceLockTest, SequencesLetAWaitingLiveFrameGoFirst)
{
    // A waiter that goes first holds the turn file while it waits; stand in for one.
    const auto turn = folder / "device-test.lock.turn";
    const int fd = ::open(turn.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);

    const auto refused = first.acquire(30ms);
    EXPECT_FALSE(refused) << "a sequence took the device from a waiting live frame";
    EXPECT_TRUE(second.acquire(0ms, platform::DeviceLock::Turn::First));
    second.release();

    // The turn handed on, the sequence waiting has the device as soon as it is let go.
    auto waiter = std::async(std::launch::async, [this] { return bool(first.acquire(60s)); });
    ::unlink(turn.c_str());
    ::close(fd);
    ASSERT_EQ(waiter.wait_for(30s), std::future_status::ready);
    EXPECT_TRUE(waiter.get());
}

TEST_F(DeviceLockTest, AStaleTurnFileOfAProgramGoneHoldsNoOneUp)
{
    std::ofstream(folder / "device-test.lock.turn") << "";
    EXPECT_TRUE(first.acquire(0ms));
}
