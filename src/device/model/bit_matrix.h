#pragma once

#include "device/model/lighting_tables.h"

#include <array>
#include <cstdint>

namespace model {

// Four diagonally moving copies (up-left, up-right, down-right, down-left) of a bit per cell
// of the column grid: byte c is column c, bit r keyboard row r. Bits 6 and 7 lie below the
// keyboard and are never painted. A seed spread repeatedly draws a growing diamond.
class BitMatrix {
public:
    enum Direction { UpLeft, UpRight, DownRight, DownLeft };
    using Row = std::array<std::uint8_t, kGridColumns>;

    void clear();
    // Sets the cell of the first grid position holding the light; nothing when none does.
    void seedAtLight(int light);
    // Sets bit `bit` of column `column` in all four rows.
    void seedCell(int column, int bit);
    // Moves every set bit one column sideways and one row up or down, by its row.
    void spread();
    // OR of column `column` across the four rows.
    std::uint8_t columnBits(int column) const;
    // Whether any row has the bit of (column, row).
    bool isSet(int column, int row) const { return (columnBits(column) >> row) & 1; }

    std::uint8_t stepCounter = 0;

private:
    std::array<Row, 4> m_rows{};
};

} // namespace model
