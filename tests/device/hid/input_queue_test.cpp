#include "device/hid/input_queue.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>

using namespace std::chrono_literals;

namespace {

struct Popped {
    std::optional<std::uint32_t> marker;
    std::uint8_t first = 0;
};

Popped popEntry(hid::InputQueue& queue)
{
    std::array<std::uint8_t, 2> buffer{};
    Popped popped;
    EXPECT_EQ(queue.popEntry(buffer, 0ms, popped.marker), hid::Transfer::Done);
    popped.first = buffer[0];
    return popped;
}

void pushReport(hid::InputQueue& queue, std::uint8_t value)
{
    const std::array<std::uint8_t, 2> report{value, value};
    queue.push(report);
}

} // namespace

// The device server relies on a marker keeping its place: one lost or moved would let a
// stale report through a client's discard, or hold that client's reads for good.
TEST(InputQueue, MarkersKeepTheirPlaceThroughAClearAndAFullQueue)
{
    hid::InputQueue queue(2);
    pushReport(queue, 1);
    queue.pushMarker(7);
    pushReport(queue, 2);
    queue.clear();
    // More reports than the queue keeps: the oldest reports go, never the markers.
    constexpr int kFirst = 10;
    constexpr int kEnd = kFirst + int(hid::InputQueue::kCapacity) + 5;
    for (int value = kFirst; value < kEnd; ++value)
        pushReport(queue, std::uint8_t(value));
    queue.pushMarker(8);
    pushReport(queue, 100);

    EXPECT_EQ(popEntry(queue).marker, 7u);
    // The report after the second marker took one more place.
    for (int value = kFirst + 5 + 1; value < kEnd; ++value) {
        const Popped popped = popEntry(queue);
        ASSERT_FALSE(popped.marker) << value;
        EXPECT_EQ(popped.first, value);
    }
    EXPECT_EQ(popEntry(queue).marker, 8u);
    const Popped last = popEntry(queue);
    EXPECT_FALSE(last.marker);
    EXPECT_EQ(last.first, 100);

    // A plain read passes markers over.
    queue.pushMarker(9);
    pushReport(queue, 5);
    std::array<std::uint8_t, 2> buffer{};
    ASSERT_EQ(queue.pop(buffer, 0ms), hid::Transfer::Done);
    EXPECT_EQ(buffer[0], 5);
    std::optional<std::uint32_t> marker;
    EXPECT_EQ(queue.popEntry(buffer, 0ms, marker), hid::Transfer::TimedOut);
}
