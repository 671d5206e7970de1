#include "ui/observer_impl.h"
#include "ui/text_substitute.h"

#include <gtest/gtest.h>

#include <memory>

TEST(SubstituteNumber, ReplacesOnlyTheFirstPercentDAndNeverFormats)
{
    EXPECT_EQ(ui::substituteNumber(L"\u627E\u5230 %d \u4E2A", 3), L"\u627E\u5230 3 \u4E2A");
    EXPECT_EQ(ui::substituteNumber(L"%d of %d", 1), L"1 of %d");
    EXPECT_EQ(ui::substituteNumber(L"100%% %s %n %x %", 7), L"100% %s %n %x %");
    EXPECT_EQ(ui::substituteNumber(L"no number", -5), L"no number");
    EXPECT_EQ(ui::substituteNumber(L"%%d then %d", 9), L"%d then 9");
}

namespace {
struct SkinReceiver : ReceiverImpl<int, int> {
    int Receive(int param) override
    {
        last = param;
        return 1;
    }
    int last = 0;
};
} // namespace

TEST(Observer, BroadcastsToReceiversAndEitherSideMayGoFirst)
{
    auto observer = std::make_unique<ObserverImpl<int, int>>();
    SkinReceiver first;
    auto second = std::make_unique<SkinReceiver>();
    observer->AddReceiver(&first);
    observer->AddReceiver(second.get());
    observer->AddReceiver(&first);
    EXPECT_EQ(observer->ReceiverCount(), 2u);
    observer->Broadcast(7);
    EXPECT_EQ(first.last, 7);
    EXPECT_EQ(second->last, 7);

    second.reset(); // leaves the observer on its way out
    EXPECT_EQ(observer->ReceiverCount(), 1u);
    observer->Broadcast(8);
    EXPECT_EQ(first.last, 8);

    observer.reset(); // the receiver outlives the observer without dangling
    first.RemoveObserver();
}
