// A hidraw node's device side without FUSE: what open files of the node see of the emulated
// interface behind it.

#include "devsim/hidraw/hidraw_node.h"

#include "device/usb_ids.h"
#include "devsim/keyboard_interfaces.h"
#include "platform/event.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <memory>
#include <mutex>
#include <optional>

namespace {

using devsim::hidraw::HidrawNode;
using devsim::hidraw::OpenFile;

// The plugged interface of the cable with this number, as the bridge gets it.
std::optional<hid::sim::PluggedInterface> pluggedInterface(std::uint32_t number)
{
    for (auto& interface : hid::sim::pluggedInterfaces()) {
        if (interface.identity.productId == usb::kKeyboardCableProductId &&
            interface.identity.interfaceNumber == number)
            return interface;
    }
    return std::nullopt;
}

class NodeDeviceSide : public ::testing::Test {
protected:
    void SetUp() override { interfaces.plug(); }

    std::unique_ptr<HidrawNode> node(std::uint32_t number)
    {
        const auto interface = pluggedInterface(number);
        return interface ? std::make_unique<HidrawNode>("hidraw0", *interface) : nullptr;
    }

    // Without a responder every command frame gets a success echo.
    devsim::KeyboardInterfaces interfaces{devsim::KeyboardLink::Cable};
};

TEST_F(NodeDeviceSide, ACommandGoesToItsCollectionAndTheReplyToEveryOpenFile)
{
    const auto composite = node(usb::kCommandInterface);
    ASSERT_TRUE(composite);
    int error = 0;
    const auto first = composite->open(error);
    const auto second = composite->open(error);
    ASSERT_TRUE(first && second);

    std::array<std::uint8_t, 64> frame{usb::kCommandReportId, 0x09, 0x00, 0x01};
    EXPECT_EQ(composite->write(frame), 64);
    for (const auto& file : {first, second}) {
        std::array<std::uint8_t, 80> reply{};
        ASSERT_EQ(file->read(reply, true), 64);
        EXPECT_EQ(reply[0], usb::kCommandReportId);
        EXPECT_EQ(reply[3], 0x01);
        EXPECT_EQ(reply[devsim::KeyboardInterfaces::kStatusByte],
                  devsim::KeyboardInterfaces::kStatusOk);
        EXPECT_EQ(file->read(reply, false), -EAGAIN);
    }
    // A report id no collection of the interface takes goes nowhere, and says so.
    const std::array<std::uint8_t, 8> stray{0x7F};
    EXPECT_EQ(composite->write(stray), -EINVAL);
    EXPECT_EQ(composite->write({}), -EINVAL);
}

TEST_F(NodeDeviceSide, AfterTheUnplugReadsFailWithEioAndWritesAndOpensWithEnodev)
{
    const auto composite = node(usb::kCommandInterface);
    ASSERT_TRUE(composite);
    int error = 0;
    const auto file = composite->open(error);
    ASSERT_TRUE(file);
    platform::Event notified{platform::Event::ResetPolicy::Manual};
    file->setReadyCallback([&notified] { notified.set(); });

    interfaces.unplug();
    std::array<std::uint8_t, 64> buffer{};
    EXPECT_EQ(file->read(buffer, true), -EIO); // the waiting read ends, not hangs
    EXPECT_TRUE(file->isGone());
    // A poll waiting on the file wakes with the hang-up.
    EXPECT_TRUE(notified.waitFor(std::chrono::seconds(5)));
    EXPECT_EQ(composite->write(buffer), -ENODEV);
    EXPECT_EQ(composite->open(error), nullptr);
    EXPECT_EQ(error, ENODEV);
}

TEST_F(NodeDeviceSide, UnnumberedReportsArriveWithoutAnIdByte)
{
    const auto boot = node(usb::kBootKeyboardInterface);
    ASSERT_TRUE(boot);
    int error = 0;
    const auto file = boot->open(error);
    ASSERT_TRUE(file);
    const std::array<std::uint8_t, 9> report{0x00, 0x02, 0x00, 0x04};
    ASSERT_TRUE(interfaces.bootInterface().queueInput(report));
    std::array<std::uint8_t, 64> buffer{};
    ASSERT_EQ(file->read(buffer, true), 8);
    EXPECT_EQ(buffer[0], 0x02); // left Shift
    EXPECT_EQ(buffer[2], 0x04); // A
}

TEST_F(NodeDeviceSide, AnInterfaceThatRefusesThisProcessIsServedButRefusesOpens)
{
    interfaces.bootInterface().denyAccess(true);
    const auto boot = node(usb::kBootKeyboardInterface);
    ASSERT_TRUE(boot);
    EXPECT_TRUE(boot->isDenied());
    int error = 0;
    EXPECT_EQ(boot->open(error), nullptr);
    EXPECT_EQ(error, EACCES);
}

TEST(OpenFile, AFullQueueDropsNewReportsAndAReadTakesAtMostItsBuffer)
{
    const auto nodeLock = std::make_shared<std::mutex>();
    const std::array<std::shared_ptr<OpenFile>, 1> files{std::make_shared<OpenFile>(nodeLock)};
    OpenFile& file = *files[0];
    for (std::uint8_t i = 0; i < OpenFile::kQueueLength + 6; ++i)
        OpenFile::pushToAll(files, std::array<std::uint8_t, 3>{i, i, i});
    // A file opened later still gets the next report, beside the full one.
    const std::array<std::shared_ptr<OpenFile>, 2> both{files[0],
                                                        std::make_shared<OpenFile>(nodeLock)};
    OpenFile::pushToAll(both, std::array<std::uint8_t, 3>{0xEE, 0xEE, 0xEE});
    std::array<std::uint8_t, 8> later{};
    ASSERT_EQ(both[1]->read(later, false), 3);
    EXPECT_EQ(later[0], 0xEE);

    std::array<std::uint8_t, 2> small{};
    ASSERT_EQ(file.read(small, false), 2); // the rest of that report is gone, as with hidraw
    EXPECT_EQ(small[0], 0);
    std::size_t left = 0;
    std::array<std::uint8_t, 8> buffer{};
    std::uint8_t last = 0;
    while (file.read(buffer, false) == 3) {
        ++left;
        last = buffer[0];
    }
    EXPECT_EQ(left, OpenFile::kQueueLength - 1);
    EXPECT_EQ(last, OpenFile::kQueueLength - 1); // the oldest kept, the newest dropped
    file.interrupt();
    EXPECT_EQ(file.read(buffer, true), -EINTR);
}

} // namespace
