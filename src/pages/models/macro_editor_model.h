#pragma once

#include "profile/macro_library.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace profile {
class CBasicProfiledata;
class ProfileList;
} // namespace profile

namespace pages {

// Event kinds of a macro file.
inline constexpr int kMacroMouseButton = 1;
inline constexpr int kMacroMoveHorizontal = 4;
inline constexpr int kMacroMoveVertical = 5;
inline constexpr int kMacroModifier = 9;
inline constexpr int kMacroKey = 10;

enum class DelayMode { Measured = 1, Constant = 2, Zero = 3 };
enum class RecordPosition { Append, InsertBefore, InsertAfter, ReplaceOne };
enum class MacroMouseButton { Left, Right, Middle, Forward, Back };
enum class MoveDirection { Left, Right, Up, Down };

// One action as the row shows it.
struct MacroAction {
    int type = 0;
    bool down = false;
    int button = 0;
};

// What deleting a macro changes beyond the library: the device's other profiles on disk and
// the current profile's key list in memory.
struct MacroProfiles {
    profile::ProfileList& list;
    profile::CBasicProfiledata& scratch;
    std::vector<profile::KeyAssignment>& currentKeys;
    std::filesystem::path currentPath;
};
enum class MacroDeleteResult { NotDeleted, Deleted, CurrentKeysChanged };

// What the macros a key map uses need of the device's macro memory.
struct MacroMemoryUse {
    std::uint64_t needed = 0;   // bytes of the macro block
    std::uint64_t capacity = 0; // bytes the device has
    bool fits() const { return needed <= capacity; }
};

// The macro editor without controls: the library's list, the selected macro's action rows
// and the recording state. Every change of the rows is saved to the macro's file at once.
class MacroEditorModel {
public:
    explicit MacroEditorModel(std::filesystem::path folder);

    void LoadLibrary();
    const std::vector<std::wstring>& names() const { return m_library.names(); }
    profile::MacroLibrary& library() { return m_library; }
    // True when no further macro can be added (the user is told before trying).
    bool atMacroLimit() const { return m_library.count() >= profile::kMaxMacros; }

    // -1 empties the action list.
    void SelectMacro(int index);
    int selectedMacro() const { return m_macro; }
    // True when the selected macro's file could not be loaded whole: it is then kept as it
    // is, and nothing edits or saves it.
    bool isLoadRefused() const { return m_loadRefused; }
    // Whether the last LoadLibrary kept a file too large to read aside.
    bool setAsideOnLoad() const { return !m_library.setAsideNotices().empty(); }
    std::wstring NewMacro();
    profile::MacroLibrary::RenameResult RenameSelectedMacro(const std::wstring& name);
    // The deleted index, or -1. Renumbering the profiles' keys is the caller's part.
    int DeleteSelectedMacro();
    // Deletes the selected macro and moves every profile's keys along: keys using it get
    // their default back, keys using a later macro follow it down. When the current keys
    // use it, confirmUsed decides. On CurrentKeysChanged the caller redraws labels and
    // writes the key map.
    MacroDeleteResult DeleteSelectedMacro(MacroProfiles& profiles,
                                          const std::function<bool()>& confirmUsed);
    std::wstring ImportMacro(const std::filesystem::path& path);
    bool ExportMacro(const std::filesystem::path& path) const;
    bool SaveMacro();

    const std::vector<profile::MacroRow>& rows() const { return m_rows; }
    int selectedRow() const { return m_row; }
    void SelectRow(int row);
    // The edit shows a new delay; the file keeps it.
    void SetRowDelay(int row, const std::wstring& delay);
    static std::optional<MacroAction> actionOf(const profile::MacroRow& row);

    // List edits on the selected row; nothing happens without a selection.
    void MoveUp();
    void MoveDown();
    void MoveTop();
    void MoveBottom();
    void DeleteAction();
    void DeleteAllActions();

    void InsertMouseEvent(MacroMouseButton button, bool down);
    void InsertClick(MacroMouseButton button);
    void InsertMovement(MoveDirection direction, int distance);

    // fixedDelayText is the constant delay edit; returns the text it must show (limited to
    // 65535) in constant mode.
    std::wstring StartRecording(DelayMode mode, RecordPosition position,
                                const std::wstring& fixedDelayText, std::uint32_t nowMs);
    void StopRecording();
    bool isRecording() const { return m_recording; }
    std::uint16_t constantDelay() const { return m_constantDelay; }

    // A key event from the hook while recording; false when nothing was recorded.
    bool RecordKey(std::uint8_t scanCode, bool extended, bool down, std::uint32_t nowMs);
    // A mouse-button event; onStopButton for a left click on the stop button.
    bool RecordMouse(MacroMouseButton button, bool down, bool onStopButton, std::uint32_t nowMs);

    // How much macro memory the given macros take, against the device's capacity.
    MacroMemoryUse memoryUse(const std::vector<int>& macros, std::uint64_t capacity) const;

private:
    bool record(MacroAction action, std::uint32_t nowMs);
    void placeRow(profile::MacroRow row, std::uint16_t delay);
    void replaceSelected(const MacroAction& action);
    void insertAfterSelection(const MacroAction& action);
    void moveSelected(int to);

    profile::MacroLibrary m_library;
    int m_macro = -1;
    bool m_loadRefused = false;
    std::vector<profile::MacroRow> m_rows;
    int m_row = -1;

    bool m_recording = false;
    DelayMode m_delayMode = DelayMode::Measured;
    RecordPosition m_position = RecordPosition::Append;
    std::uint16_t m_constantDelay = 50;
    std::uint32_t m_lastTick = 0;
    std::optional<std::pair<std::uint8_t, bool>> m_lastKey;
    std::optional<std::pair<MacroMouseButton, bool>> m_lastMouse;
};

} // namespace pages
