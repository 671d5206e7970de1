#pragma once

#include "pages/models/key_assignment_model.h"

#include <cstddef>
#include <functional>
#include <optional>

namespace model {
class KeyboardModel;
}

namespace pages {

// The key assignment page's view of the keyboard: which key of its key list is selected,
// and the key map, macro block and profile writes that go with it.
class KeyboardKeyAssignment final : public KeyAssignmentDevice {
public:
    // `labelsChanged` redraws the picture's key labels after a key was stored.
    KeyboardKeyAssignment(model::KeyboardModel& keyboard, std::function<void()> labelsChanged);

    // The key at `position` of the key list; nullopt (and nothing selected) when the list
    // has no such entry, as for a picture button past a short list.
    [[nodiscard]] std::optional<profile::KeyAssignment> selectKey(std::size_t position);
    std::optional<std::size_t> selectedKey() const { return m_selected; }

    void storeSelectedKey(const profile::KeyAssignment& assignment) override;
    int writeUsedMacros() override;
    int writeKeyMap() override;
    bool saveProfile() override;

private:
    model::KeyboardModel& m_keyboard;
    std::function<void()> m_labelsChanged;
    std::optional<std::size_t> m_selected;
};

} // namespace pages
