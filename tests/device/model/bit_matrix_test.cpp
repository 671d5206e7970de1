#include "device/model/bit_matrix.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

using namespace model;

namespace {

std::set<std::pair<int, int>> setCells(const BitMatrix& matrix)
{
    std::set<std::pair<int, int>> cells;
    for (int column = 0; column < kGridColumns; ++column) {
        for (int row = 0; row < kGridRows; ++row) {
            if (matrix.isSet(column, row))
                cells.insert({column, row});
        }
    }
    return cells;
}

} // namespace

TEST(BitMatrix, SeedGrowsIntoADiamondEdge)
{
    BitMatrix matrix;
    matrix.seedCell(10, 3);
    matrix.spread();
    EXPECT_EQ(setCells(matrix), (std::set<std::pair<int, int>>{{9, 3}, {10, 2}, {11, 3}, {10, 4}}));
    matrix.spread();
    EXPECT_EQ(setCells(matrix),
              (std::set<std::pair<int, int>>{
                  {10, 1}, {9, 2}, {8, 3}, {11, 2}, {12, 3}, {11, 4}, {10, 5}, {9, 4}}));
}

TEST(BitMatrix, EdgesLoseWhatMovesOutOfTheGrid)
{
    BitMatrix matrix;
    matrix.seedCell(0, 0);
    matrix.spread();
    // Only the downward copies stay on the keyboard; nothing wraps to column 22.
    EXPECT_EQ(setCells(matrix), (std::set<std::pair<int, int>>{{0, 1}, {1, 0}}));
    EXPECT_EQ(matrix.columnBits(22), 0);
}

TEST(BitMatrix, SeedsAtTheFirstCellOfALight)
{
    BitMatrix matrix;
    matrix.seedAtLight(51);
    EXPECT_EQ(setCells(matrix), (std::set<std::pair<int, int>>{{10, 2}}));

    BitMatrix untouched;
    untouched.seedAtLight(150); // in no grid cell
    untouched.seedAtLight(kNoLight);
    EXPECT_TRUE(setCells(untouched).empty());
    for (int column = 0; column < kGridColumns; ++column)
        EXPECT_EQ(untouched.columnBits(column), 0);
}
