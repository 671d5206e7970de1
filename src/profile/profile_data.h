#pragma once

#include "profile/json_file.h"
#include "profile/key_function_code.h"
#include "profile/light_info.h"

#include <json/value.h>

#include <filesystem>
#include <vector>

namespace profile {

inline constexpr const char* kProfileExtension = ".Json";

// One device's record of its current profile: the device data of the profile as a JSON
// tree, and the small records converted from it. Load* and Store* work on the tree in
// memory; only the virtual operations and the three *File operations touch the disk.
// Used on the UI thread only.
class CBasicProfiledata {
public:
    CBasicProfiledata() = default;
    virtual ~CBasicProfiledata() = default;
    CBasicProfiledata(const CBasicProfiledata&) = delete;
    CBasicProfiledata& operator=(const CBasicProfiledata&) = delete;

    void SetProfilePath(const std::filesystem::path& path);
    const std::filesystem::path& GetProfilePath() const { return m_profilePath; }
    void SetDefaultPath(const std::filesystem::path& path);
    void SetConfigPath(const std::filesystem::path& path) { m_configPath = path; }
    const std::filesystem::path& GetConfigPath() const { return m_configPath; }
    void SetDeviceIndex(int index) { m_deviceIndex = index; }

    // Loads "Device"[deviceIndex] of the profile file into the record. A file that lacks it
    // is completed from the default data file and written back; a damaged one (or a FIFO
    // where it belongs) is kept as "<name>.corrupt" first, with a notice for the user
    // (noteStoredFile); one that exists but cannot be read is left alone.
    Json::Value LoadProfileFile(const std::filesystem::path& path);
    // The same for another profile, used by edits that visit every profile.
    Json::Value LoadScratchFile(const std::filesystem::path& path);
    Json::Value LoadConfigFile(const std::filesystem::path& path);

    // 0 when written; nonzero when the file was left as it was (logged).
    virtual int SaveProfile();
    // Re-reads `path`, replaces only "Device"[deviceIndex] and writes the whole document.
    virtual int SaveDeviceData(const Json::Value& data, const std::filesystem::path& path);
    virtual int SaveScratchData(const std::filesystem::path& path);
    virtual int WriteDocument(const Json::Value& document, const std::filesystem::path& path);

    LightInfo LoadLightInfo();
    void StoreLightInfo(const LightInfo& record);
    AudioLightInfo LoadAudioLightInfo();
    void StoreAudioLightInfo(const AudioLightInfo& record);
    std::vector<LightInfo> LoadLightList();
    std::vector<EffectStep> LoadEffectSteps();
    std::vector<KeyAssignment> LoadKeyList();
    void StoreKeyList(const std::vector<KeyAssignment>& list);
    std::vector<KeyAssignment> LoadScratchKeyList();
    void StoreScratchKeyList(const std::vector<KeyAssignment>& list);

    const Json::Value& deviceData() const { return m_deviceData; }
    const Json::Value& scratchData() const { return m_scratchData; }
    const std::vector<KeyAssignment>& keyList() const { return m_keyList; }
    const LightInfo& lightInfo() const { return m_lightInfo; }
    const std::vector<EffectStep>& effectSteps() const { return m_effectSteps; }

protected:
    // Member `key` of the device data for writing; the device data becomes an object.
    Json::Value& deviceMember(const char* key);

    std::filesystem::path m_profilePath;
    std::filesystem::path m_defaultPath;
    LightInfo m_lightInfo;
    LightInfo m_defaultLightInfo;
    AudioLightInfo m_audioLightInfo;
    std::vector<LightInfo> m_lightList;
    Json::Value m_deviceData;
    CJsonFile m_jsonFile;
    Json::Value m_scratchData;
    std::filesystem::path m_configPath;
    std::vector<EffectStep> m_effectSteps;
    Json::Value m_config;
    std::vector<KeyAssignment> m_keyList;
    std::vector<KeyAssignment> m_scratchKeyList;
    int m_deviceIndex = 0;

private:
    Json::Value loadDeviceData(const std::filesystem::path& path);
};

// Key list conversions shared by the current and the scratch profile.
[[nodiscard]] std::vector<KeyAssignment> keyListFromDeviceData(const Json::Value& deviceData);
void storeKeyListInto(Json::Value& deviceData, const std::vector<KeyAssignment>& list);

} // namespace profile
