#include "device/model/bit_matrix.h"

namespace model {

void BitMatrix::clear()
{
    for (Row& row : m_rows)
        row.fill(0);
    stepCounter = 0;
}

void BitMatrix::seedAtLight(int light)
{
    if (light < 0 || light >= kNoLight) // kNoLight marks the grid's empty cells
        return;
    for (int column = 0; column < kGridColumns; ++column) {
        for (int row = 0; row < kGridRows; ++row) {
            if (gridLight(column, row) == light) {
                seedCell(column, row);
                return;
            }
        }
    }
}

void BitMatrix::seedCell(int column, int bit)
{
    if (column < 0 || column >= kGridColumns || bit < 0 || bit > 7)
        return;
    for (Row& row : m_rows)
        row[column] |= std::uint8_t(1u << bit);
}

void BitMatrix::spread()
{
    const auto before = m_rows;
    auto at = [](const Row& row, int column) -> unsigned {
        return column >= 0 && column < kGridColumns ? row[column] : 0;
    };
    for (int c = 0; c < kGridColumns; ++c) {
        m_rows[UpLeft][c] = std::uint8_t((before[UpLeft][c] >> 1) | at(before[UpLeft], c + 1));
        m_rows[UpRight][c] = std::uint8_t((before[UpRight][c] >> 1) | at(before[UpRight], c - 1));
        m_rows[DownRight][c] =
            std::uint8_t((before[DownRight][c] << 1) | at(before[DownRight], c - 1));
        m_rows[DownLeft][c] =
            std::uint8_t((before[DownLeft][c] << 1) | at(before[DownLeft], c + 1));
    }
}

std::uint8_t BitMatrix::columnBits(int column) const
{
    if (column < 0 || column >= kGridColumns)
        return 0;
    return m_rows[0][column] | m_rows[1][column] | m_rows[2][column] | m_rows[3][column];
}

} // namespace model
