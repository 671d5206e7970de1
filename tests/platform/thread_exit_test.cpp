#include "platform/thread_exit.h"

#include "platform/files.h"
#include "platform/message_queue.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

void note(void* log)
{
    auto& lines = *static_cast<std::vector<std::string>*>(log);
    lines.push_back(std::to_string(lines.size()));
}

} // namespace

TEST(ThreadExit, CleanupRunsAsTheThreadEndsInTheOrderGiven)
{
    std::vector<std::string> log;
    std::thread([&] {
        platform::atThreadExit(note, &log);
        platform::atThreadExit(note, &log);
        EXPECT_TRUE(log.empty()) << "ran before the thread ended";
    }).join();
    EXPECT_EQ(log, (std::vector<std::string>{"0", "1"}));
}

// Threads that only looked for a queue, owned one or took a folder lock end without touching
// what their end has freed (under MinGW that crashed the process), and an owned queue's
// windows go with it.
TEST(ThreadExit, PerThreadStateEndsWithItsThread)
{
    testing_support::TempDir folder;
    std::vector<HWND> windows;
    for (int i = 0; i < 16; ++i) {
        std::thread([&, i] {
            EXPECT_EQ(platform::MessageQueue::currentIfAny(), nullptr);
            if (i % 2 == 0) {
                windows.push_back(platform::MessageQueue::current().createWindow(
                    [](HWND, UINT, WPARAM, LPARAM) { return LRESULT{0}; }));
            }
            EXPECT_TRUE(platform::FolderLock::acquire(folder.path()));
        }).join();
    }
    for (const HWND window : windows)
        EXPECT_FALSE(platform::isWindow(window));
}
