#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace profile {

// Three 32-bit words carrying six 16-bit fields, the first of each pair in the low half.
using StageWords = std::array<std::uint32_t, 3>;

struct KeyboardSystemStages {
    std::uint16_t repeat = 0;
    std::uint16_t repeatDelay = 0; // 0-3: 250, 500, 750, 1000 ms
    std::uint16_t key6Flag = 0;
    std::uint16_t pollingRate = 0;
    std::uint16_t wFlag = 0;
    std::uint16_t winFlag = 0;

    bool operator==(const KeyboardSystemStages&) const = default;
};
static_assert(sizeof(KeyboardSystemStages) == 12);

[[nodiscard]] StageWords toWords(const KeyboardSystemStages& stages);
[[nodiscard]] KeyboardSystemStages keyboardStagesFromWords(const StageWords& words);

struct MouseSystemStages {
    std::uint16_t doubleClickTime = 0;
    std::uint16_t mouseSpeed = 0;
    std::uint16_t pointerPrecision = 0;
    std::uint16_t scrollPage = 0;
    std::uint16_t wheelScrollLines = 0;
    std::uint16_t reportStage = 0; // "ReportStages"."StageActive"

    bool operator==(const MouseSystemStages&) const = default;
};
static_assert(sizeof(MouseSystemStages) == 12);

[[nodiscard]] StageWords toWords(const MouseSystemStages& stages);
[[nodiscard]] MouseSystemStages mouseStagesFromWords(const StageWords& words);

#pragma pack(push, 1)
struct DpiStage {
    std::uint8_t enabled = 0;    // "StageActive"
    std::uint8_t separateXY = 0; // "StageXY"
    std::uint16_t dpiX = 0;
    std::uint16_t dpiY = 0;
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    bool operator==(const DpiStage&) const = default;
};
#pragma pack(pop)
static_assert(sizeof(DpiStage) == 9);

struct CorrectionEntry {
    std::uint8_t pixelThreshold = 0; // "CorrectPixThresh"
    std::uint8_t minSquare = 0;      // "CorrectMinSq"
    std::uint8_t selected = 0;       // "CorrectSelect"
    std::wstring name;               // "CorrectName"

    bool operator==(const CorrectionEntry&) const = default;
};

// In the order of the "SystemSetStages" keys.
struct HeadsetSystemSetStages {
    std::int32_t magicEnable = 0;
    std::int32_t magicType = 0;
    std::int32_t eqType = 0;
    std::int32_t customEqSelectIndex = 0;
    std::int32_t micInSelect = 0;
    std::int32_t micInValue = 0;
    std::int32_t micMonitorSelect = 0;
    std::int32_t micMonitorValue = 0;

    bool operator==(const HeadsetSystemSetStages&) const = default;
};
static_assert(sizeof(HeadsetSystemSetStages) == 32);

} // namespace profile
