#include "platform/device_monitor.h"

#include "platform/debug_output.h"
#include "platform/event.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// A monitor with no device daemon, watching a folder of the test's own for hidraw nodes.
class NodeFolderMonitor : public ::testing::Test {
protected:
    // Waits for the next call; the bound only keeps a broken monitor from hanging the test.
    bool changeArrives() { return changes.waitFor(10s); }

    // Before the monitor, so that its lines are the only ones.
    const bool cleared = (platform::clearDebugLines(), true);
    testing_support::TempDir folder;
    const fs::path missingControl = folder / "run" / "udev" / "control";
    std::atomic<int> calls{0};
    platform::Event changes{platform::Event::ResetPolicy::Automatic};
    platform::DeviceMonitor monitor{"hidraw",
                                    [this] {
                                        ++calls;
                                        changes.set();
                                    },
                                    missingControl, folder.path()};
};

TEST_F(NodeFolderMonitor, ANodeMadeChangedOrRemovedArrivesAsAnEvent)
{
    // Without udevd nothing else would tell the watcher; it would have to list the devices
    // over and over to see a plug.
    ASSERT_TRUE(monitor.isActive());
    EXPECT_TRUE(platform::debugLinesContain(L"no udev daemon"));
    EXPECT_TRUE(platform::debugLinesContain(L"for hidraw nodes"));

    const fs::path node = folder / "hidraw3";
    std::ofstream(node).put('\0');
    EXPECT_TRUE(changeArrives()) << "node made";
    // Permissions given later (by hand, without udev's rules) may let us open it now.
    fs::permissions(node, fs::perms::owner_all | fs::perms::group_read);
    EXPECT_TRUE(changeArrives()) << "node's permissions changed";
    fs::remove(node);
    EXPECT_TRUE(changeArrives()) << "node removed";
    EXPECT_TRUE(monitor.isActive());
}

TEST_F(NodeFolderMonitor, AFolderThatGoesAwayLeavesTheMonitorDeafAndSaysSo)
{
    // A watch on a folder removed or unmounted hears nothing more: the watcher must know,
    // and go back to looking on its own.
    ASSERT_TRUE(monitor.isActive());
    const int before = calls;
    fs::remove_all(folder.path());
    ASSERT_TRUE(changeArrives());
    EXPECT_GT(calls, before);
    EXPECT_FALSE(monitor.isActive());
    EXPECT_TRUE(platform::debugLinesContain(L"no more device events"));
    fs::create_directories(folder.path()); // for the TempDir's own clean-up
}

} // namespace

TEST(DeviceMonitor, WithNeitherADaemonNorANodeFolderItSaysItHearsNothing)
{
    // libudev opens its socket fine with no daemon to send on it; the monitor must not claim
    // to be listening then, or watchers wait for events that never come.
    platform::clearDebugLines();
    const auto missing = fs::temp_directory_path() / "halvek-no-udev";
    const platform::DeviceMonitor monitor(
        "hidraw", [] {}, missing / "control", missing / "dev");
    EXPECT_FALSE(monitor.isActive());
    EXPECT_TRUE(platform::debugLinesContain(L"no udev daemon"));
    EXPECT_TRUE(platform::debugLinesContain(L"looked for on a timer"));
}
