// The Windows device lock's own behaviour: the turn, a byte-range lock beside the device's
// that a waiting live frame holds so that sequences let it have the device first, and the
// file a live frame keeps open for the next.

#include "platform/device_lock.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <future>
#include <string>
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

namespace {

// Whether anyone has the file open: an open that shares nothing is refused then.
bool openByAnyone(const std::filesystem::path& file)
{
    HANDLE alone = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (alone == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(alone);
    return false;
}

void writeNote(const std::filesystem::path& file, const std::string& note)
{
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    DWORD put = 0;
    EXPECT_TRUE(WriteFile(handle, note.data(), static_cast<DWORD>(note.size()), &put, nullptr));
    EXPECT_TRUE(SetEndOfFile(handle));
    CloseHandle(handle);
}

} // namespace

TEST(WindowsDeviceLock, ALiveFrameKeepsItsFileForTheNextYetLetsOthersInAndNamesItsHolder)
{
    using Turn = platform::DeviceLock::Turn;
    testing_support::TempDir folder;
    const auto file = folder / "device-test.lock";
    platform::DeviceLock frames;
    platform::DeviceLock sequence;
    frames.setFile(folder.path(), "device-test.lock");
    sequence.setFile(folder.path(), "device-test.lock");

    ASSERT_TRUE(frames.acquire(0ms, Turn::First));
    // A waiter must still be woken by a live frame letting go, though its file stays open.
    auto waiter = std::async(std::launch::async, [&] { return bool(sequence.acquire(60s)); });
    frames.release();
    ASSERT_EQ(waiter.wait_for(30s), std::future_status::ready);
    ASSERT_TRUE(waiter.get());
    EXPECT_FALSE(frames.acquire(0ms, Turn::First)) << "two holders at once";
    sequence.release();
    EXPECT_TRUE(openByAnyone(file)) << "the live frame did not keep its file";

    for (int frame = 0; frame < 3; ++frame) {
        // Another program's note between frames is not taken for this one's.
        if (frame == 1)
            writeNote(file, "1 someone\n");
        ASSERT_TRUE(frames.acquire(0ms, Turn::First));
        const auto holder = frames.holder();
        ASSERT_TRUE(holder) << "frame " << frame;
        EXPECT_EQ(holder->processId, static_cast<std::int64_t>(GetCurrentProcessId()));
        EXPECT_FALSE(sequence.acquire(0ms)) << "two holders at once";
        frames.release();
    }

    // A live frame that gave up waiting keeps its file but not its turn: sequences are not
    // held up by a waiter that is gone.
    ASSERT_TRUE(sequence.acquire(0ms));
    EXPECT_FALSE(frames.acquire(30ms, Turn::First));
    sequence.release();
    EXPECT_TRUE(sequence.acquire(0ms)) << "a live frame's turn outlived its wait";

    // A sequence's release, or the lock going, closes the file.
    sequence.release();
    ASSERT_TRUE(frames.acquire(0ms));
    frames.release();
    EXPECT_FALSE(openByAnyone(file));
    {
        platform::DeviceLock streamer;
        streamer.setFile(folder.path(), "device-test.lock");
        ASSERT_TRUE(streamer.acquire(0ms, Turn::First));
        streamer.release();
        EXPECT_TRUE(openByAnyone(file));
    }
    EXPECT_FALSE(openByAnyone(file));
}
