#pragma once

// The mouse's DPI page without controls: its five stages (enabled, current, resolution by
// slider step or typed number, colour) and its report rate. Every edit goes into the profile;
// commit() saves it, writes the slot record and reads the mouse's state back, so the page
// shows what the mouse holds.

#include "device/model/mouse_conversions.h"
#include "pages/models/change_result.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace model {
class MouseModel;
}

namespace pages {

inline constexpr int kDpiStageCount = 5;
// Report rate options, slowest first: the mouse counts its report stage up with the rate.
inline constexpr int kReportRateOptions = 4;

struct DpiStageShown {
    bool present = false; // the profile lists this stage
    bool enabled = false;
    bool current = false;
    int slider = 0;
    std::uint16_t dpi = 0;
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

struct DpiCommit {
    ChangeResult result;
    // The record read back holds the stages and report rate that were written.
    bool heldAsWritten = true;
};

class MouseDpiModel {
public:
    explicit MouseDpiModel(model::MouseModel& mouse) : m_mouse(mouse) {}

    model::DpiScale scale() const;
    DpiStageShown stage(int index) const;
    int currentStage() const;
    // 0-3, or nullopt when the profile holds a stage the page has no option for.
    std::optional<int> reportRateOption() const;
    // The DPI a slider position shows while it moves.
    std::int64_t dpiOfSlider(int slider) const;

    // Edits; false when refused, with nothing changed. The last enabled stage cannot be
    // disabled; disabling the current stage makes the next enabled one current.
    bool setEnabled(int stage, bool enabled);
    // Only an enabled stage can be current.
    bool selectCurrent(int stage);
    bool setSlider(int stage, int slider);
    // Digits only (blanks around them allowed); empty counts as the lowest DPI. Anything else
    // is refused rather than read as 0.
    bool setTyped(int stage, std::wstring_view text);
    bool setColour(int stage, std::uint8_t red, std::uint8_t green, std::uint8_t blue);
    bool setReportRate(int option);

    DpiCommit commit();

private:
    bool storeStage(int stage, const profile::DpiStage& value);

    model::MouseModel& m_mouse;
};

// A typed DPI: nullopt for text that is not a whole number; empty text is 0. Saturates.
[[nodiscard]] std::optional<std::int64_t> parseTypedDpi(std::wstring_view text);

} // namespace pages
