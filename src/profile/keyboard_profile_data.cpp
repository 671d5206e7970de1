#include "profile/keyboard_profile_data.h"

#include "profile/json_access.h"
#include "profile/record_json.h"

#include <algorithm>

namespace profile {
namespace {

void writeColour(Json::Value& element, const RgbaColour& colour)
{
    json::objectMember(element, "Red") = colour.red;
    json::objectMember(element, "Green") = colour.green;
    json::objectMember(element, "Blue") = colour.blue;
    json::objectMember(element, "Alpha") = colour.alpha;
}

} // namespace

KeyboardSystemStages CKeyboardProfiledata::LoadSystemStages()
{
    m_systemStages = keyboardStagesFromJson(json::member(m_deviceData, "SystemStages"));
    return m_systemStages;
}

void CKeyboardProfiledata::StoreSystemStages(std::uint32_t word0, std::uint32_t word1,
                                             std::uint32_t word2)
{
    m_systemStages = keyboardStagesFromWords({word0, word1, word2});
    deviceMember("SystemStages") = toJson(m_systemStages);
}

std::vector<RgbaColour> CKeyboardProfiledata::LoadCustomColours(int group, int count)
{
    count = std::clamp(count, 0, kMaxLedCount);
    std::vector<RgbaColour> colours(static_cast<std::size_t>(count));
    if (group >= 0 && group < kMaxCustomGroups) {
        const Json::Value& stored = json::element(
            json::member(json::member(m_deviceData, "CustomLightMode"), "LightColorInfo"), group);
        Json::Value* groupTree = nullptr;
        for (int i = 0; i < count; ++i) {
            const Json::Value& element = json::element(stored, i);
            if (element.isObject()) {
                colours[static_cast<std::size_t>(i)] =
                    RgbaColour{json::readByte(json::member(element, "Red")),
                               json::readByte(json::member(element, "Green")),
                               json::readByte(json::member(element, "Blue")),
                               json::readByte(json::member(element, "Alpha"))};
                continue;
            }
            if (!groupTree) {
                Json::Value& info =
                    json::objectMember(deviceMember("CustomLightMode"), "LightColorInfo");
                groupTree = &json::arrayElement(info, static_cast<Json::ArrayIndex>(group));
            }
            writeColour(json::arrayElement(*groupTree, static_cast<Json::ArrayIndex>(i)),
                        RgbaColour{});
        }
    }
    m_customColours = colours;
    return colours;
}

void CKeyboardProfiledata::StoreCustomColours(const std::vector<RgbaColour>& colours, int group)
{
    m_customColours = colours;
    if (group < 0 || group >= kMaxCustomGroups)
        return;
    Json::Value& info = json::objectMember(deviceMember("CustomLightMode"), "LightColorInfo");
    Json::Value& groupTree = json::arrayElement(info, static_cast<Json::ArrayIndex>(group));
    const std::size_t count = std::min<std::size_t>(colours.size(), kMaxLedCount);
    for (std::size_t i = 0; i < count; ++i)
        writeColour(json::arrayElement(groupTree, static_cast<Json::ArrayIndex>(i)), colours[i]);
}

int CKeyboardProfiledata::LoadCustomGroup()
{
    m_customGroup = json::readInt(
        json::member(json::member(m_deviceData, "CustomLightMode"), "CustomLightModeGroupIndex"));
    return m_customGroup;
}

void CKeyboardProfiledata::StoreCustomGroup(int group)
{
    m_customGroup = group;
    json::objectMember(deviceMember("CustomLightMode"), "CustomLightModeGroupIndex") = group;
}

} // namespace profile
