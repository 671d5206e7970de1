#include "app/tile_board.h"

#include <gtest/gtest.h>

using app::TileBoard;

namespace {
TileBoard board(std::size_t tiles)
{
    TileBoard b;
    for (std::size_t i = 0; i < tiles; ++i)
        b.add();
    return b;
}
} // namespace

TEST(TileBoard, TheFirstTileShownIsChosenAndTheNoticeGoes)
{
    auto b = board(3);
    EXPECT_FALSE(b.activeTile());
    auto shown = b.applyVisibility(1, true);
    ASSERT_TRUE(shown);
    EXPECT_FALSE(shown->outcome.noDevice);
    EXPECT_EQ(b.activeTile(), 1u);
    // A second tile appears without taking the choice.
    shown = b.applyVisibility(2, true);
    EXPECT_EQ(b.activeTile(), 1u);
    EXPECT_TRUE(shown->outcome.multiDevice);
}

TEST(TileBoard, HidingTheChosenTileChoosesTheFirstOtherVisibleOne)
{
    auto b = board(3);
    b.applyVisibility(2, true);
    b.applyVisibility(0, true);
    b.choose(2);
    const auto hidden = b.applyVisibility(2, false);
    ASSERT_TRUE(hidden);
    EXPECT_TRUE(hidden->activeTileHidden);
    EXPECT_EQ(b.activeTile(), 0u);
    EXPECT_FALSE(hidden->outcome.multiDevice);
    // The only visible tile going leaves no active device and shows the notice.
    const auto last = b.applyVisibility(0, false);
    EXPECT_TRUE(last->outcome.noDevice);
    EXPECT_FALSE(b.activeTile());
}

TEST(TileBoard, IndicesOutsideTheTilesAreIgnored)
{
    auto b = board(2);
    EXPECT_FALSE(b.applyVisibility(2, true));
    EXPECT_FALSE(b.applyVisibility(static_cast<std::size_t>(-1), true));
    EXPECT_EQ(b.visibleCount(), 0u);
}

TEST(TileBoard, PreviousAndNextStopAtTheEnds)
{
    auto b = board(4);
    b.applyVisibility(0, true);
    b.applyVisibility(2, true);
    b.applyVisibility(3, true);
    EXPECT_EQ(b.activeTile(), 0u);
    EXPECT_FALSE(b.previous());
    EXPECT_EQ(b.next(), 2u); // the hidden tile 1 is skipped
    b.choose(3);
    EXPECT_FALSE(b.next());
    EXPECT_EQ(b.previous(), 2u);
}

TEST(TileBoard, SynchronisedModeEndsWhenFewerThanTwoVisibleTilesHaveIt)
{
    auto b = board(2);
    b.applyVisibility(0, true);
    b.applyVisibility(1, true);
    b.setSynchro(0, true);
    b.setSynchro(1, true);
    auto outcome = b.show(1, true, false);
    EXPECT_FALSE(outcome.synchroCleared);
    outcome = b.applyVisibility(1, false)->outcome;
    EXPECT_TRUE(outcome.synchroCleared);
    EXPECT_FALSE(b.tile(0).synchro);
}
