#include "profile/profile_data.h"

#include "profile/json_access.h"
#include "profile/light_presets.h"
#include "profile/record_json.h"
#include "profile/stored_notices.h"

#include "platform/debug_output.h"

namespace profile {
namespace fs = std::filesystem;

namespace {

// The device index addresses an array element we may have to create; keep it small.
constexpr int kMaxDeviceIndex = 15;

bool validIndex(int index)
{
    return index >= 0 && index <= kMaxDeviceIndex;
}

} // namespace

void CBasicProfiledata::SetProfilePath(const fs::path& path)
{
    if (!path.empty())
        m_profilePath = path;
}

void CBasicProfiledata::SetDefaultPath(const fs::path& path)
{
    if (!path.empty())
        m_defaultPath = path;
}

Json::Value CBasicProfiledata::loadDeviceData(const fs::path& path)
{
    // Held across the read and the completing write; without it the file is only read.
    const auto lock = lockDataFolder(path.parent_path());
    JsonDocument document = readJsonDocument(path);
    if (!validIndex(m_deviceIndex))
        return Json::Value();
    if (!json::element(json::member(document.value, "Device"), m_deviceIndex).isNull()) {
        // Taken out of the document rather than copied: profiles hold thousands of nodes.
        Json::Value& devices = document.value["Device"];
        return std::move(devices[static_cast<Json::ArrayIndex>(m_deviceIndex)]);
    }

    // Completion from the factory data.
    const Json::Value defaults = m_jsonFile.ReadJson(m_defaultPath);
    Json::Value factory = json::element(json::member(defaults, "Device"), m_deviceIndex);
    if (factory.isNull()) {
        platform::debugOutput("profile: no factory data to complete " + path.string());
        return factory;
    }
    if (!lock)
        return factory;
    std::optional<fs::path> keptAs;
    switch (document.state) {
    case ReadState::Unreadable:
        // It may be fine a moment later: use the factory data, but write nothing.
        return factory;
    case ReadState::Ok:
        if (document.value.isObject())
            break;
        // Parsed, but nothing a profile could be: kept like a damaged file.
        [[fallthrough]];
    case ReadState::Malformed:
        keptAs = setAside(path);
        if (!keptAs)
            return factory;
        document.value = Json::Value(Json::objectValue);
        break;
    case ReadState::Missing:
        break;
    }
    Json::Value& devices = json::objectMember(document.value, "Device");
    json::arrayElement(devices, static_cast<Json::ArrayIndex>(m_deviceIndex)) = factory;
    if (m_jsonFile.WriteJson(path, document.value) != 0)
        platform::debugOutput("profile: the factory data is used but not stored in " +
                              path.string());
    if (keptAs) {
        // What the user sees now is not what they stored: said, with where it went.
        noteStoredFile({StoredFileNotice::Kind::ProfileReset, *keptAs,
                        path.string() + " " + damageReason(*keptAs) + ": kept as " +
                            keptAs->string() + "; the profile starts with the factory settings"});
    }
    return factory;
}

Json::Value CBasicProfiledata::LoadProfileFile(const fs::path& path)
{
    m_deviceData = loadDeviceData(path);
    return m_deviceData;
}

Json::Value CBasicProfiledata::LoadScratchFile(const fs::path& path)
{
    m_scratchData = loadDeviceData(path);
    return m_scratchData;
}

Json::Value CBasicProfiledata::LoadConfigFile(const fs::path& path)
{
    m_config = m_jsonFile.ReadJson(path);
    return m_config;
}

int CBasicProfiledata::SaveProfile()
{
    return SaveDeviceData(m_deviceData, m_profilePath);
}

int CBasicProfiledata::SaveDeviceData(const Json::Value& data, const fs::path& path)
{
    if (path.empty() || !validIndex(m_deviceIndex))
        return -1;
    const auto lock = lockDataFolder(path.parent_path());
    if (!lock)
        return -1;
    std::optional<Json::Value> document = readForRewrite(path);
    if (!document)
        return -1;
    if (!document->isNull() && !document->isObject()) {
        if (!setAside(path))
            return -1;
        *document = Json::Value(Json::objectValue);
    }
    Json::Value& devices = json::objectMember(*document, "Device");
    json::arrayElement(devices, static_cast<Json::ArrayIndex>(m_deviceIndex)) = data;
    return WriteDocument(*document, path);
}

int CBasicProfiledata::SaveScratchData(const fs::path& path)
{
    return SaveDeviceData(m_scratchData, path);
}

int CBasicProfiledata::WriteDocument(const Json::Value& document, const fs::path& path)
{
    return m_jsonFile.WriteJson(path, document);
}

Json::Value& CBasicProfiledata::deviceMember(const char* key)
{
    return json::objectMember(m_deviceData, key);
}

LightInfo CBasicProfiledata::LoadLightInfo()
{
    const Json::Value& object = json::member(m_deviceData, "LightInfo");
    m_lightInfo = object.isNull() ? m_defaultLightInfo : lightInfoFromJson(object);
    return m_lightInfo;
}

void CBasicProfiledata::StoreLightInfo(const LightInfo& record)
{
    m_lightInfo = record;
    deviceMember("LightInfo") = toJson(record);
}

AudioLightInfo CBasicProfiledata::LoadAudioLightInfo()
{
    m_audioLightInfo = audioLightInfoFromJson(json::member(m_deviceData, "AudioLightInfo"));
    return m_audioLightInfo;
}

void CBasicProfiledata::StoreAudioLightInfo(const AudioLightInfo& record)
{
    m_audioLightInfo = record;
    deviceMember("AudioLightInfo") = toJson(record);
}

std::vector<LightInfo> CBasicProfiledata::LoadLightList()
{
    const Json::Value& list = json::member(m_deviceData, "LightList");
    m_lightList.clear();
    m_lightList.reserve(json::arraySize(list));
    for (Json::ArrayIndex i = 0; i < json::arraySize(list); ++i)
        m_lightList.push_back(lightListEntryFromJson(list[i]));
    return m_lightList;
}

std::vector<EffectStep> CBasicProfiledata::LoadEffectSteps()
{
    // Step files live beside the custom lighting list, never wherever the process runs.
    m_effectSteps =
        readEffectSteps(m_config, m_deviceIndex, m_lightInfo.mode, m_configPath.parent_path());
    return m_effectSteps;
}

std::vector<KeyAssignment> keyListFromDeviceData(const Json::Value& deviceData)
{
    const Json::Value& list = json::member(deviceData, "KeyList");
    // Key indices are 16 bits wide; nothing real comes near.
    const Json::ArrayIndex count = std::min<Json::ArrayIndex>(json::arraySize(list), 0xFFFF);
    std::vector<KeyAssignment> keys;
    keys.reserve(count);
    for (Json::ArrayIndex i = 0; i < count; ++i)
        keys.push_back(keyAssignmentFromJson(list[i], static_cast<std::uint16_t>(i)));
    return keys;
}

void storeKeyListInto(Json::Value& deviceData, const std::vector<KeyAssignment>& list)
{
    Json::Value& keys = json::objectMember(deviceData, "KeyList");
    for (std::size_t i = 0; i < list.size(); ++i) {
        Json::Value& element = json::arrayElement(keys, static_cast<Json::ArrayIndex>(i));
        json::objectMember(element, "Assignment") = toInteger(list[i].current);
    }
}

std::vector<KeyAssignment> CBasicProfiledata::LoadKeyList()
{
    m_keyList = keyListFromDeviceData(m_deviceData);
    return m_keyList;
}

void CBasicProfiledata::StoreKeyList(const std::vector<KeyAssignment>& list)
{
    m_keyList = list;
    storeKeyListInto(m_deviceData, list);
}

std::vector<KeyAssignment> CBasicProfiledata::LoadScratchKeyList()
{
    m_scratchKeyList = keyListFromDeviceData(m_scratchData);
    return m_scratchKeyList;
}

void CBasicProfiledata::StoreScratchKeyList(const std::vector<KeyAssignment>& list)
{
    m_scratchKeyList = list;
    storeKeyListInto(m_scratchData, list);
}

} // namespace profile
