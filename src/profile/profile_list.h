#pragma once

#include "profile/json_file.h"

#include <json/value.h>

#include <filesystem>
#include <string>
#include <vector>

namespace profile {

inline constexpr const char* kProfileListFileName = "ProfileList.ini";
inline constexpr std::size_t kMaxAddedProfiles = 50;
inline constexpr int kHeadsetDeviceKind = 7;

// The profile list of one device kind: the display names (the profile panel mirrors them
// into its drop-down list), the list file "ProfileList.ini" and the profile files, kept in
// step. Every change re-reads the list file, changes it and writes it back; a list file
// that exists but cannot be read is never rewritten. Used on the UI thread only.
class ProfileList {
public:
    void SetDeviceKind(int kind) { m_deviceKind = kind; }
    void SetPaths(const std::filesystem::path& folder,
                  const std::filesystem::path& defaultProfilePath);

    // Reads the list (creating "profile1" when there is none), fills the display names and
    // selects the stored profile.
    void InitProfiles();
    // Makes entry `index` the selected profile; ignored outside the list.
    void SelectProfile(int index);
    int GetSelectedIndex() const { return m_selected; }
    const std::wstring& GetCurrentProfileId() const { return m_currentProfileId; }

    // The operations return false when they did nothing: at a limit, without a selection,
    // or when the list file could not be read for rewriting.
    bool AddProfile();
    bool CopyProfile();
    // The caller has checked the file with isImportable.
    bool ImportProfile(const std::filesystem::path& path);
    bool ExportProfile(const std::filesystem::path& path);
    enum RenameResult { NameTaken = 0, Renamed = 1, NameBlank = 2 };
    int RenameProfile(const std::wstring& name);
    bool ResetProfile();
    bool DeleteProfile();
    int GetProfileCount();
    // Empty when the entry does not exist or its ID would leave the folder.
    std::filesystem::path GetProfilePath(int index) const;

    const std::vector<std::wstring>& names() const { return m_names; }
    // "profileselect" of the list file as last read.
    int storedSelection() const;
    std::filesystem::path listPath() const { return m_profileFolder / kProfileListFileName; }

    // A profile file worth importing: an object with non-null "profilename" and
    // "profileUUID".
    static bool isImportable(const Json::Value& document);

private:
    std::string newProfileId(const Json::Value& list) const;
    std::filesystem::path profileFile(const Json::Value& entry) const;
    // Appends a display item and a list entry for a new profile; the index written.
    std::optional<int> appendEntry(const std::wstring& name, const std::string& id, bool selectIt);
    bool nameInUse(const std::wstring& name, int except = -1) const;

    int m_deviceKind = 1;
    std::filesystem::path m_profileFolder;
    std::filesystem::path m_defaultProfilePath;
    std::wstring m_currentProfileId;
    Json::Value m_listDocument;
    CJsonFile m_jsonFile;
    Json::Value m_queryDocument;
    std::vector<std::wstring> m_names;
    int m_selected = -1;
};

} // namespace profile
