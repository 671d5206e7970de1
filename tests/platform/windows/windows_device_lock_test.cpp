// The Windows device lock's turn: a byte-range lock beside the device's, which a waiting
// live frame holds so that sequences let it have the device first.

#include "platform/device_lock.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <future>
#include <windows.h>

using namespace std::chrono_literals;

TEST(WindowsDeviceLock, SequencesLetAWaitingLiveFrameGoFirst)
{
    testing_support::TempDir folder;
    platform::DeviceLock sequence;
    platform::DeviceLock liveFrame;
    sequence.setFile(folder.path(), "device-test.lock");
    liveFrame.setFile(folder.path(), "device-test.lock");

    // Stand in for a live frame waiting: it holds the turn, the byte after the device's.
    HANDLE waiting = CreateFileW((folder / "device-test.lock").c_str(),
                                 GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(waiting, INVALID_HANDLE_VALUE);
    OVERLAPPED turn{};
    turn.Offset = 1;
    turn.OffsetHigh = 0x7FFFFFFF;
    ASSERT_TRUE(
        LockFileEx(waiting, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &turn));

    EXPECT_FALSE(sequence.acquire(30ms)) << "a sequence took the device from a waiting live frame";
    EXPECT_TRUE(liveFrame.acquire(0ms, platform::DeviceLock::Turn::First));
    liveFrame.release();

    // The turn given up by a program that ended: the sequence waiting gets the device.
    auto waiter = std::async(std::launch::async, [&] { return bool(sequence.acquire(60s)); });
    CloseHandle(waiting);
    ASSERT_EQ(waiter.wait_for(30s), std::future_status::ready);
    EXPECT_TRUE(waiter.get());
}
