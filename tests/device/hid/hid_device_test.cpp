#include "device/hid/hid_device.h"

#include "device/hid/hid_path.h"
#include "device/hid/hid_presence.h"
#include "device/hid/report_values.h"
#include "device/hid/sim/sim_interface.h"
#include "device/usb_ids.h"
#include "devsim/keyboard_interfaces.h"
#include "platform/event.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using devsim::KeyboardInterfaces;
using devsim::KeyboardLink;

// Bounds a wait for another thread, so a broken stop fails the test instead of hanging it.
constexpr auto kBoundedWait = 10s;

std::array<std::uint8_t, 64> commandFrame(std::uint8_t command)
{
    std::array<std::uint8_t, 64> frame{};
    frame[0] = usb::kCommandReportId;
    frame[1] = command;
    frame[3] = command;
    return frame;
}

// A transfer run on a thread of its own, with an event raised when it has returned.
class BackgroundTransfer {
public:
    template <class Transfer> explicit BackgroundTransfer(Transfer transfer)
    {
        m_thread = std::thread([this, transfer] {
            m_started.set();
            m_result = transfer(m_bytes);
            m_finished.set();
        });
        m_started.wait();
    }
    ~BackgroundTransfer() { m_thread.join(); }

    bool finishes() { return m_finished.waitFor(kBoundedWait); }
    int result() const { return m_result; }
    std::uint32_t bytes() const { return m_bytes; }

private:
    platform::Event m_started{platform::Event::ResetPolicy::Manual};
    platform::Event m_finished{platform::Event::ResetPolicy::Manual};
    std::atomic<int> m_result{-1};
    std::uint32_t m_bytes = 0xFFFF;
    std::thread m_thread;
};

class KeyboardLinkTest : public ::testing::Test {
protected:
    void SetUp() override { keyboard.plug(); }

    std::wstring commandPath()
    {
        return keyboard.compositeInterface().path(usb::kCommandCollection);
    }
    std::wstring consumerPath()
    {
        return keyboard.compositeInterface().path(usb::kConsumerCollection);
    }

    KeyboardInterfaces keyboard{KeyboardLink::Cable};
    CHidDevice device;
    std::array<std::uint8_t, 64> reply{};
    std::uint32_t count = 0;
};

TEST_F(KeyboardLinkTest, EnumerationListsEveryCollectionOfThePluggedInterfaces)
{
    ASSERT_TRUE(device.Enumerate());
    std::vector<std::wstring> paths;
    while (auto path = device.NextPath())
        paths.push_back(*path);
    EXPECT_NE(std::find(paths.begin(), paths.end(), commandPath()), paths.end());
    EXPECT_NE(std::find(paths.begin(), paths.end(), consumerPath()), paths.end());
    EXPECT_FALSE(device.NextPath());

    keyboard.unplug();
    ASSERT_TRUE(device.Enumerate());
    while (auto path = device.NextPath())
        EXPECT_NE(*path, commandPath());
}

TEST_F(KeyboardLinkTest, PresenceFollowsPlugAndUnplug)
{
    EXPECT_TRUE(hid::isPathPresent(commandPath()));
    std::wstring otherCollection = commandPath();
    otherCollection.replace(otherCollection.find(L"&col04"), 6, L"&col07");
    EXPECT_FALSE(hid::isPathPresent(otherCollection));
    keyboard.unplug();
    EXPECT_FALSE(hid::isPathPresent(commandPath()));
    keyboard.plug();
    EXPECT_TRUE(hid::isPathPresent(commandPath()));
    EXPECT_FALSE(hid::isPathPresent(hid::makePath(1, 2, 1, 4, L"hidraw4095")));
    EXPECT_FALSE(hid::isPathPresent(hid::makePath(1, 2, 1, 4, L"hidraw/../../x")));
}

TEST_F(KeyboardLinkTest, OpenLearnsIdsCapsAndNumbersFromThePath)
{
    ASSERT_TRUE(device.Open(commandPath(), hid::kChannelMode));
    EXPECT_EQ(device.attributes().vendorId, usb::kHalvekVendorId);
    EXPECT_EQ(device.attributes().productId, usb::kKeyboardCableProductId);
    EXPECT_EQ(device.caps().usagePage, usb::kCommandUsagePage);
    EXPECT_EQ(device.caps().usage, usb::kCommandUsage);
    EXPECT_EQ(device.caps().inputReportByteLength, 64);
    EXPECT_EQ(device.caps().outputReportByteLength, 64);
    // No feature reports: empty lists and a zero length, and the open still succeeds.
    EXPECT_EQ(device.caps().featureReportByteLength, 0);
    EXPECT_TRUE(device.featureData().empty());
    EXPECT_EQ(device.interfaceNumber(), 1u);
    EXPECT_EQ(device.collectionNumber(), 4u);

    ASSERT_TRUE(device.Open(keyboard.bootInterface().path(1), hid::kProbeMode));
    EXPECT_EQ(device.interfaceNumber(), 0u);
    EXPECT_EQ(device.collectionNumber(), 0u); // one collection: no "&col" in its path
    EXPECT_EQ(device.caps().inputReportByteLength, 9);
}

TEST_F(KeyboardLinkTest, CommandFrameGetsTheEchoReply)
{
    ASSERT_TRUE(device.Open(commandPath(), hid::kChannelMode));
    const auto frame = commandFrame(0x12);
    ASSERT_EQ(device.Write(frame, count, 1000ms), 1);
    EXPECT_EQ(count, 64u);
    ASSERT_EQ(device.Read(reply, count, 1000ms), 1);
    EXPECT_EQ(count, 64u);
    EXPECT_EQ(reply[0], usb::kCommandReportId);
    EXPECT_EQ(reply[3], 0x12);
    EXPECT_EQ(reply[KeyboardInterfaces::kStatusByte], KeyboardInterfaces::kStatusOk);
}

TEST_F(KeyboardLinkTest, ReadTimesOutThenReadsTheNextReport)
{
    ASSERT_TRUE(device.Open(commandPath(), hid::kChannelMode));
    EXPECT_EQ(device.Read(reply, count, 20ms), 0);
    EXPECT_EQ(count, 0u);
    ASSERT_EQ(device.Write(commandFrame(1), count, 1000ms), 1);
    EXPECT_EQ(device.Read(reply, count, 1000ms), 1);
    EXPECT_EQ(reply[3], 1);
}

TEST_F(KeyboardLinkTest, ReportsGoOnlyToTheCollectionOwningTheirId)
{
    CHidDevice consumer;
    ASSERT_TRUE(device.Open(commandPath(), hid::kChannelMode));
    ASSERT_TRUE(consumer.Open(consumerPath(), hid::kChannelMode));
    ASSERT_TRUE(keyboard.sendConsumerUsage(0x0401));
    ASSERT_EQ(device.Write(commandFrame(2), count, 1000ms), 1);

    ASSERT_EQ(device.Read(reply, count, 1000ms), 1);
    EXPECT_EQ(reply[0], usb::kCommandReportId);
    EXPECT_EQ(device.Read(reply, count, 0ms), 0); // the consumer report is not ours

    std::array<std::uint8_t, 3> report{};
    ASSERT_EQ(consumer.Read(report, count, 1000ms), 1);
    EXPECT_EQ(report[0], usb::kConsumerReportId);
    EXPECT_EQ(consumer.Read(report, count, 0ms), 0);

    ASSERT_EQ(consumer.UnpackInputReport(report), hid::kStatusSuccess);
    ASSERT_FALSE(consumer.inputData().empty());
    const auto& first = consumer.inputData().front();
    EXPECT_TRUE(first.isButton);
    EXPECT_TRUE(first.isSet);
    ASSERT_FALSE(first.usages.empty());
    EXPECT_EQ(first.usages[0], 0x0401);
}

TEST_F(KeyboardLinkTest, ShortAndLongReportsAreFittedToTheReportLength)
{
    ASSERT_TRUE(device.Open(commandPath(), hid::kChannelMode));
    const std::vector<std::uint8_t> shortReport{usb::kCommandReportId, 0xAA, 0xBB};
    std::vector<std::uint8_t> longReport(200, 0xCC);
    longReport[0] = usb::kCommandReportId;

    reply.fill(0x55);
    ASSERT_TRUE(keyboard.compositeInterface().queueInput(shortReport));
    ASSERT_EQ(device.Read(reply, count, 1000ms), 1);
    EXPECT_EQ(count, 64u);
    EXPECT_EQ(reply[2], 0xBB);
    EXPECT_EQ(reply[3], 0x00); // padded, not left from before
    EXPECT_EQ(reply[63], 0x00);

    // Read into the first 64 bytes of a larger buffer: the rest must stay untouched.
    std::array<std::uint8_t, 80> big{};
    big.fill(0x77);
    ASSERT_TRUE(keyboard.compositeInterface().queueInput(longReport));
    ASSERT_EQ(device.Read(big, count, 1000ms), 1);
    EXPECT_EQ(count, 64u);
    EXPECT_EQ(big[63], 0xCC);
    EXPECT_EQ(big[64], 0x77);

    // A buffer shorter than the report is refused rather than overrun.
    std::array<std::uint8_t, 16> small{};
    ASSERT_TRUE(keyboard.compositeInterface().queueInput(shortReport));
    EXPECT_EQ(device.Read(small, count, 1000ms), 0);
    EXPECT_EQ(count, 0u);
}

TEST_F(KeyboardLinkTest, WritesOfTheWrongShapeAreRefused)
{
    ASSERT_TRUE(device.Open(commandPath(), hid::kChannelMode));
    const std::array<std::uint8_t, 10> shortFrame{usb::kCommandReportId};
    EXPECT_EQ(device.Write(shortFrame, count, 1000ms), 0);
    auto wrongId = commandFrame(1);
    wrongId[0] = usb::kConsumerReportId; // another collection's report
    EXPECT_EQ(device.Write(wrongId, count, 1000ms), 0);
    EXPECT_EQ(count, 0u);

    CHidDevice probe;
    ASSERT_TRUE(probe.Open(commandPath(), hid::kProbeMode));
    EXPECT_EQ(probe.Write(commandFrame(1), count, 1000ms), 0); // opened without write access
}

TEST_F(KeyboardLinkTest, CloseEndsAWaitingReadWithZero)
{
    ASSERT_TRUE(device.Open(commandPath(), hid::kChannelMode));
    BackgroundTransfer read([&](std::uint32_t& bytes) {
        std::array<std::uint8_t, 64> buffer{};
        return device.Read(buffer, bytes, 600s);
    });
    device.Close();
    ASSERT_TRUE(read.finishes());
    EXPECT_EQ(read.result(), 0);
    EXPECT_EQ(read.bytes(), 0u);
    EXPECT_FALSE(device.isOpen());
}

TEST_F(KeyboardLinkTest, CloseEndsAWaitingWriteWithZero)
{
    ASSERT_TRUE(device.Open(commandPath(), hid::kChannelMode));
    keyboard.compositeInterface().holdWrites(true);
    BackgroundTransfer write(
        [&](std::uint32_t& bytes) { return device.Write(commandFrame(3), bytes, 600s); });
    device.Close();
    ASSERT_TRUE(write.finishes());
    EXPECT_EQ(write.result(), 0);
    keyboard.compositeInterface().holdWrites(false);
}

TEST_F(KeyboardLinkTest, HeldWriteTimesOut)
{
    ASSERT_TRUE(device.Open(commandPath(), hid::kChannelMode));
    keyboard.compositeInterface().holdWrites(true);
    EXPECT_EQ(device.Write(commandFrame(3), count, 20ms), 0);
    EXPECT_EQ(count, 0u);
    keyboard.compositeInterface().holdWrites(false);
    EXPECT_EQ(device.Write(commandFrame(3), count, 1000ms), 1);
}

TEST_F(KeyboardLinkTest, CloseWithNoTransferDoesNotFailTheNextOpen)
{
    // A stop raised while nobody waits must not end the first read after re-opening.
    ASSERT_TRUE(device.Open(commandPath(), hid::kChannelMode));
    device.Close();
    ASSERT_TRUE(device.Open(commandPath(), hid::kChannelMode));
    ASSERT_EQ(device.Write(commandFrame(5), count, 1000ms), 1);
    EXPECT_EQ(device.Read(reply, count, 1000ms), 1);
}

TEST_F(KeyboardLinkTest, ReopenWithAnotherPathReleasesTheFirst)
{
    // An exclusive open keeps writers out; once re-opened elsewhere, they get in again.
    hid::OpenMode exclusive = hid::kChannelMode;
    exclusive.exclusive = true;
    ASSERT_TRUE(device.Open(commandPath(), exclusive));
    CHidDevice other;
    EXPECT_FALSE(other.Open(commandPath(), hid::kChannelMode));

    ASSERT_TRUE(device.Open(consumerPath(), hid::kChannelMode));
    EXPECT_EQ(device.collectionNumber(), usb::kConsumerCollection);
    EXPECT_EQ(device.caps().usagePage, usb::kConsumerUsagePage);
    ASSERT_TRUE(other.Open(commandPath(), hid::kChannelMode));
    EXPECT_EQ(other.Write(commandFrame(6), count, 1000ms), 1);
    EXPECT_EQ(device.Read(reply, count, 0ms), 0); // the reply is the command collection's
}

TEST_F(KeyboardLinkTest, UnpluggingEndsAWaitingReadAndFailsLaterTransfers)
{
    ASSERT_TRUE(device.Open(commandPath(), hid::kChannelMode));
    BackgroundTransfer read([&](std::uint32_t& bytes) {
        std::array<std::uint8_t, 64> buffer{};
        return device.Read(buffer, bytes, 600s);
    });
    keyboard.unplug();
    ASSERT_TRUE(read.finishes());
    EXPECT_EQ(read.result(), 0);
    EXPECT_EQ(device.Write(commandFrame(1), count, 1000ms), 0);
    EXPECT_EQ(device.Read(reply, count, 1000ms), 0);

    // Plugged again, the old handle stays dead and a new open works.
    keyboard.plug();
    EXPECT_EQ(device.Write(commandFrame(1), count, 1000ms), 0);
    ASSERT_TRUE(device.Open(commandPath(), hid::kChannelMode));
    EXPECT_EQ(device.Write(commandFrame(1), count, 1000ms), 1);
}

TEST(SimulatedUnplug, BetweenWriteAndReadFailsTheRead)
{
    // The device takes the request and vanishes before it answers.
    std::unique_ptr<hid::sim::SimInterface> link;
    link = std::make_unique<hid::sim::SimInterface>(
        hid::sim::InterfaceIdentity{usb::kHalvekVendorId, usb::kKeyboardCableProductId, 1,
                                    usb::kCommandInterface},
        devsim::compositeDescriptor(),
        [&](std::uint32_t, std::span<const std::uint8_t>) { link->unplug(); });
    link->plug();
    CHidDevice device;
    ASSERT_TRUE(device.Open(link->path(usb::kCommandCollection), hid::kChannelMode));
    std::uint32_t count = 0;
    EXPECT_EQ(device.Write(commandFrame(7), count, 1000ms), 1);
    std::array<std::uint8_t, 64> reply{};
    EXPECT_EQ(device.Read(reply, count, 600s), 0);
    EXPECT_FALSE(link->isPlugged());
}

TEST(SimulatedInterface, OpenFailsForPathsThatAreNotPresent)
{
    CHidDevice device;
    KeyboardInterfaces keyboard(KeyboardLink::Receiver);
    const std::wstring path = keyboard.compositeInterface().path(usb::kCommandCollection);
    EXPECT_FALSE(device.Open(path, hid::kChannelMode)); // not plugged yet
    keyboard.plug();
    EXPECT_FALSE(device.Open(path.substr(0, path.size() - 2), hid::kChannelMode));
    std::wstring otherCollection = path;
    otherCollection.replace(otherCollection.find(L"&col04"), 6, L"&col09");
    EXPECT_FALSE(device.Open(otherCollection, hid::kChannelMode));
    EXPECT_FALSE(device.isOpen());
    EXPECT_TRUE(device.Open(path, hid::kChannelMode));
}

TEST(HidrawBackend, NodeThatIsNotThereFailsToOpen)
{
    // Runs the real hidapi listing; no such node exists here or on a test machine.
    CHidDevice device;
    EXPECT_FALSE(
        device.Open(hid::makePath(0x36B0, 0x5078, 1, 4, L"hidraw4095"), hid::kChannelMode));
    EXPECT_FALSE(device.isOpen());
    std::uint32_t count = 7;
    std::array<std::uint8_t, 64> buffer{};
    EXPECT_EQ(device.Read(buffer, count, 0ms), 0);
    EXPECT_EQ(count, 0u);
}

} // namespace
