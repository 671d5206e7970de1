#include "ui/focus_order.h"

#include "ui/container_ui.h"

#include <algorithm>
#include <numeric>

namespace ui {
namespace {

bool hasArea(const RECT& rc)
{
    return rc.right > rc.left && rc.bottom > rc.top;
}

bool isRowOwner(CControlUI* control)
{
    return control->GetInterface(L"IListOwner") != nullptr;
}

} // namespace

std::vector<std::size_t> readingOrder(std::span<const RECT> rects)
{
    std::vector<std::size_t> order(rects.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (rects[a].top != rects[b].top)
            return rects[a].top < rects[b].top;
        return rects[a].left < rects[b].left;
    });
    std::vector<std::size_t> result;
    result.reserve(order.size());
    std::size_t rowStart = 0;
    while (rowStart < order.size()) {
        const RECT& first = rects[order[rowStart]];
        std::size_t rowEnd = rowStart + 1;
        while (rowEnd < order.size()) {
            const RECT& rc = rects[order[rowEnd]];
            const long middle = (static_cast<long>(rc.top) + rc.bottom) / 2;
            if (middle >= first.bottom)
                break;
            ++rowEnd;
        }
        std::stable_sort(
            order.begin() + static_cast<std::ptrdiff_t>(rowStart),
            order.begin() + static_cast<std::ptrdiff_t>(rowEnd),
            [&](std::size_t a, std::size_t b) { return rects[a].left < rects[b].left; });
        result.insert(result.end(), order.begin() + static_cast<std::ptrdiff_t>(rowStart),
                      order.begin() + static_cast<std::ptrdiff_t>(rowEnd));
        rowStart = rowEnd;
    }
    return result;
}

CControlUI* tabStopOf(CControlUI* control)
{
    for (CControlUI* parent = control ? control->GetParent() : nullptr; parent;
         parent = parent->GetParent()) {
        if (isRowOwner(parent))
            return parent;
    }
    return control;
}

namespace {

bool isStop(CControlUI* control)
{
    return (control->GetControlFlags() & UIFLAG_TABSTOP) != 0 && control->IsEnabled() &&
           hasArea(control->GetPos());
}

// A container's stops stay together, so a column of fields is walked down before the
// swatches beside it; the containers themselves go in reading order.
void collectStops(CControlUI* control, std::vector<CControlUI*>& stops)
{
    if (!control->IsVisible() || !control->IsEnabled())
        return;
    if (isStop(control)) {
        stops.push_back(control);
        return;
    }
    auto* container = static_cast<CContainerUI*>(control->GetInterface(L"Container"));
    if (!container || isRowOwner(control))
        return;
    std::vector<std::vector<CControlUI*>> groups;
    std::vector<RECT> rects;
    for (int i = 0; i < container->GetCount(); ++i) {
        CControlUI* child = container->GetItemAt(i);
        std::vector<CControlUI*> inside;
        collectStops(child, inside);
        if (inside.empty())
            continue;
        rects.push_back(child->GetPos());
        groups.push_back(std::move(inside));
    }
    for (const std::size_t index : readingOrder(rects))
        stops.insert(stops.end(), groups[index].begin(), groups[index].end());
}

} // namespace

std::vector<CControlUI*> tabStops(CControlUI* root)
{
    std::vector<CControlUI*> stops;
    if (root)
        collectStops(root, stops);
    return stops;
}

CControlUI* nextTabStop(const std::vector<CControlUI*>& stops, CControlUI* current, bool forward)
{
    if (stops.empty())
        return nullptr;
    const auto at = std::find(stops.begin(), stops.end(), tabStopOf(current));
    if (at == stops.end())
        return forward ? stops.front() : stops.back();
    const std::size_t index = static_cast<std::size_t>(at - stops.begin());
    const std::size_t next =
        forward ? (index + 1) % stops.size() : (index + stops.size() - 1) % stops.size();
    return stops[next];
}

} // namespace ui
