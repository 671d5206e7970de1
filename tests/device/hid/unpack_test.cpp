#include "device/hid/hid_device.h"

#include "device/hid/report_values.h"
#include "device/hid/sim/sim_interface.h"
#include "devsim/keyboard_interfaces.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// Three buttons, 16-bit signed X/Y with a physical range, and a wheel without one.
const Bytes kMouse{0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09, 0x19,
                   0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02,
                   0x95, 0x01, 0x75, 0x05, 0x81, 0x01, 0x05, 0x01, 0x16, 0x00, 0xF0, 0x26, 0xFF,
                   0x0F, 0x36, 0x00, 0xF8, 0x46, 0xFF, 0x07, 0x75, 0x10, 0x95, 0x02, 0x09, 0x30,
                   0x09, 0x31, 0x81, 0x06, 0x35, 0x00, 0x45, 0x00, 0x15, 0x81, 0x25, 0x7F, 0x75,
                   0x08, 0x95, 0x01, 0x09, 0x38, 0x81, 0x06, 0xC0, 0xC0};

// Opens the only collection of a plugged simulated interface and reads one report.
class UnpackTest : public ::testing::Test {
protected:
    void attach(std::span<const std::uint8_t> descriptor)
    {
        m_interface = std::make_unique<hid::sim::SimInterface>(
            hid::sim::InterfaceIdentity{0x1234, 0x0001, 0x0100, std::nullopt}, descriptor);
        m_interface->plug();
        ASSERT_TRUE(device.Open(m_interface->path(1), hid::kProbeMode));
    }

    Bytes roundTrip(const Bytes& report)
    {
        EXPECT_TRUE(m_interface->queueInput(report));
        Bytes buffer(device.caps().inputReportByteLength);
        std::uint32_t count = 0;
        EXPECT_EQ(device.Read(buffer, count, 1000ms), 1);
        return buffer;
    }

    CHidDevice device;

private:
    std::unique_ptr<hid::sim::SimInterface> m_interface;
};

TEST_F(UnpackTest, BootKeyboardGivesModifiersAndPressedKeys)
{
    attach(devsim::bootKeyboardDescriptor());
    // Left shift and right alt; keys A and C in the array, the other slots empty.
    const auto report = roundTrip({0x00, 0x42, 0x00, 0x04, 0x06, 0x00, 0x00, 0x00, 0x00});
    ASSERT_EQ(device.UnpackInputReport(report), hid::kStatusSuccess);
    const auto& data = device.inputData();
    ASSERT_EQ(data.size(), 2u);
    EXPECT_EQ(data[0].usages[0], 0xE1);
    EXPECT_EQ(data[0].usages[1], 0xE6);
    EXPECT_EQ(data[0].usages[2], 0); // the list ends with a 0
    // Both caps are on the keyboard page: each list can hold all 8 + 6 of its usages.
    EXPECT_EQ(data[1].maxUsageListLength, 14u);
    ASSERT_EQ(data[1].usages.size(), 14u);
    EXPECT_EQ(data[1].usages[0], 0x04);
    EXPECT_EQ(data[1].usages[1], 0x06);
    EXPECT_EQ(data[1].usages[2], 0);
}

TEST_F(UnpackTest, MouseValuesAndScaling)
{
    attach(kMouse);
    // Buttons 1 and 3, X and Y at the ends of their logical range, wheel = -1.
    const auto report = roundTrip({0x00, 0x05, 0x00, 0xF0, 0xFF, 0x0F, 0xFF});
    ASSERT_EQ(device.UnpackInputReport(report), hid::kStatusSuccess);
    const auto& data = device.inputData();
    ASSERT_EQ(data.size(), 4u);
    EXPECT_EQ(data[0].usages[0], 1);
    EXPECT_EQ(data[0].usages[1], 3);
    EXPECT_EQ(data[1].usage, 0x30);
    EXPECT_EQ(data[1].value, 0xF000u);     // raw field bits
    EXPECT_EQ(data[1].scaledValue, -2048); // -4096..4095 onto -2048..2047
    EXPECT_EQ(data[2].scaledValue, 2047);
    EXPECT_EQ(data[3].value, 0xFFu);
    EXPECT_EQ(data[3].scaledValue, 0); // no physical range: nothing to scale to
    EXPECT_TRUE(data[3].isSet);
}

TEST_F(UnpackTest, ShortReportEndsUnpackingWithTheLengthStatus)
{
    attach(kMouse);
    const std::array<std::uint8_t, 3> truncated{0x00, 0x01, 0x02};
    EXPECT_EQ(device.UnpackInputReport(truncated), hid::kStatusInvalidReportLength);
    EXPECT_EQ(device.UnpackInputReport({}), hid::kStatusInvalidReportLength);
}

TEST_F(UnpackTest, EntriesOfOtherReportIdsStayUntouched)
{
    devsim::KeyboardInterfaces keyboard(devsim::KeyboardLink::Cable);
    keyboard.plug();
    ASSERT_TRUE(device.Open(keyboard.compositeInterface().path(3), hid::kProbeMode));
    const std::array<std::uint8_t, 3> otherId{0x02, 0x01, 0x04};
    ASSERT_EQ(device.UnpackInputReport(otherId), hid::kStatusSuccess);
    for (const auto& entry : device.inputData())
        EXPECT_FALSE(entry.isSet);
}

} // namespace
