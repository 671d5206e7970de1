#include "update/update_list.h"

#include "update/updater.h"

#include <algorithm>

namespace update {
namespace {

bool needsUpdate(ItemState state)
{
    return state == ItemState::NeedUpdate || state == ItemState::NeedUpdateToo;
}

ItemState stateOf(std::int32_t status)
{
    if (status < static_cast<std::int32_t>(ItemState::Checking) ||
        status > static_cast<std::int32_t>(ItemState::Failed))
        return ItemState::Done;
    return static_cast<ItemState>(status);
}

} // namespace

void UpdateList::add(const UpdateRecord& record)
{
    UpdateListItem item;
    item.record = record;
    item.state = stateOf(record.status);
    m_items.push_back(std::move(item));
}

void UpdateList::update(std::size_t index, const UpdateRecord& record)
{
    if (index >= m_items.size())
        return;
    m_items[index].record = record;
    m_items[index].state = stateOf(record.status);
}

WindowState UpdateList::finishCheck()
{
    for (auto& item : m_items) {
        const bool newer = item.state != ItemState::Done && item.state != ItemState::Checking;
        item.enabled = newer;
        item.ticked = newer;
    }
    return finalWindowState(records());
}

std::vector<UpdateRecord> UpdateList::records() const
{
    std::vector<UpdateRecord> records;
    for (const auto& item : m_items)
        records.push_back(item.record);
    return records;
}

std::wstring UpdateList::uncheckedNames() const
{
    return update::uncheckedNames(records());
}

std::vector<std::size_t> UpdateList::startUpdate()
{
    std::vector<std::size_t> chosen;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        auto& item = m_items[i];
        // A failed download may be tried again; the updater continues what it kept.
        if (!needsUpdate(item.state) && item.state != ItemState::Failed)
            continue;
        if (item.ticked) {
            item.state = ItemState::Waiting;
            item.enabled = false;
            chosen.push_back(i);
        } else {
            item.enabled = false;
        }
    }
    return chosen;
}

std::optional<std::size_t> UpdateList::itemBeingUpdated() const
{
    for (const ItemState wanted : {ItemState::Downloading, ItemState::Waiting}) {
        const auto found = std::find_if(m_items.begin(), m_items.end(),
                                        [&](const auto& item) { return item.state == wanted; });
        if (found != m_items.end())
            return static_cast<std::size_t>(found - m_items.begin());
    }
    return std::nullopt;
}

std::optional<WindowState> UpdateList::applyReport(std::int64_t event, std::int64_t value)
{
    const auto index = itemBeingUpdated();
    if (!index)
        return std::nullopt;
    auto& item = m_items[*index];
    switch (event) {
    case static_cast<std::int64_t>(UpdaterEvent::Progress):
        item.state = ItemState::Downloading;
        item.progress = static_cast<std::int32_t>(std::clamp<std::int64_t>(value, 0, 100));
        return std::nullopt;
    case static_cast<std::int64_t>(UpdaterEvent::Failed):
    case static_cast<std::int64_t>(UpdaterEvent::SizeMismatch):
        item.state = ItemState::Failed;
        item.enabled = true;
        break;
    case static_cast<std::int64_t>(UpdaterEvent::Done):
        item.record.currentVersionText = item.record.latestVersionText;
        item.record.latestVersionText.clear();
        item.state = ItemState::Done;
        item.ticked = false;
        break;
    default:
        return std::nullopt;
    }
    // The update goes on while another ticked item still waits.
    const bool more = std::any_of(m_items.begin(), m_items.end(), [](const auto& other) {
        return other.ticked &&
               (other.state == ItemState::Waiting || other.state == ItemState::Downloading);
    });
    if (more)
        return std::nullopt;
    bool left = false;
    for (auto& other : m_items) {
        if (other.state != ItemState::Done) {
            other.enabled = true;
            left = true;
        }
    }
    if (left)
        return WindowState::UpdatesFound;
    // A row whose check failed is still unknown after the others are done.
    const auto unchecked = std::any_of(m_items.begin(), m_items.end(),
                                       [](const auto& other) { return other.record.checkFailed; });
    return unchecked ? WindowState::SomeUnanswered : WindowState::UpToDate;
}

void UpdateList::setTicked(std::size_t index, bool ticked)
{
    if (index < m_items.size() && m_items[index].enabled)
        m_items[index].ticked = ticked;
}

bool UpdateList::anyTicked() const
{
    return std::any_of(m_items.begin(), m_items.end(),
                       [](const auto& item) { return item.ticked && item.enabled; });
}

ItemLook itemLook(const UpdateListItem& item)
{
    ItemLook look = itemLook(item.state);
    if (item.record.checkFailed && item.state == ItemState::Done)
        look.statusTextId = L"CheckFailText";
    return look;
}

ItemLook itemLook(ItemState state)
{
    constexpr std::uint32_t kAccent = 0xFF0099FF;
    constexpr std::uint32_t kAccentDisabled = 0xFF0078C8;
    constexpr std::uint32_t kGrey = 0xFF666666;
    ItemLook look;
    look.textColour = kAccent;
    look.selectedTextColour = kAccent;
    look.disabledTextColour = kAccentDisabled;
    switch (state) {
    case ItemState::Checking:
    case ItemState::Done:
        look.statusTextId = state == ItemState::Checking ? L"LessUpdateText" : L"UpdateOkText";
        look.textColour = 0;
        look.selectedTextColour = 0;
        look.disabledTextColour = kGrey;
        break;
    case ItemState::NeedUpdate:
    case ItemState::NeedUpdateToo:
        look.statusTextId = L"NeedUpdateText";
        look.optionEnabled = true;
        break;
    case ItemState::Waiting:
        look.statusTextId = L"DownloadWaitText";
        break;
    case ItemState::Downloading:
        look.statusTextId = L"DownloadIngText";
        look.progressShown = true;
        break;
    case ItemState::Downloaded:
        look.statusTextId = L"DownloadOkText";
        look.doneShown = true;
        break;
    case ItemState::Updating:
        look.statusTextId = L"UpdateIngText";
        look.progressShown = true;
        break;
    case ItemState::Failed:
        look.statusTextId = L"UpdateFailText";
        look.optionEnabled = true;
        break;
    }
    return look;
}

std::wstring progressText(std::int32_t percent)
{
    return std::to_wstring(std::clamp(percent, 0, 100)) + L"%";
}

bool UpdateList::canClose() const
{
    return std::all_of(m_items.begin(), m_items.end(), [](const auto& item) {
        return needsUpdate(item.state) || item.state == ItemState::Done ||
               item.state == ItemState::Failed;
    });
}

bool UpdateList::cancelUpdate()
{
    bool cancelled = false;
    for (auto& item : m_items) {
        if (item.state == ItemState::Waiting || item.state == ItemState::Downloading) {
            item.state = ItemState::Failed;
            item.enabled = true;
            cancelled = true;
        }
    }
    return cancelled;
}

} // namespace update
