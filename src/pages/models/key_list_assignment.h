#pragma once

#include "pages/models/key_assignment_model.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

namespace model {
class KeyboardModel;
class MouseModel;
class UsbDeviceModel;
} // namespace model

namespace pages {

// The key assignment page's view of a device with a key list (the keyboard, the mouse):
// which entry is selected, and the key map, macro block and profile writes that go with it.
class KeyListAssignment final : public KeyAssignmentDevice {
public:
    // `labelsChanged` runs after a key was stored with a function it did not have: the
    // picture redraws its labels and the edit is marked. Storing the same function is no call.
    KeyListAssignment(model::KeyboardModel& keyboard, std::function<void()> labelsChanged);
    KeyListAssignment(model::MouseModel& mouse, std::function<void()> labelsChanged);

    // The key at `position` of the key list; nullopt (and nothing selected) when the list
    // has no such entry, as for a picture button past a short list.
    [[nodiscard]] std::optional<profile::KeyAssignment> selectKey(std::size_t position);
    std::optional<std::size_t> selectedKey() const { return m_selected; }
    // The selected key as the list holds it now (after a profile switch, say).
    [[nodiscard]] std::optional<profile::KeyAssignment> selectedAssignment() const override;

    void storeSelectedKey(const profile::KeyAssignment& assignment) override;
    [[nodiscard]] KeyMapWrite writeKeys() override;
    bool saveProfile() override;

private:
    using Keys = std::vector<profile::KeyAssignment>;

    model::UsbDeviceModel& m_device;
    std::function<const Keys&()> m_keys;
    std::function<void(Keys)> m_setKeys;
    std::function<void(const Keys&)> m_storeKeys;
    std::function<void()> m_labelsChanged;
    std::optional<std::size_t> m_selected;
};

} // namespace pages
