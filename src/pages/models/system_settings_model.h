#pragma once

// The keyboard's system settings page without its controls: which option each stored value
// shows, the delay label's text, and what a change does to the profile and the keyboard.
// Polling rate and the three flags travel in the slot record; repeat rate and delay have no
// device field and live in the profile only.

#include "pages/models/change_result.h"
#include "profile/system_stages.h"

#include <string>
#include <string_view>

namespace model {
class KeyboardModel;
}

namespace pages {

inline constexpr int kPollingRateOptions = 4;
inline constexpr int kRepeatDelayOptions = 4;

// An option index as the page shows it: outside 0-3 is 0.
[[nodiscard]] int clampOptionIndex(int index);
// 250, 500, 750 or 1000.
[[nodiscard]] int repeatDelayMilliseconds(int index);
// The delay label: the translated "Repeat_Delay_Time" text, the milliseconds, "ms".
[[nodiscard]] std::wstring repeatDelayLabel(std::wstring_view prefix, int index);

enum class SystemField { PollingRate, RepeatDelay, RepeatRate, SixKey, WFlag, WinLock };

// The record after the user changed one field to `value`; option indices are clamped, flags
// become 0 or 1, the repeat rate keeps its low 16 bits.
[[nodiscard]] profile::KeyboardSystemStages withChange(profile::KeyboardSystemStages stages,
                                                       SystemField field, int value);
// Whether the change goes to the keyboard as well as the profile.
[[nodiscard]] bool writesDevice(SystemField field);

struct SystemChange {
    profile::KeyboardSystemStages stages; // the record after the change
    ChangeResult result;
};

// The change applied to the keyboard's profile, saved, and for the device fields the slot
// record of slot 0 written.
[[nodiscard]] SystemChange applySystemChange(model::KeyboardModel& keyboard, SystemField field,
                                             int value);

} // namespace pages
