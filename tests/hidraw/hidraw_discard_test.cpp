// Every opener of a hidraw node receives every reply. What another opener's exchanges left
// on this connection must be gone after a discard, however far its reader lags: otherwise
// the next request of this connection takes one of them for its answer.

#include "hidraw/hidraw_run.h"

#include "device/hid/hid_device.h"
#include "device/hid/hid_path.h"
#include "device/protocol/commands.h"
#include "device/protocol/frame.h"
#include "device/usb_ids.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace {

// Set for this binary run again inside halvek-devsim's namespace, where the nodes are.
constexpr const char* kInsideVariable = "HALVEK_HIDRAW_INSIDE";

bool insideNamespace()
{
    const char* inside = std::getenv(kInsideVariable);
    return inside != nullptr && std::string(inside) == "1";
}

std::optional<std::wstring> commandCollectionPath()
{
    CHidDevice lister;
    if (!lister.Enumerate())
        return std::nullopt;
    while (const auto path = lister.NextPath()) {
        const auto ids = hid::parsePath(*path);
        if (ids.productId == usb::kKeyboardCableProductId &&
            ids.collection == usb::kCommandCollection)
            return *path;
    }
    return std::nullopt;
}

} // namespace

// The half that runs inside the namespace; skipped anywhere else.
TEST(HidrawDiscardInside, RepliesToAnotherOpenerNeverReachAReadAfterADiscard)
{
    if (!insideNamespace())
        GTEST_SKIP() << "runs inside halvek-devsim --hidraw only";
    const auto path = commandCollectionPath();
    ASSERT_TRUE(path) << "no command collection listed";
    CHidDevice ours;
    ASSERT_TRUE(ours.Open(*path, hid::kChannelMode));

    // The other opener: a connection of its own on the same node, as another program has.
    // It sends its requests at once and reads its replies after, so they come faster than
    // one exchange at a time.
    CHidDevice other;
    ASSERT_TRUE(other.Open(*path, hid::kChannelMode));
    const auto request =
        protocol::buildReadFrame(protocol::command::kReadInfo, 0, protocol::kInfoBlockSize);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        // As many as its queue keeps; each reached every opener before the other one read it.
        constexpr int kRequests = 30;
        std::uint32_t count = 0;
        for (int i = 0; i < kRequests; ++i)
            ASSERT_EQ(other.Write(request, count, std::chrono::seconds(5)), 1);
        protocol::Frame reply{};
        for (int i = 0; i < kRequests; ++i)
            ASSERT_EQ(other.Read(reply, count, std::chrono::seconds(5)), 1) << i;
        ours.discardInput();
        EXPECT_EQ(ours.Read(reply, count, std::chrono::milliseconds(200)), 0)
            << protocol::describeHeader(reply) << " still came after the discard";
    }
}

TEST(HidrawDiscard, RepliesToAnotherOpenerNeverReachAReadAfterADiscard)
{
    if (insideNamespace())
        GTEST_SKIP() << "the inside half runs here";
    HIDRAW_TESTS_NEED_NODES();
    hidraw_tests::HidrawRun nodes;
    const auto self = std::filesystem::read_symlink("/proc/self/exe").string();
    const auto run =
        nodes.run("--links cable", std::string(kInsideVariable) + "=1 " + self +
                                       " --gtest_filter=HidrawDiscardInside.* --gtest_brief=1");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find("SKIPPED"), std::string::npos) << run.output;
}
