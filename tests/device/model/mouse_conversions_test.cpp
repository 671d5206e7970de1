#include "device/model/mouse_conversions.h"
#include "device/mouse_key_positions.h"

#include <gtest/gtest.h>

#include <numeric>

using model::DpiScale;
namespace record = protocol::mouse_record;

namespace {

std::uint16_t get16(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

profile::DpiStage stage(std::uint16_t dpi, std::uint8_t red)
{
    return {1, 0, dpi, dpi, red, 0, 0};
}

std::vector<std::int32_t> effectCodes(std::size_t count)
{
    std::vector<std::int32_t> codes(count);
    std::iota(codes.begin(), codes.end(), 40); // codes unlike the indices
    return codes;
}

} // namespace

TEST(MouseDpiScale, SliderAndTypedValuesFollowTheSensor)
{
    std::array<std::uint8_t, protocol::kInfoBlockSize> info{};
    info[protocol::kInfoDpiStep] = 50;
    info[protocol::kInfoDpiMaximum] = 200;
    info[protocol::kInfoDpiBase] = 100;
    const DpiScale scale = model::dpiScaleFrom(info);
    EXPECT_EQ(scale.sliderMaximum, 200);
    EXPECT_EQ(scale.editMaximum(), 10000u);
    EXPECT_EQ(model::sliderToDpi(scale, 10), 600);
    EXPECT_EQ(model::dpiToSlider(scale, 620), 10);
    EXPECT_EQ(model::dpiToSlider(scale, 40), 0) << "below the base counts as the base";
    EXPECT_EQ(model::dpiToSlider(scale, std::nullopt), 0) << "an empty field";

    DpiScale coarse = scale;
    coarse.sensorId = model::kCoarseStepSensor;
    EXPECT_EQ(model::sliderToDpi(coarse, 48), 48 * 50 + 100);
    EXPECT_EQ(model::sliderToDpi(coarse, 50), 48 * 50 + 2 * 200 + 100);
    EXPECT_EQ(model::dpiToSlider(coarse, 5900), (5900 - 100 - 5000) / 200 + 48);
    EXPECT_EQ(model::dpiToSlider(coarse, 4000), (4000 - 100) / 50);
}

TEST(MouseDpiScale, StepZeroGivesSliderZeroInsteadOfDividing)
{
    std::array<std::uint8_t, protocol::kInfoBlockSize> info{};
    info[protocol::kInfoDpiBase] = 100;
    const DpiScale scale = model::dpiScaleFrom(info);
    EXPECT_EQ(model::dpiToSlider(scale, 3200), 0);
    EXPECT_EQ(model::sliderToDpi(scale, 7), 100);
    EXPECT_EQ(scale.editMaximum(), 0u);
}

TEST(MouseRecord, ThreeStagesFillTheirBytesAndZeroTheRest)
{
    model::MouseSettings settings;
    settings.light.mode = 3;
    settings.light.brightness = 4;
    settings.light.speed = 1;
    settings.light.direction = 1;
    settings.light.red = 0x11;
    settings.dpiStages = {stage(400, 1), stage(800, 2), stage(1600, 3)};
    settings.activeStage = 2;
    settings.reportStage = 3;
    const model::CallerValues caller{1, 2560, 1440};
    const auto bytes = model::buildMouseRecord(settings, 5, caller, effectCodes(31));
    EXPECT_EQ(bytes[record::kActiveSlot], 5);
    EXPECT_EQ(bytes[record::kEffect], 43);
    EXPECT_EQ(bytes[record::kSpeed], 3);
    EXPECT_EQ(bytes[record::kReportStage], 3);
    EXPECT_EQ(bytes[record::kActiveDpiStage], 2);
    EXPECT_EQ(get16(bytes, 14 + 9 + 2), 800);
    EXPECT_EQ(bytes[38], 3) << "stage 2's red byte";
    for (std::size_t i = 41; i <= 58; ++i)
        EXPECT_EQ(bytes[i], 0) << i;
    EXPECT_EQ(bytes[record::kCallerFlag], 1);
    EXPECT_EQ(get16(bytes, record::kCallerWidth), 2560);
    EXPECT_EQ(get16(bytes, record::kCallerHeight), 1440);
    EXPECT_EQ(bytes[64], 0) << "no correction selected";
    EXPECT_EQ(bytes[65], 0);
}

TEST(MouseRecord, StagesPastFiveStayOnTheHost)
{
    model::MouseSettings settings;
    for (std::uint16_t i = 0; i < 7; ++i)
        settings.dpiStages.push_back(stage(std::uint16_t(100 * (i + 1)), 0xEE));
    settings.corrections = {{8, 4, 0, L"a"}, {9, 5, 1, L"b"}, {7, 3, 1, L"c"}};
    const auto bytes = model::buildMouseRecord(settings, 0, {}, effectCodes(31));
    EXPECT_EQ(get16(bytes, 14 + 4 * 9 + 2), 500);
    EXPECT_EQ(bytes[56], 0xEE) << "stage 4's red byte";
    EXPECT_EQ(bytes[record::kCallerFlag], 1) << "stage 5 would have landed here";
    EXPECT_EQ(bytes[64], 5) << "the first selected correction";
    EXPECT_EQ(bytes[65], 9);
    EXPECT_EQ(std::count(bytes.begin() + 66, bytes.end(), 0), 5);
}

TEST(MouseRecord, EffectIndexOutsideTheMouseRangeOrTheListTakesEntryZero)
{
    model::MouseSettings settings;
    const auto codeFor = [&](int mode, std::size_t listSize) {
        settings.light.mode = std::uint8_t(mode);
        return model::buildMouseRecord(settings, 0, {}, effectCodes(listSize))[record::kEffect];
    };
    EXPECT_EQ(codeFor(9, 31), 49);
    EXPECT_EQ(codeFor(12, 31), 40);
    EXPECT_EQ(codeFor(5, 3), 40) << "the list from the file is shorter";
    EXPECT_EQ(codeFor(5, 0), 0) << "no list at all";
}

TEST(MouseRecord, ReadBackMapsCodesToIndicesAndSpeedBack)
{
    model::MouseSettings settings;
    settings.light = {7, 3, 1, 1, 1, 10, 20, 30};
    settings.activeStage = 4;
    const auto bytes = model::buildMouseRecord(settings, 2, {}, effectCodes(31));
    const auto back = model::readMouseRecord(bytes, effectCodes(31));
    EXPECT_EQ(back.activeSlot, 2);
    EXPECT_EQ(back.mode, 7);
    EXPECT_EQ(back.brightness, 3);
    EXPECT_EQ(back.speed, 1);
    EXPECT_EQ(back.blue, 30);
    EXPECT_EQ(back.activeDpiStage, 4);
}

TEST(MouseRecord, ActiveStageFromTheDeviceAppliesOnlyInsideTheList)
{
    EXPECT_EQ(model::activeStageFromDevice(2, 5), 2);
    EXPECT_EQ(model::activeStageFromDevice(5, 5), std::nullopt);
    EXPECT_EQ(model::activeStageFromDevice(0, 0), std::nullopt);
}

TEST(MousePositionMap, FirstMatchingSlotAnd170WhereNone)
{
    protocol::KeyBlock layout{};
    const auto put = [&](std::size_t slot, device::KeyCode code) {
        layout[3 * slot] = code.type;
        layout[3 * slot + 1] = code.p1;
        layout[3 * slot + 2] = code.p2;
    };
    put(0, device::kMouseFactoryKeyCodes[2]);
    put(3, device::kMouseFactoryKeyCodes[0]);
    put(4, device::kMouseFactoryKeyCodes[0]);
    put(9, device::kMouseFactoryKeyCodes[10]);
    const auto map = model::buildMousePositionMap(layout, 6);
    EXPECT_EQ(map.size(), 11u);
    EXPECT_EQ(map[0], 3);
    EXPECT_EQ(map[2], 0);
    EXPECT_EQ(map[10], 170) << "slot 9 is past the slot count";
    EXPECT_EQ(map[1], 170);
    // A device claiming 255 slots is looked at only as far as a block reaches.
    EXPECT_EQ(model::buildMousePositionMap(layout, 255)[10], 9);
}

TEST(MouseDpiScale, TypedValuesSnapToTheSensorsSteps)
{
    const DpiScale scale{50, 200, 100, 0};
    EXPECT_EQ(model::snapDpi(scale, 620), 600);
    EXPECT_EQ(model::snapDpi(scale, 99999), 200 * 50 + 100) << "at most the slider maximum";
    EXPECT_EQ(model::snapDpi(scale, std::nullopt), 100);
    EXPECT_EQ(model::snapDpi(DpiScale{0, 200, 100, 0}, 3200), 100) << "a sensor without a step";
}
