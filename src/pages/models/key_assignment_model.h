#pragma once

#include "pages/models/key_map_write.h"
#include "profile/key_function_code.h"
#include "profile/key_page_state.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pages {

// What the key assignment page needs of the device object.
class KeyAssignmentDevice {
public:
    virtual ~KeyAssignmentDevice() = default;
    // Stores the pair at the selected key and in the profile's key list; redraws labels.
    virtual void storeSelectedKey(const profile::KeyAssignment& assignment) = 0;
    // Writes the macros the keys use, then the whole key map (writeMacrosThenKeys).
    [[nodiscard]] virtual KeyMapWrite writeKeys() = 0;
    // Saves the profile; false when the file could not be written.
    [[nodiscard]] virtual bool saveProfile() = 0;
    // The selected key as the device's key list holds it now; nullopt when none is.
    [[nodiscard]] virtual std::optional<profile::KeyAssignment> selectedAssignment() const
    {
        return std::nullopt;
    }
};

// The key assignment page without controls: the selected key's codes, the page state the
// controls mirror, and the page's steps. The view copies controls into state(), calls a
// step and copies state() back.
class KeyAssignmentModel {
public:
    explicit KeyAssignmentModel(KeyAssignmentDevice& device) : m_device(device) {}

    void SetKey(const profile::KeyFunctionCode& current, const profile::KeyFunctionCode& def);
    void ShowDefault();
    void ShowCurrent();
    profile::KeyAssignment Encode();
    void SetCurrent(const profile::KeyFunctionCode& code) { m_current = code; }

    // Encode, store through the device, mark dirty; nothing while the state names no
    // function yet.
    void Apply();
    // False for a keyboard key with neither a key nor a modifier chosen.
    bool namesAFunction() const;
    // A function category was chosen in the selector.
    void SelectCategory(int category);
    void SelectModifier(int option) { m_state.modifierOption = option; }
    // The repeat entry was chosen; the count area shows only for a repeat count.
    void SelectRepeat(int entry);
    // Restore default: shows the factory function, stores nothing until the next Apply.
    void RestoreDefault();
    void Cancel();

    // A key event of capture mode; false when it was not a key the page takes.
    bool CaptureKey(std::uint8_t scanCode, bool extended, const std::wstring& displayName);

    struct WriteOutcome {
        KeyMapWrite device;
        // Whether the profile file took the change; nullopt when no save was due (the macros
        // did not fit, so nothing was written).
        std::optional<bool> saved;

        bool written() const { return device.isKeyMapWritten(); }
        // What the user is told, in order: the device's part, then a failed save.
        std::vector<PanelMessage> messages() const;
    };
    // The macros, the key map, then the profile saved; a key map the device took leaves the
    // page clean.
    [[nodiscard]] WriteOutcome WriteToDevice();

    profile::KeyPageState& state() { return m_state; }
    const profile::KeyFunctionCode& current() const { return m_current; }
    const profile::KeyFunctionCode& defaultCode() const { return m_default; }
    bool buttonsEnabled() const { return m_buttonsEnabled; }
    KeyAssignmentDevice& device() { return m_device; }

private:
    KeyAssignmentDevice& m_device;
    profile::KeyPageState m_state;
    profile::KeyFunctionCode m_current{};
    profile::KeyFunctionCode m_default{};
    bool m_buttonsEnabled = false;
};

} // namespace pages
