#pragma once

#include "ui/ui_types.h"

#include <cstddef>
#include <span>
#include <vector>

class CControlUI;

namespace ui {

// Indexes of the rectangles in reading order: rows from the top, each row from the left.
// A rectangle joins a row when its vertical middle lies within the row's first rectangle,
// so a tall control beside a column of small ones comes before the whole column.
[[nodiscard]] std::vector<std::size_t> readingOrder(std::span<const RECT> rects);

// The controls Tab stops at under root: shown, enabled, with an area, and not a row of a
// list or combo (the list itself is the stop; arrows move within it). Each container's
// children go in reading order, and a container's stops stay together.
[[nodiscard]] std::vector<CControlUI*> tabStops(CControlUI* root);

// The stop a control belongs to: itself, or the list or combo holding it as a row.
[[nodiscard]] CControlUI* tabStopOf(CControlUI* control);

// The stop after (or before) current, wrapping round; the first (or last) when current is
// none of them. Null when there are no stops.
[[nodiscard]] CControlUI* nextTabStop(const std::vector<CControlUI*>& stops, CControlUI* current,
                                      bool forward);

} // namespace ui
