#include "device/model/mouse_conversions.h"

#include "device/model/effect_codes.h"
#include "device/model/keyboard_conversions.h"
#include "device/mouse_key_positions.h"

#include <algorithm>

namespace model {
namespace {

namespace record = protocol::mouse_record;
using protocol::kKeyEntrySize;

std::uint16_t get16(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

void put16(std::span<std::uint8_t> bytes, std::size_t at, std::uint16_t value)
{
    bytes[at] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

// Slider values past 48 count 200 DPI each on the coarse-step sensor.
constexpr int kFineSteps = 48;
constexpr int kCoarseStep = 200;
constexpr std::int64_t kCoarseFrom = 5000;

} // namespace

PositionMap buildMousePositionMap(std::span<const std::uint8_t> keyLayout, std::size_t slotCount)
{
    PositionMap map(kMousePositions, kMouseUnmapped);
    const std::size_t slots = std::min(slotCount, kMaxKeySlots);
    for (std::size_t position = 0; position < kMousePositions; ++position) {
        const device::KeyCode code = device::kMouseFactoryKeyCodes[position];
        for (std::size_t slot = 0; slot < slots; ++slot) {
            const std::size_t at = kKeyEntrySize * slot;
            if (at + 2 < keyLayout.size() && keyLayout[at] == code.type &&
                keyLayout[at + 1] == code.p1 && keyLayout[at + 2] == code.p2) {
                map[position] = std::uint8_t(slot);
                break;
            }
        }
    }
    return map;
}

DpiScale dpiScaleFrom(std::span<const std::uint8_t> info)
{
    DpiScale scale;
    if (info.size() < protocol::kInfoBlockSize)
        return scale;
    scale.step = info[protocol::kInfoDpiStep];
    scale.sliderMaximum = get16(info, protocol::kInfoDpiMaximum);
    scale.base = get16(info, protocol::kInfoDpiBase);
    scale.sensorId = get16(info, protocol::kInfoSensorId);
    return scale;
}

std::int64_t sliderToDpi(const DpiScale& scale, int slider)
{
    if (scale.sensorId == kCoarseStepSensor && slider > kFineSteps)
        return std::int64_t{scale.step} * kFineSteps +
               std::int64_t{slider - kFineSteps} * kCoarseStep + scale.base;
    return std::int64_t{slider} * scale.step + scale.base;
}

int dpiToSlider(const DpiScale& scale, std::optional<std::int64_t> typed)
{
    const std::int64_t value = std::max<std::int64_t>(typed.value_or(0), scale.base);
    std::int64_t slider = 0;
    if (scale.sensorId == kCoarseStepSensor && value > kCoarseFrom)
        slider = (value - scale.base - kCoarseFrom) / kCoarseStep + kFineSteps;
    else if (scale.step != 0) // a device that reports no step shows every value at the base
        slider = (value - scale.base) / scale.step;
    return int(std::clamp<std::int64_t>(slider, 0, 0xFFFF));
}

std::uint16_t snapDpi(const DpiScale& scale, std::optional<std::int64_t> typed)
{
    const int slider = std::min(dpiToSlider(scale, typed), int(scale.sliderMaximum));
    return std::uint16_t(std::clamp<std::int64_t>(sliderToDpi(scale, slider), 0, 0xFFFF));
}

protocol::MouseRecord buildMouseRecord(const MouseSettings& settings, std::uint8_t active,
                                       const CallerValues& caller,
                                       std::span<const std::int32_t> effectCodes)
{
    protocol::MouseRecord bytes{};
    const profile::LightInfo& light = settings.light;
    bytes[record::kActiveSlot] = active;
    bytes[record::kEffect] = deviceEffectCode(light.mode, effectCodes, kMouseEffectLimit);
    bytes[record::kBrightness] = light.brightness;
    // The device counts speed the other way round; stored bytes wrap as they always did.
    bytes[record::kSpeed] = std::uint8_t(4 - light.speed);
    bytes[record::kVariant] = light.direction;
    bytes[record::kMultiColour] = light.multiColour;
    bytes[record::kRed] = light.red;
    bytes[record::kGreen] = light.green;
    bytes[record::kBlue] = light.blue;
    bytes[record::kReportStage] = std::uint8_t(settings.reportStage);
    bytes[record::kActiveDpiStage] = std::uint8_t(settings.activeStage);
    // A profile may list more stages than the record has room for; the rest stay on the host.
    const std::size_t stages = std::min(settings.dpiStages.size(), record::kDpiStageCount);
    for (std::size_t i = 0; i < stages; ++i) {
        const profile::DpiStage& stage = settings.dpiStages[i];
        const std::size_t at = record::kDpiStages + i * record::kDpiStageSize;
        bytes[at] = stage.enabled;
        bytes[at + 1] = stage.separateXY;
        put16(bytes, at + 2, stage.dpiX);
        put16(bytes, at + 4, stage.dpiY);
        bytes[at + 6] = stage.red;
        bytes[at + 7] = stage.green;
        bytes[at + 8] = stage.blue;
    }
    bytes[record::kCallerFlag] = caller.flag;
    put16(bytes, record::kCallerWidth, caller.width);
    put16(bytes, record::kCallerHeight, caller.height);
    const auto selected =
        std::find_if(settings.corrections.begin(), settings.corrections.end(),
                     [](const profile::CorrectionEntry& entry) { return entry.selected != 0; });
    if (selected != settings.corrections.end()) {
        bytes[record::kCorrectionMinSquare] = selected->minSquare;
        bytes[record::kCorrectionThreshold] = selected->pixelThreshold;
    }
    return bytes;
}

MouseReadBack readMouseRecord(const protocol::MouseRecord& bytes,
                              std::span<const std::int32_t> effectCodes)
{
    MouseReadBack back;
    back.activeSlot = bytes[record::kActiveSlot];
    back.mode = effectIndexOfCode(bytes[record::kEffect], effectCodes);
    back.brightness = bytes[record::kBrightness];
    back.speed = std::uint8_t(4 - bytes[record::kSpeed]);
    back.multiColour = bytes[record::kMultiColour];
    back.red = bytes[record::kRed];
    back.green = bytes[record::kGreen];
    back.blue = bytes[record::kBlue];
    back.activeDpiStage = bytes[record::kActiveDpiStage];
    return back;
}

std::optional<int> activeStageFromDevice(std::uint8_t stage, std::size_t stageCount)
{
    if (stage >= stageCount)
        return std::nullopt;
    return int(stage);
}

} // namespace model
