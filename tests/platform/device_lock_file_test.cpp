// The Linux lock file's own behaviour: the file goes with its holder, and the turn file a
// waiting live frame holds.

#include "platform/device_lock.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <set>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

class DeviceLockFileTest : public ::testing::Test {
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

TEST_F(DeviceLockFileTest, LettingGoLeavesNoFileAndAWaiterOnTheOldFileStillGetsTheDevice)
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

TEST_F(DeviceLockFileTest, SequencesLetAWaitingLiveFrameGoFirst)
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

TEST_F(DeviceLockFileTest, AStaleTurnFileOfAProgramGoneHoldsNoOneUp)
{
    std::ofstream(folder / "device-test.lock.turn") << "";
    EXPECT_TRUE(first.acquire(0ms));
}

TEST_F(DeviceLockFileTest, ALiveFrameReusesItsFileYetLetsOthersInAndTheLockTakesItAway)
{
    const auto file = folder / "device-test.lock";
    const auto inode = [&file] {
        struct stat info {};
        return ::stat(file.c_str(), &info) == 0 ? info.st_ino : ino_t(0);
    };
    ASSERT_TRUE(first.acquire(0ms, platform::DeviceLock::Turn::First));
    // A waiter must still be woken by a live frame letting go, though the file stays.
    auto waiter = std::async(std::launch::async, [this] { return bool(second.acquire(60s)); });
    first.release();
    ASSERT_EQ(waiter.wait_for(30s), std::future_status::ready);
    ASSERT_TRUE(waiter.get());
    EXPECT_FALSE(first.acquire(0ms, platform::DeviceLock::Turn::First)) << "two holders at once";
    second.release();

    // Frame after frame on the same file, the holder noted each time.
    ino_t kept = 0;
    for (int frame = 0; frame < 3; ++frame) {
        ASSERT_TRUE(first.acquire(0ms, platform::DeviceLock::Turn::First));
        EXPECT_EQ(first.holder()->processId, ::getpid());
        EXPECT_FALSE(second.acquire(0ms)) << "two holders at once";
        first.release();
        if (frame == 0)
            kept = inode();
        EXPECT_EQ(inode(), kept) << "frame " << frame << " made a new file";
    }
    EXPECT_NE(kept, ino_t(0)) << "a live frame deleted its file";

    {
        // The lock going away takes the file with it, unless someone holds it then.
        platform::DeviceLock streamer;
        streamer.setFile(folder.path(), "device-test.lock");
        ASSERT_TRUE(streamer.acquire(0ms, platform::DeviceLock::Turn::First));
        streamer.release();
        ASSERT_TRUE(second.acquire(0ms));
    }
    EXPECT_TRUE(std::filesystem::exists(file)) << "a held file was deleted";
    second.release();
    {
        platform::DeviceLock streamer;
        streamer.setFile(folder.path(), "device-test.lock");
        ASSERT_TRUE(streamer.acquire(0ms, platform::DeviceLock::Turn::First));
        streamer.release();
    }
    first.setFile(folder.path(), "other.lock");
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST(DeviceLockFiles, FilesLeftByHoldersGoneAreRemovedByTheNextTakerAndNoOtherFile)
{
    testing_support::TempDir folder;
    // A killed window leaves its file, named for a device that may never come back (an
    // emulated one is named for the process that served it).
    for (const char* name :
         {"device-sim-4121-0123456789abcdef.lock", "device-sim-4121-0123456789abcdef.lock.turn",
          "device-hidraw3-0123456789abcdef.lock"})
        std::ofstream(folder / name) << "4121 halvek\n";
    // Not lock files of devices, and one a live program holds.
    for (const char* name : {"instance.lock", "device-notes.txt", "device-live.lock"})
        std::ofstream(folder / name) << "";
    platform::DeviceLock live;
    live.setFile(folder.path(), "device-live.lock");
    ASSERT_TRUE(live.acquire(0ms));

    platform::DeviceLock next;
    next.setFile(folder.path(), "device-test.lock");
    std::set<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        left.insert(entry.path().filename().string());
    EXPECT_EQ(left,
              (std::set<std::string>{"instance.lock", "device-notes.txt", "device-live.lock"}));
    EXPECT_TRUE(next.acquire(0ms));
    platform::DeviceLock rival;
    rival.setFile(folder.path(), "device-live.lock");
    EXPECT_FALSE(rival.acquire(0ms)) << "a live holder's file was taken from it";
}
