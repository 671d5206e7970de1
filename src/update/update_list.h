#pragma once

#include "update/update_model.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace update {

// Item states of the update list.
enum class ItemState : std::int32_t {
    Checking = 0,
    NeedUpdate = 1,
    NeedUpdateToo = 2,
    Waiting = 3,
    Downloading = 4,
    Downloaded = 5,
    Updating = 6,
    Done = 7,
    Failed = 8,
};

struct UpdateListItem {
    UpdateRecord record;
    ItemState state = ItemState::Done;
    bool ticked = false;
    bool enabled = false;
    std::int32_t progress = 0; // percent
};

// The update tab's list without its controls: the settings window shows what this holds,
// and the rules (which items may be ticked, what an updater report does, when the window
// may close) live here, on the UI thread.
class UpdateList {
public:
    const std::vector<UpdateListItem>& items() const { return m_items; }

    void add(const UpdateRecord& record);
    // Out-of-range indices are ignored.
    void update(std::size_t index, const UpdateRecord& record);
    // After the last answer: items with something newer are enabled and ticked, the rest
    // disabled. Returns the window state.
    WindowState finishCheck();
    // The names of the items whose check failed, for the summary.
    std::wstring uncheckedNames() const;

    // The user starts the update: ticked items with something newer (or whose download
    // failed) wait for the updater, unticked ones are disabled. The indices of the items to
    // download, in order.
    std::vector<std::size_t> startUpdate();

    // The first item that waits for or is in the middle of its download.
    std::optional<std::size_t> itemBeingUpdated() const;

    // An updater report (event, value). Ignored when no item is being updated. Returns the
    // new window state when the report ends the update.
    std::optional<WindowState> applyReport(std::int64_t event, std::int64_t value);

    // Closing is refused while an item is being checked or updated.
    bool canClose() const;
    // The user cancels the update: items waiting for or in the middle of their download
    // fail (they can be ticked and tried again). True when one was.
    bool cancelUpdate();

    // The user ticks or unticks an item; only enabled items take it.
    void setTicked(std::size_t index, bool ticked);
    bool anyTicked() const;

private:
    std::vector<UpdateRecord> records() const;

    std::vector<UpdateListItem> m_items;
};

// How a list item shows its state: the status text id, which of the progress and done
// marks are shown, whether its tick can be changed, and its text colours (0: none).
struct ItemLook {
    std::wstring_view statusTextId;
    bool progressShown = false;
    bool doneShown = false;
    bool optionEnabled = false;
    std::uint32_t textColour = 0;
    std::uint32_t selectedTextColour = 0;
    std::uint32_t disabledTextColour = 0;
};
ItemLook itemLook(ItemState state);
// As above, except that an item whose check failed says so instead of "up to date".
ItemLook itemLook(const UpdateListItem& item);

// "42%": the progress as the item shows it.
std::wstring progressText(std::int32_t percent);

} // namespace update
