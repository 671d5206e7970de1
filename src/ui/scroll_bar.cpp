#include "ui/scroll_bar.h"

#include <algorithm>

namespace ui {

RECT scrollThumbRect(const RECT& track, int content, int position, int range, int minThumb)
{
    const int length = track.bottom - track.top;
    if (length <= 0)
        return RECT{};
    const int thumb = std::min(length, std::max(minThumb, length * length / std::max(1, content)));
    const int top = track.top + (length - thumb) * position / std::max(1, range);
    return RECT{track.left, top, track.right, top + thumb};
}

int scrollPositionForThumb(const RECT& track, const RECT& thumb, int range, int thumbTop,
                           int current)
{
    const int travel = (track.bottom - track.top) - (thumb.bottom - thumb.top);
    if (travel <= 0)
        return current;
    const long long position = static_cast<long long>(thumbTop) * range;
    const long long rounded = (position + (position >= 0 ? travel / 2 : -travel / 2)) / travel;
    return static_cast<int>(std::clamp<long long>(rounded, 0, range));
}

} // namespace ui
