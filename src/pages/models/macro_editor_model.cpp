#include "pages/models/macro_editor_model.h"

#include "device/protocol/macro_block.h"
#include "platform/debug_output.h"
#include "profile/key_codes.h"
#include "profile/key_page_state.h"
#include "profile/macro_references.h"

#include <json/reader.h>
#include <json/writer.h>

#include <algorithm>
#include <memory>

namespace pages {
namespace {

constexpr std::uint16_t kMaxDelay = 0xFFFF;

int buttonBit(MacroMouseButton button)
{
    switch (button) {
    case MacroMouseButton::Left:
        return 0x01;
    case MacroMouseButton::Right:
        return 0x02;
    case MacroMouseButton::Middle:
        return 0x04;
    case MacroMouseButton::Forward:
        return 0x10;
    case MacroMouseButton::Back:
        return 0x08;
    }
    return 0;
}

std::string toText(const Json::Value& value)
{
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "\t";
    return Json::writeString(builder, value);
}

// Every row holds a complete event object, so saving never stops early at a row of ours.
profile::MacroRow makeRow(const MacroAction& action, std::optional<std::uint16_t> delay)
{
    Json::Value event(Json::objectValue);
    event["Type"] = action.type;
    event["Action"] = action.down ? "down" : "up";
    event["Button"] = action.button;
    // A fresh first row holds the integer 0 until saved, as files always had it.
    event["Delay"] = delay ? Json::Value(std::to_string(*delay)) : Json::Value(0);
    return {toText(event), std::to_wstring(delay.value_or(0))};
}

std::optional<Json::Value> parseRow(const std::string& text)
{
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value value;
    if (text.empty() || !reader->parse(text.data(), text.data() + text.size(), &value, nullptr) ||
        !value.isObject()) {
        return std::nullopt;
    }
    return value;
}

std::uint16_t clampDelay(long long value)
{
    return static_cast<std::uint16_t>(std::clamp<long long>(value, 0, kMaxDelay));
}

} // namespace

MacroEditorModel::MacroEditorModel(std::filesystem::path folder) : m_library(std::move(folder)) {}

void MacroEditorModel::LoadLibrary()
{
    m_library.Load();
    SelectMacro(-1);
}

void MacroEditorModel::SelectMacro(int index)
{
    m_row = -1;
    m_loadRefused = false;
    if (index < 0 || static_cast<std::size_t>(index) >= m_library.count()) {
        m_macro = -1;
        m_rows.clear();
        return;
    }
    m_macro = index;
    auto rows = m_library.LoadMacro(index);
    if (rows) {
        m_rows = std::move(*rows);
    } else {
        // A macro that cannot be loaded whole is not shown in part: an edit would save the cut.
        m_rows.clear();
        m_loadRefused = true;
        platform::debugOutput("macro not loaded: " + rows.error().message);
    }
}

std::wstring MacroEditorModel::NewMacro()
{
    return m_library.NewMacro();
}

profile::MacroLibrary::RenameResult MacroEditorModel::RenameSelectedMacro(const std::wstring& name)
{
    if (m_macro < 0) {
        return profile::MacroLibrary::RenameResult::NoMacro;
    }
    return m_library.RenameMacro(m_macro, name);
}

int MacroEditorModel::DeleteSelectedMacro()
{
    const int index = m_macro;
    if (index < 0 || !m_library.DeleteMacro(index)) {
        return -1;
    }
    SelectMacro(-1);
    return index;
}

MacroDeleteResult MacroEditorModel::DeleteSelectedMacro(MacroProfiles& profiles,
                                                        const std::function<bool()>& confirmUsed)
{
    const int index = m_macro;
    if (index < 0) {
        return MacroDeleteResult::NotDeleted;
    }
    const bool used = std::any_of(
        profiles.currentKeys.begin(), profiles.currentKeys.end(), [index](const auto& key) {
            return profile::isMacroCode(key.current) && key.current.p1 == index;
        });
    if (used && !confirmUsed()) {
        return MacroDeleteResult::NotDeleted;
    }
    // The library first: if it cannot be rewritten, no profile may have been renumbered,
    // or their keys would point at the wrong macros.
    if (DeleteSelectedMacro() < 0) {
        return MacroDeleteResult::NotDeleted;
    }
    profile::renumberMacroInProfiles(profiles.list, profiles.scratch, index, profiles.currentPath);
    return profile::renumberMacroReferences(profiles.currentKeys, index)
               ? MacroDeleteResult::CurrentKeysChanged
               : MacroDeleteResult::Deleted;
}

std::wstring MacroEditorModel::ImportMacro(const std::filesystem::path& path)
{
    return m_library.ImportMacro(path);
}

bool MacroEditorModel::ExportMacro(const std::filesystem::path& path) const
{
    return m_macro >= 0 && m_library.ExportMacro(m_macro, path);
}

bool MacroEditorModel::SaveMacro()
{
    if (m_macro < 0 || m_loadRefused) {
        return false;
    }
    for (auto& row : m_rows) {
        if (row.delay.empty()) {
            row.delay = L"0";
        }
    }
    return m_library.SaveMacro(m_macro, m_rows);
}

void MacroEditorModel::SelectRow(int row)
{
    m_row = row >= 0 && static_cast<std::size_t>(row) < m_rows.size() ? row : -1;
}

void MacroEditorModel::SetRowDelay(int row, const std::wstring& delay)
{
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size()) {
        return;
    }
    m_rows[static_cast<std::size_t>(row)].delay =
        std::to_wstring(clampDelay(profile::parseEditInteger(delay)));
    SaveMacro();
}

std::optional<MacroAction> MacroEditorModel::actionOf(const profile::MacroRow& row)
{
    const auto event = parseRow(row.eventJson);
    if (!event) {
        return std::nullopt;
    }
    MacroAction action;
    action.type = (*event)["Type"].isInt() ? (*event)["Type"].asInt() : 0;
    action.down = (*event)["Action"].isString() && (*event)["Action"].asString() == "down";
    action.button = (*event)["Button"].isInt() ? (*event)["Button"].asInt() : 0;
    return action;
}

void MacroEditorModel::moveSelected(int to)
{
    auto row = std::move(m_rows[static_cast<std::size_t>(m_row)]);
    m_rows.erase(m_rows.begin() + m_row);
    m_rows.insert(m_rows.begin() + to, std::move(row));
    m_row = to;
    SaveMacro();
}

void MacroEditorModel::MoveUp()
{
    if (m_row > 0) {
        moveSelected(m_row - 1);
    }
}

void MacroEditorModel::MoveDown()
{
    if (m_row >= 0 && static_cast<std::size_t>(m_row) + 1 < m_rows.size()) {
        moveSelected(m_row + 1);
    }
}

void MacroEditorModel::MoveTop()
{
    if (m_row > 0) {
        moveSelected(0);
    }
}

void MacroEditorModel::MoveBottom()
{
    if (m_row >= 0 && static_cast<std::size_t>(m_row) + 1 < m_rows.size()) {
        moveSelected(static_cast<int>(m_rows.size()) - 1);
    }
}

void MacroEditorModel::DeleteAction()
{
    if (m_row < 0) {
        return;
    }
    m_rows.erase(m_rows.begin() + m_row);
    m_row = -1;
    SaveMacro();
}

void MacroEditorModel::DeleteAllActions()
{
    if (m_loadRefused) {
        return;
    }
    m_rows.clear();
    m_row = -1;
    SaveMacro();
}

void MacroEditorModel::insertAfterSelection(const MacroAction& action)
{
    if (m_macro < 0 || m_loadRefused || m_rows.size() >= profile::kMaxMacroEvents) {
        return;
    }
    const std::size_t at = m_rows.empty() ? 0 : static_cast<std::size_t>(std::max(m_row, 0)) + 1;
    m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(at),
                  makeRow(action, m_constantDelay));
    m_row = static_cast<int>(at);
    SaveMacro();
}

void MacroEditorModel::InsertMouseEvent(MacroMouseButton button, bool down)
{
    insertAfterSelection({kMacroMouseButton, down, buttonBit(button)});
}

void MacroEditorModel::InsertClick(MacroMouseButton button)
{
    InsertMouseEvent(button, true);
    InsertMouseEvent(button, false);
}

void MacroEditorModel::InsertMovement(MoveDirection direction, int distance)
{
    const bool horizontal = direction == MoveDirection::Left || direction == MoveDirection::Right;
    const bool down = direction == MoveDirection::Left || direction == MoveDirection::Up;
    insertAfterSelection(
        {horizontal ? kMacroMoveHorizontal : kMacroMoveVertical, down, distance & 0xFF});
}

std::wstring MacroEditorModel::StartRecording(DelayMode mode, RecordPosition position,
                                              const std::wstring& fixedDelayText,
                                              std::uint32_t nowMs)
{
    m_delayMode = mode;
    m_position = position;
    m_lastTick = nowMs;
    m_lastKey.reset();
    m_lastMouse.reset();
    m_recording = true;
    if (mode == DelayMode::Constant) {
        m_constantDelay = clampDelay(profile::parseEditInteger(fixedDelayText));
    }
    return std::to_wstring(m_constantDelay);
}

void MacroEditorModel::StopRecording()
{
    m_recording = false;
    SaveMacro();
}

bool MacroEditorModel::RecordKey(std::uint8_t scanCode, bool extended, bool down,
                                 std::uint32_t nowMs)
{
    if (!m_recording) {
        return false;
    }
    const std::pair key{scanCode, extended};
    if (down) {
        if (m_lastKey == key) {
            return false; // auto-repeat
        }
        m_lastKey = key;
    } else if (m_lastKey == key) {
        m_lastKey.reset();
    }
    const auto index = profile::keyForScanCode(scanCode, extended);
    const auto keys = profile::keyboardKeyTable();
    if (!index || *index >= keys.size()) {
        return false;
    }
    const auto& entry = keys[*index];
    const MacroAction action = entry.p2 != 0 ? MacroAction{kMacroKey, down, entry.p2}
                                             : MacroAction{kMacroModifier, down, entry.p1};
    return record(action, nowMs);
}

bool MacroEditorModel::RecordMouse(MacroMouseButton button, bool down, bool onStopButton,
                                   std::uint32_t nowMs)
{
    if (!m_recording || (onStopButton && button == MacroMouseButton::Left)) {
        return false;
    }
    const std::pair event{button, down};
    if (m_lastMouse == event) {
        return false;
    }
    m_lastMouse = event;
    return record({kMacroMouseButton, down, buttonBit(button)}, nowMs);
}

bool MacroEditorModel::record(MacroAction action, std::uint32_t nowMs)
{
    if (m_macro < 0 || m_loadRefused || m_rows.size() >= profile::kMaxMacroEvents) {
        return false;
    }
    if (m_position == RecordPosition::ReplaceOne) {
        if (m_row < 0) {
            return false;
        }
        replaceSelected(action);
        return true;
    }
    std::uint16_t gap = 0;
    switch (m_delayMode) {
    case DelayMode::Measured:
        gap = clampDelay(static_cast<long long>(nowMs - m_lastTick));
        m_lastTick = nowMs;
        break;
    case DelayMode::Constant:
        gap = m_constantDelay;
        break;
    case DelayMode::Zero:
        gap = 0;
        break;
    }
    std::size_t at = m_rows.size();
    if (m_position != RecordPosition::Append) {
        if (m_row < 0) {
            return false;
        }
        at = static_cast<std::size_t>(m_row) + (m_position == RecordPosition::InsertAfter ? 1 : 0);
    }
    profile::MacroRow row =
        at == 0 ? makeRow(action, std::nullopt)
                : makeRow(action, m_delayMode == DelayMode::Constant ? m_constantDelay : 0);
    m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(at), std::move(row));
    if (at > 0) {
        // The row above waits until this event: that is the gap just measured.
        auto& above = m_rows[at - 1];
        if (auto event = parseRow(above.eventJson)) {
            (*event)["Delay"] = std::to_string(gap);
            above.eventJson = toText(*event);
        }
        above.delay = std::to_wstring(gap);
    }
    switch (m_position) {
    case RecordPosition::Append:
        m_row = static_cast<int>(m_rows.size()) - 1;
        break;
    case RecordPosition::InsertBefore:
        m_row = static_cast<int>(at) + 1;
        break;
    case RecordPosition::InsertAfter:
        m_row = static_cast<int>(at);
        break;
    case RecordPosition::ReplaceOne:
        break;
    }
    SaveMacro();
    return true;
}

void MacroEditorModel::replaceSelected(const MacroAction& action)
{
    auto& row = m_rows[static_cast<std::size_t>(m_row)];
    auto event = parseRow(row.eventJson);
    if (!event) {
        return;
    }
    (*event)["Type"] = action.type;
    (*event)["Button"] = action.button;
    row.eventJson = toText(*event);
    SaveMacro();
}

MacroMemoryUse MacroEditorModel::memoryUse(const std::vector<int>& macros,
                                           std::uint64_t capacity) const
{
    std::vector<protocol::Macro> block;
    for (const int index : macros) {
        protocol::Macro macro;
        for (const auto& event : m_library.LoadEvents(index)) {
            macro.events.push_back({event.delay, event.type, event.down, event.button});
        }
        block.push_back(std::move(macro));
    }
    return {protocol::macroBlockSize(block), capacity};
}

} // namespace pages
