#include "device/detect/link_steps.h"

#include <gtest/gtest.h>

using detect::ArrivalAction;
using detect::RemovalAction;

namespace {

constexpr std::size_t kKeyboardCable = 0;
constexpr std::size_t kKeyboardCableConsumer = 1;
constexpr std::size_t kKeyboardReceiver = 2;
constexpr std::size_t kMousePad = 8;

std::vector<detect::SupportedInterface> rowsWithPresent(std::initializer_list<std::size_t> present)
{
    std::vector<detect::SupportedInterface> rows(detect::supportedInterfaces().begin(),
                                                 detect::supportedInterfaces().end());
    for (auto index : present) {
        rows[index].present = true;
        rows[index].path = L"path" + std::to_wstring(index);
    }
    return rows;
}

} // namespace

TEST(LinkSteps, CablePluggedWhileReceiverInUseSwitchesToCable)
{
    const auto rows = rowsWithPresent({kKeyboardReceiver, kKeyboardCable});
    EXPECT_EQ(detect::decideArrival(rows, kKeyboardCable), ArrivalAction::SwitchLink);
    EXPECT_EQ(detect::linkModeForRow(rows[kKeyboardCable]), 1);
}

TEST(LinkSteps, ReceiverPluggedWhileCableInUseStaysOnCable)
{
    const auto rows = rowsWithPresent({kKeyboardCable, kKeyboardReceiver});
    EXPECT_EQ(detect::decideArrival(rows, kKeyboardReceiver), ArrivalAction::StayOnCable);
}

TEST(LinkSteps, FirstArrivalOpensTheChannelOnTheIdentityRow)
{
    const auto rows = rowsWithPresent({kKeyboardReceiver});
    EXPECT_EQ(detect::decideArrival(rows, kKeyboardReceiver), ArrivalAction::OpenChannel);
    EXPECT_EQ(detect::identityRow(rows, kKeyboardReceiver), kKeyboardCable);
    EXPECT_EQ(detect::linkModeForRow(rows[kKeyboardReceiver]), 2);
    EXPECT_EQ(detect::identityRow(rows, kMousePad), kMousePad);
    EXPECT_FALSE(detect::linkModeForRow(rows[kMousePad]).has_value());
}

TEST(LinkSteps, ConsumerInterfaceBeforeCommandInterfaceOpensOnlyTheListener)
{
    const auto rows = rowsWithPresent({kKeyboardCableConsumer});
    EXPECT_EQ(detect::decideArrival(rows, kKeyboardCableConsumer), ArrivalAction::OpenListener);
    EXPECT_EQ(detect::decideRemoval(rows, kKeyboardCableConsumer), RemovalAction::CloseListener);
}

TEST(LinkSteps, RemovalSwitchesOnlyWhenTheCableLeavesBesideTheReceiver)
{
    // The removal check clears the leaving row before the step runs.
    EXPECT_EQ(detect::decideRemoval(rowsWithPresent({kKeyboardReceiver}), kKeyboardCable),
              RemovalAction::SwitchLink);
    EXPECT_EQ(detect::decideRemoval(rowsWithPresent({kKeyboardCable}), kKeyboardReceiver),
              RemovalAction::Nothing);
    EXPECT_EQ(detect::decideRemoval(rowsWithPresent({}), kKeyboardCable),
              RemovalAction::CloseChannel);
}

TEST(LinkSteps, RowsFromOutsideTheTableDoNothing)
{
    const auto rows = rowsWithPresent({});
    EXPECT_FALSE(detect::decideArrival(rows, 11).has_value());
    EXPECT_FALSE(detect::decideRemoval(rows, 0xFFFF).has_value());
}

TEST(SupportedInterfaces, HeadsetMatchesOnlyInterfaceThreeCollectionZero)
{
    const auto& headset = detect::supportedInterfaces()[10];
    EXPECT_EQ(headset.interfaceNumber, 3);
    EXPECT_EQ(headset.collection, 0);
    EXPECT_EQ(headset.usagePage, 0x000C);
    EXPECT_EQ(detect::deviceTypeForRow(kKeyboardReceiver)->typeWord, L"keyboard");
    EXPECT_EQ(detect::deviceTypeForRow(10)->typeWord, L"HD");
}
