#include "profile/hs6533_profile_data.h"

#include "profile/json_access.h"

#include "platform/text.h"

namespace profile {
namespace {

constexpr const char* kStageKeys[] = {"MagicEnable",        "MagicType",      "EqType",
                                      "CustomEqSeletIndex", "MicInSelect",    "MicInValue",
                                      "MicMoniterSelect",   "MicMoniterValue"};
// Curve indices come from pages and files; far more than any headset offers.
constexpr int kMaxCurveIndex = 255;
constexpr int kPresetWithoutCurve = 13;

int presetCurve(int preset)
{
    return preset >= 1 && preset <= 12 ? preset : 1;
}

using Stages = HeadsetSystemSetStages;
constexpr std::int32_t Stages::*kStageFields[] = {
    &Stages::magicEnable,         &Stages::magicType,      &Stages::eqType,
    &Stages::customEqSelectIndex, &Stages::micInSelect,    &Stages::micInValue,
    &Stages::micMonitorSelect,    &Stages::micMonitorValue};
static_assert(std::size(kStageFields) == std::size(kStageKeys));

} // namespace

HeadsetSystemSetStages CHs6533Profiledata::LoadSystemSetStages()
{
    const Json::Value& stages = json::member(m_deviceData, "SystemSetStages");
    HeadsetSystemSetStages loaded;
    for (std::size_t i = 0; i < std::size(kStageKeys); ++i)
        loaded.*kStageFields[i] = json::readInt(json::member(stages, kStageKeys[i]));
    m_systemSetStages = loaded;
    return loaded;
}

void CHs6533Profiledata::StoreSystemSetStages(const HeadsetSystemSetStages& stages)
{
    m_systemSetStages = stages;
    Json::Value& object = deviceMember("SystemSetStages");
    json::makeObject(object);
    for (std::size_t i = 0; i < std::size(kStageKeys); ++i)
        object[kStageKeys[i]] = stages.*kStageFields[i];
}

EqValues CHs6533Profiledata::loadCurve(const char* member, int index)
{
    if (index < 0 || index > kMaxCurveIndex)
        return EqValues(kEqBandCount, 0);
    EqValues values(kEqBandCount, 0);
    const Json::Value& curve = json::element(json::member(m_deviceData, member), index);
    for (std::size_t band = 0; band < kEqBandCount; ++band) {
        const Json::Value& value =
            json::member(json::element(curve, static_cast<std::int64_t>(band)), "value");
        if (!value.isNull() && json::toInt32(value)) {
            values[band] = json::readInt(value);
            continue;
        }
        Json::Value& tree =
            json::arrayElement(deviceMember(member), static_cast<Json::ArrayIndex>(index));
        json::objectMember(json::arrayElement(tree, static_cast<Json::ArrayIndex>(band)), "value") =
            0;
    }
    return values;
}

void CHs6533Profiledata::storeCurve(const char* member, int index, const EqValues& values)
{
    if (index < 0 || index > kMaxCurveIndex)
        return;
    Json::Value& tree =
        json::arrayElement(deviceMember(member), static_cast<Json::ArrayIndex>(index));
    for (std::size_t band = 0; band < kEqBandCount && band < values.size(); ++band)
        json::objectMember(json::arrayElement(tree, static_cast<Json::ArrayIndex>(band)), "value") =
            values[band];
}

EqValues CHs6533Profiledata::LoadEqValues(int preset)
{
    if (preset == kPresetWithoutCurve)
        return {};
    return loadCurve("EQHzValueInfo", presetCurve(preset));
}

void CHs6533Profiledata::StoreEqValues(int preset, const EqValues& values)
{
    if (preset != kPresetWithoutCurve)
        storeCurve("EQHzValueInfo", presetCurve(preset), values);
}

EqValues CHs6533Profiledata::LoadCustomEqValues(int curve)
{
    return loadCurve("CustomEQHzValueInfo", curve);
}

void CHs6533Profiledata::StoreCustomEqValues(int curve, const EqValues& values)
{
    storeCurve("CustomEQHzValueInfo", curve, values);
}

std::vector<std::wstring> CHs6533Profiledata::LoadCustomEqNames()
{
    const Json::Value& list = json::member(m_deviceData, "CustomEQNameInfo");
    std::vector<std::wstring> names;
    for (Json::ArrayIndex i = 0; i < json::arraySize(list); ++i)
        names.push_back(json::readText(json::member(list[i], "Name")));
    return names;
}

void CHs6533Profiledata::StoreCustomEqNames(const std::vector<std::wstring>& names)
{
    Json::Value list(Json::arrayValue);
    for (const auto& name : names) {
        Json::Value entry(Json::objectValue);
        entry["Name"] = platform::toUtf8(name);
        list.append(entry);
    }
    deviceMember("CustomEQNameInfo") = list;
}

} // namespace profile
