#pragma once

#include <cstddef>
#include <optional>
#include <vector>

namespace app {

// The device tiles as the main window keeps them: which are shown, which one is chosen and
// which are in synchronised mode. UI-free; the window applies the state to the tile
// controls after each step.
class TileBoard {
public:
    struct Tile {
        bool visible = false;
        bool selected = false; // its "device_select" option; at most one tile has it
        bool synchro = false;
    };

    // What a step changed beyond the tiles themselves.
    struct Outcome {
        bool noDevice = false;       // no tile is visible: show the notice, select page 0
        bool multiDevice = false;    // two or more tiles are visible
        bool synchroCleared = false; // fewer than two visible tiles were synchronised
        std::optional<std::size_t> selectedTile; // the tile whose page to show
    };

    // Appends a hidden, unselected tile; returns its index.
    std::size_t add();
    std::size_t size() const { return m_tiles.size(); }
    const Tile& tile(std::size_t index) const { return m_tiles.at(index); }
    std::size_t visibleCount() const;

    // The first visible, selected tile: the active device's.
    std::optional<std::size_t> activeTile() const;

    // Sets visibility; with select the tile becomes the chosen one, without it the tile's
    // option is cleared. Out-of-range indices change nothing.
    Outcome show(std::size_t index, bool visible, bool select);

    // A tile message (show 1 / hide 0). Nullopt for an index outside the tiles: ignored.
    struct VisibilityOutcome {
        Outcome outcome;
        bool activeTileHidden = false; // the visible, selected tile went away
    };
    std::optional<VisibilityOutcome> applyVisibility(std::size_t index, bool show);

    // The user chose a tile's option (the option group clears the others).
    void choose(std::size_t index);
    void setSynchro(std::size_t index, bool on);

    // The tile to show and select for "previous" / "next"; nullopt when there is none.
    std::optional<std::size_t> previous() const;
    std::optional<std::size_t> next() const;

private:
    Outcome summarise();

    std::vector<Tile> m_tiles;
};

} // namespace app
