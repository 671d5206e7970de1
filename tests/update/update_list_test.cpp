#include "update/update_list.h"
#include "update/updater.h"

#include <gtest/gtest.h>

namespace {

using update::ItemState;
using update::UpdaterEvent;

update::UpdateRecord record(std::int32_t status, std::wstring latest = L"V0103")
{
    update::UpdateRecord result;
    result.status = status;
    result.currentVersionText = L"V0102";
    result.latestVersionText = std::move(latest);
    return result;
}

std::int64_t event(UpdaterEvent which)
{
    return static_cast<std::int64_t>(which);
}

// Two entries with something newer and one up to date, checked and ticked.
class UpdateListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 3; ++i)
            m_list.add(update::placeholderRecord(update::entryFor(update::updateModels()[1], 1)));
        m_list.update(0, record(update::kStatusNewer));
        m_list.update(1, record(update::kStatusUpToDate, L""));
        m_list.update(2, record(update::kStatusNewer));
        ASSERT_EQ(m_list.finishCheck(), update::WindowState::UpdatesFound);
    }

    update::UpdateList m_list;
};

TEST_F(UpdateListTest, OnlyNewerItemsAreTickedAndEnabled)
{
    EXPECT_TRUE(m_list.items()[0].ticked);
    EXPECT_TRUE(m_list.items()[0].enabled);
    EXPECT_FALSE(m_list.items()[1].ticked);
    EXPECT_FALSE(m_list.items()[1].enabled);
    EXPECT_TRUE(m_list.canClose());
}

TEST_F(UpdateListTest, ReportsMoveTheItemsInOrderAndEndTheUpdate)
{
    EXPECT_EQ(m_list.startUpdate(), (std::vector<std::size_t>{0, 2}));
    EXPECT_FALSE(m_list.canClose());
    // A percentage out of range is clamped.
    EXPECT_FALSE(m_list.applyReport(event(UpdaterEvent::Progress), 250));
    EXPECT_EQ(m_list.items()[0].state, ItemState::Downloading);
    EXPECT_EQ(m_list.items()[0].progress, 100);
    EXPECT_FALSE(m_list.applyReport(event(UpdaterEvent::Done), 0));
    EXPECT_EQ(m_list.items()[0].record.currentVersionText, L"V0103");
    EXPECT_TRUE(m_list.items()[0].record.latestVersionText.empty());
    EXPECT_FALSE(m_list.items()[0].ticked);
    EXPECT_EQ(m_list.itemBeingUpdated(), 2u);
    EXPECT_EQ(m_list.applyReport(event(UpdaterEvent::SizeMismatch), 0),
              update::WindowState::UpdatesFound);
    EXPECT_EQ(m_list.items()[2].state, ItemState::Failed);
    EXPECT_TRUE(m_list.items()[2].enabled);
    EXPECT_TRUE(m_list.canClose());
}

TEST_F(UpdateListTest, CancellingFailsTheWaitingItemsSoTheWindowCanClose)
{
    ASSERT_EQ(m_list.startUpdate(), (std::vector<std::size_t>{0, 2}));
    EXPECT_FALSE(m_list.applyReport(event(UpdaterEvent::Progress), 40));
    EXPECT_FALSE(m_list.canClose());
    EXPECT_TRUE(m_list.cancelUpdate());
    EXPECT_EQ(m_list.items()[0].state, ItemState::Failed);
    EXPECT_EQ(m_list.items()[2].state, ItemState::Failed);
    EXPECT_TRUE(m_list.items()[2].enabled); // tried again with "Update now"
    EXPECT_FALSE(m_list.itemBeingUpdated());
    EXPECT_TRUE(m_list.canClose());
    EXPECT_FALSE(m_list.cancelUpdate()); // nothing left to cancel
}

TEST_F(UpdateListTest, ReportsWithoutAnItemBeingUpdatedAreIgnored)
{
    EXPECT_FALSE(m_list.applyReport(event(UpdaterEvent::Done), 0));
    EXPECT_FALSE(m_list.applyReport(event(UpdaterEvent::Progress), -3));
    EXPECT_EQ(m_list.items()[0].state, ItemState::NeedUpdate);
    EXPECT_EQ(m_list.items()[0].record.currentVersionText, L"V0102");
    m_list.startUpdate();
    EXPECT_FALSE(m_list.applyReport(99, 0));
    EXPECT_EQ(m_list.items()[0].state, ItemState::Waiting);
}

TEST_F(UpdateListTest, UntickedItemsAreLeftOutAndEveryDoneItemEndsUpToDate)
{
    update::UpdateList list;
    list.add(record(update::kStatusNewer));
    list.finishCheck();
    EXPECT_EQ(list.startUpdate().size(), 1u);
    EXPECT_EQ(list.applyReport(event(UpdaterEvent::Done), 0), update::WindowState::UpToDate);

    // A row whose check failed is still unknown once the others are done.
    update::UpdateList mixed;
    mixed.add(record(update::kStatusNewer));
    auto unanswered = record(update::kStatusUpToDate, L"");
    unanswered.name = L"AP";
    unanswered.checkFailed = true;
    mixed.add(unanswered);
    EXPECT_EQ(mixed.finishCheck(), update::WindowState::UpdatesFound);
    EXPECT_EQ(mixed.uncheckedNames(), L"AP");
    EXPECT_EQ(mixed.startUpdate().size(), 1u);
    EXPECT_EQ(mixed.applyReport(event(UpdaterEvent::Done), 0), update::WindowState::SomeUnanswered);
    m_list.update(7, record(update::kStatusNewer)); // out of range: nothing happens
    EXPECT_EQ(m_list.items().size(), 3u);
}

} // namespace
