#pragma once

// The mouse's conversions between its profile and its device blocks, on plain data: the
// position map from a full read, the DPI scale of its sensor, and its slot record both ways.
// The key map and the macro numbering are the keyboard's (buildKeyMap, collectMacros).

#include "device/model/usb_device_model.h"
#include "device/protocol/mouse_sequences.h"
#include "profile/light_info.h"
#include "profile/system_stages.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace model {

inline constexpr std::size_t kMousePositions = 11;
// A mouse position without a key slot.
inline constexpr std::uint8_t kMouseUnmapped = 170;

// Position p maps to the first key slot whose code equals p's factory code; 170 where none
// does. Only min(slotCount, 170) slots are looked at.
[[nodiscard]] PositionMap buildMousePositionMap(std::span<const std::uint8_t> keyLayout,
                                                std::size_t slotCount);

// How the mouse's DPI sliders and edit fields count, from its information block.
struct DpiScale {
    std::uint16_t step = 0;
    std::uint16_t sliderMaximum = 0;
    std::uint16_t base = 0;
    std::uint16_t sensorId = 0;

    std::uint32_t editMaximum() const { return std::uint32_t{sliderMaximum} * step; }
};
// The sensor whose slider runs in steps of 200 DPI past slider value 48 (5000 DPI).
inline constexpr std::uint16_t kCoarseStepSensor = 13093;

[[nodiscard]] DpiScale dpiScaleFrom(std::span<const std::uint8_t> info);
// The DPI a slider value shows.
[[nodiscard]] std::int64_t sliderToDpi(const DpiScale& scale, int slider);
// The slider value of a typed DPI (nullopt: the field is empty, counting as 0). A value
// below the base counts as the base; a step of 0 gives 0; never below 0.
[[nodiscard]] int dpiToSlider(const DpiScale& scale, std::optional<std::int64_t> typed);

// A typed DPI as the sensor can take it: through its slider value (at most the slider
// maximum) and back, within 16 bits.
[[nodiscard]] std::uint16_t snapDpi(const DpiScale& scale, std::optional<std::int64_t> typed);

// What the slot record is built from: the profile's lighting and mouse settings.
struct MouseSettings {
    profile::LightInfo light;
    std::vector<profile::DpiStage> dpiStages;
    int activeStage = 0;
    std::uint16_t reportStage = 0;
    std::vector<profile::CorrectionEntry> corrections;
};

// The three values the program passes through to the mouse (bytes 59-63).
struct CallerValues {
    std::uint8_t flag = 1;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
};

// The 71-byte record (the first 66 are written). Only stages 0-4 have room; an effect index
// of 10 or more, or past the effect list, takes entry 0's code.
[[nodiscard]] protocol::MouseRecord buildMouseRecord(const MouseSettings& settings,
                                                     std::uint8_t active,
                                                     const CallerValues& caller,
                                                     std::span<const std::int32_t> effectCodes);

// What a record read back says. The effect variant and the report stage are not read back.
struct MouseReadBack {
    std::uint8_t activeSlot = 0;
    std::uint8_t mode = 0;
    std::uint8_t brightness = 0;
    std::uint8_t speed = 0;
    std::uint8_t multiColour = 0;
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t activeDpiStage = 0;
};
[[nodiscard]] MouseReadBack readMouseRecord(const protocol::MouseRecord& record,
                                            std::span<const std::int32_t> effectCodes);

// The device's active stage applies only when the stage list has it.
[[nodiscard]] std::optional<int> activeStageFromDevice(std::uint8_t stage, std::size_t stageCount);

} // namespace model
