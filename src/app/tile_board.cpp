#include "app/tile_board.h"

namespace app {

std::size_t TileBoard::add()
{
    m_tiles.push_back(Tile{});
    return m_tiles.size() - 1;
}

std::size_t TileBoard::visibleCount() const
{
    std::size_t count = 0;
    for (const auto& t : m_tiles)
        count += t.visible ? 1 : 0;
    return count;
}

std::optional<std::size_t> TileBoard::activeTile() const
{
    for (std::size_t i = 0; i < m_tiles.size(); ++i) {
        if (m_tiles[i].visible && m_tiles[i].selected)
            return i;
    }
    return std::nullopt;
}

void TileBoard::choose(std::size_t index)
{
    if (index >= m_tiles.size())
        return;
    for (std::size_t i = 0; i < m_tiles.size(); ++i)
        m_tiles[i].selected = i == index;
}

void TileBoard::setSynchro(std::size_t index, bool on)
{
    if (index < m_tiles.size())
        m_tiles[index].synchro = on;
}

TileBoard::Outcome TileBoard::show(std::size_t index, bool visible, bool select)
{
    if (index >= m_tiles.size())
        return summarise();
    m_tiles[index].visible = visible;
    if (select)
        choose(index);
    else
        m_tiles[index].selected = false;
    return summarise();
}

TileBoard::Outcome TileBoard::summarise()
{
    Outcome outcome;
    std::size_t visible = 0;
    std::size_t synchro = 0;
    for (const auto& t : m_tiles) {
        visible += t.visible ? 1 : 0;
        synchro += (t.visible && t.synchro) ? 1 : 0;
    }
    outcome.noDevice = visible == 0;
    outcome.multiDevice = visible >= 2;
    if (synchro < 2) {
        for (auto& t : m_tiles) {
            outcome.synchroCleared = outcome.synchroCleared || t.synchro;
            t.synchro = false;
        }
    }
    outcome.selectedTile = activeTile();
    return outcome;
}

std::optional<TileBoard::VisibilityOutcome> TileBoard::applyVisibility(std::size_t index,
                                                                       bool showTile)
{
    if (index >= m_tiles.size())
        return std::nullopt;
    VisibilityOutcome result;
    if (showTile) {
        if (m_tiles[index].visible) {
            result.outcome = summarise();
            return result;
        }
        const bool noneVisible = visibleCount() == 0;
        result.outcome = show(index, true, noneVisible);
        return result;
    }
    const bool wasActive = m_tiles[index].visible && m_tiles[index].selected;
    result.activeTileHidden = wasActive;
    result.outcome = show(index, false, false);
    if (wasActive) {
        for (std::size_t i = 0; i < m_tiles.size(); ++i) {
            if (i != index && m_tiles[i].visible) {
                result.outcome = show(i, true, true);
                break;
            }
        }
    }
    return result;
}

std::optional<std::size_t> TileBoard::previous() const
{
    const auto current = activeTile();
    if (!current)
        return std::nullopt;
    for (std::size_t i = *current; i-- > 0;) {
        if (m_tiles[i].visible)
            return i;
    }
    return std::nullopt;
}

std::optional<std::size_t> TileBoard::next() const
{
    const auto current = activeTile();
    if (!current)
        return std::nullopt;
    for (std::size_t i = *current + 1; i < m_tiles.size(); ++i) {
        if (m_tiles[i].visible)
            return i;
    }
    return std::nullopt;
}

} // namespace app
