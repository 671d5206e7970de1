#include "profile/mouse_profile_data.h"

#include "profile/json_access.h"

namespace profile {
using json::member;

namespace {

// Real mice have five stages; the bound keeps a hostile file from growing the list.
constexpr Json::ArrayIndex kMaxDpiStages = 64;

} // namespace

std::vector<DpiStage> CMouseProfiledata::LoadDpiStages()
{
    const Json::Value& stages = member(m_deviceData, "DPIStages");
    if (!stages.isNull()) {
        m_activeStage = json::readInt(member(stages, "StageActive"));
        const Json::Value& list = member(stages, "StageDPIs");
        const Json::ArrayIndex count = std::min(json::arraySize(list), kMaxDpiStages);
        for (Json::ArrayIndex i = 0; i < count; ++i) {
            const Json::Value& element = list[i];
            const DpiStage stage{json::readByte(member(element, "StageActive")),
                                 json::readByte(member(element, "StageXY")),
                                 json::readU16(member(element, "StageDPIX")),
                                 json::readU16(member(element, "StageDPIY")),
                                 json::readByte(member(element, "StageColorR")),
                                 json::readByte(member(element, "StageColorG")),
                                 json::readByte(member(element, "StageColorB"))};
            if (i < m_dpiStages.size())
                m_dpiStages[i] = stage;
            else
                m_dpiStages.push_back(stage);
        }
    }
    return m_dpiStages;
}

void CMouseProfiledata::StoreDpiStages(const std::vector<DpiStage>& list)
{
    m_dpiStages = list;
    Json::Value& stages = json::objectMember(deviceMember("DPIStages"), "StageDPIs");
    for (std::size_t i = 0; i < list.size() && i < kMaxDpiStages; ++i) {
        Json::Value& element = json::arrayElement(stages, static_cast<Json::ArrayIndex>(i));
        json::makeObject(element);
        element["StageActive"] = list[i].enabled;
        element["StageXY"] = list[i].separateXY;
        element["StageDPIX"] = list[i].dpiX;
        element["StageDPIY"] = list[i].dpiY;
        element["StageColorR"] = list[i].red;
        element["StageColorG"] = list[i].green;
        element["StageColorB"] = list[i].blue;
    }
}

void CMouseProfiledata::StoreActiveStage(int index)
{
    m_activeStage = index;
    json::objectMember(deviceMember("DPIStages"), "StageActive") = index;
}

MouseSystemStages CMouseProfiledata::LoadMouseSystemStages()
{
    const Json::Value& stages = member(m_deviceData, "SystemStages");
    m_systemStages = MouseSystemStages{};
    if (!stages.isNull()) {
        m_systemStages.doubleClickTime = json::readU16(member(stages, "DoubleClickTime"));
        m_systemStages.mouseSpeed = json::readU16(member(stages, "MouseSpeed"));
        m_systemStages.pointerPrecision = json::readU16(member(stages, "PointerPrecision"));
        m_systemStages.scrollPage = json::readU16(member(stages, "ScorllPage"));
        m_systemStages.wheelScrollLines = json::readU16(member(stages, "WheelScorlllinse"));
        m_systemStages.reportStage =
            json::readU16(member(member(m_deviceData, "ReportStages"), "StageActive"));
    }
    return m_systemStages;
}

void CMouseProfiledata::StoreMouseSystemStages(std::uint32_t word0, std::uint32_t word1,
                                               std::uint32_t word2)
{
    m_systemStages = mouseStagesFromWords({word0, word1, word2});
    Json::Value& stages = deviceMember("SystemStages");
    json::makeObject(stages);
    stages["DoubleClickTime"] = m_systemStages.doubleClickTime;
    stages["MouseSpeed"] = m_systemStages.mouseSpeed;
    stages["PointerPrecision"] = m_systemStages.pointerPrecision;
    stages["ScorllPage"] = m_systemStages.scrollPage;
    stages["WheelScorlllinse"] = m_systemStages.wheelScrollLines;
    json::objectMember(deviceMember("ReportStages"), "StageActive") = m_systemStages.reportStage;
}

std::vector<CorrectionEntry> CMouseProfiledata::LoadCorrections()
{
    const Json::Value& list = member(m_deviceData, "CorrectInfo");
    m_corrections.clear();
    for (Json::ArrayIndex i = 0; i < json::arraySize(list); ++i) {
        const Json::Value& element = list[i];
        m_corrections.push_back(CorrectionEntry{json::readByte(member(element, "CorrectPixThresh")),
                                                json::readByte(member(element, "CorrectMinSq")),
                                                json::readByte(member(element, "CorrectSelect")),
                                                json::readText(member(element, "CorrectName"))});
    }
    return m_corrections;
}

} // namespace profile
