#include "platform/registered_messages.h"

#include <gtest/gtest.h>

TEST(RegisteredMessages, SameNameGivesSameIdFromC000Up)
{
    const auto first = platform::registerMessage(L"HalvekTest-{1}");
    const auto second = platform::registerMessage(L"HalvekTest-{2}");
    EXPECT_GE(first, platform::kFirstRegisteredMessage);
    EXPECT_NE(first, second);
    EXPECT_EQ(platform::registerMessage(L"halvektest-{1}"), first);
    EXPECT_EQ(platform::registeredMessageName(second), L"HalvekTest-{2}");
    EXPECT_EQ(platform::registerMessage(L""), 0u);
    EXPECT_FALSE(platform::registeredMessageName(0x0400).has_value());
}
