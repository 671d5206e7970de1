#pragma once

#include "ui/ui_types.h"

namespace ui {

// A vertical scroll bar's arithmetic, shared by the containers and the drop lists. Lengths
// are device pixels: `content` is the whole length scrolled, `range` how far it scrolls
// (content less what shows), `position` how far it is scrolled now.

// The thumb in its track: as long as the shown share of the content, at least minThumb.
[[nodiscard]] RECT scrollThumbRect(const RECT& track, int content, int position, int range,
                                   int minThumb);
// The position that puts the thumb's top `thumbTop` pixels below the track's top, rounded
// to the nearest and held to 0..range; `current` while the thumb fills the whole track.
[[nodiscard]] int scrollPositionForThumb(const RECT& track, const RECT& thumb, int range,
                                         int thumbTop, int current);

} // namespace ui
