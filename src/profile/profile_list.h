#pragma once

#include "profile/json_file.h"

#include <json/value.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace profile {

inline constexpr const char* kProfileListFileName = "ProfileList.ini";
// A rename touches the list and the profile file; this note of the rename lives until both
// are written, so a rename cut short is finished the next time the folder is opened.
inline constexpr const char* kRenameNoteFileName = "ProfileList.ini.renaming";
inline constexpr std::size_t kMaxAddedProfiles = 50;
inline constexpr int kHeadsetDeviceKind = 7;

// The profile list of one device kind: the display names (the profile panel mirrors them
// into its drop-down list), the list file "ProfileList.ini" and the profile files, kept in
// step. Every change holds the folder's lock, re-reads the list file (taking the names
// from it, so another program's change is seen), changes it and writes it back. A new
// profile's file is written before its list entry: a file without an entry is harmless,
// an entry without a file is not. A list file that exists but cannot be read is never
// rewritten, and nothing changes until it can be read. Used on the UI thread only.
class ProfileList {
public:
    // Why the last operation did nothing.
    enum class Refusal {
        None,
        AtLimit, // 50 profiles for AddProfile
        NoSelection,
        LastProfile,    // the only profile is never deleted
        ListUnreadable, // the list file exists but cannot be read
        FolderBusy,     // another program keeps the folder locked
        NotAProfile,    // import: not JSON with "profilename" and "profileUUID"
        TooLarge,       // import: the profile would be too large to read back
        NoFactoryData,  // reset: no default data file, or no usable profile file
        NotWritten,     // a file could not be written
    };

    void SetDeviceKind(int kind) { m_deviceKind = kind; }
    void SetPaths(const std::filesystem::path& folder,
                  const std::filesystem::path& defaultProfilePath);

    // Reads the list (creating "profile1" when there is none), fills the display names and
    // selects the stored profile. A damaged list is kept aside and made again from the
    // profile files left (profile1 only when none is), with a notice for the user
    // (noteStoredFile).
    void InitProfiles();
    // Makes entry `index` the selected profile and stores the choice. False, with the
    // selection as it was, when the choice could not be stored (lastRefusal says why) or
    // `index` is outside the list.
    bool SelectProfile(int index);
    // Reads the list again and adopts its names, following the current profile to wherever
    // it now stands (another program may have renamed or deleted profiles). False when the
    // current profile is no longer listed; the selection is then none. Writes nothing.
    bool refresh();
    int GetSelectedIndex() const { return m_selected; }
    const std::wstring& GetCurrentProfileId() const { return m_currentProfileId; }

    // The operations return false when they did nothing; lastRefusal() says why.
    bool AddProfile();
    bool CopyProfile();
    // The caller has checked the file with isImportable.
    bool ImportProfile(const std::filesystem::path& path);
    bool ExportProfile(const std::filesystem::path& path);
    // NotRenamed: refused for another reason (see lastRefusal).
    enum RenameResult { NameTaken = 0, Renamed = 1, NameBlank = 2, NotRenamed = 3 };
    int RenameProfile(const std::wstring& name);
    bool ResetProfile();
    bool DeleteProfile();
    int GetProfileCount();
    // Empty when the entry does not exist or its ID would leave the folder.
    std::filesystem::path GetProfilePath(int index) const;

    Refusal lastRefusal() const { return m_lastRefusal; }
    // False while the list file exists but cannot be read: there are then no names and no
    // current profile, and every change is refused.
    bool isReadable() const { return m_readable; }
    // One sentence per profile file found past the size bound when the folder was opened
    // or reset: renamed to "<name>.toolarge" so nothing replaces it, or left alone when
    // that failed. Cleared by InitProfiles.
    const std::vector<std::string>& setAsideNotices() const { return m_setAsideNotices; }
    // The new names of the files the notices tell of that were set aside.
    const std::vector<std::filesystem::path>& setAsideFiles() const { return m_setAsideFiles; }

    const std::vector<std::wstring>& names() const { return m_names; }
    // "profileselect" of the list file as last read.
    int storedSelection() const;
    std::filesystem::path listPath() const { return m_profileFolder / kProfileListFileName; }

    // A profile file worth importing: an object with non-null "profilename" and
    // "profileUUID".
    static bool isImportable(const Json::Value& document);

private:
    // Start of every change: the folder's lock, an interrupted rename finished, and the
    // list as it is on disk now (its names adopted). Nullopt, with the refusal noted,
    // when the change must not go ahead; the lock is held by `lock`.
    std::optional<Json::Value> beginChange(std::optional<platform::FolderLock>& lock);
    void adoptNames(const Json::Value& list);
    // Whether a selection must reach the list file to count: a user's choice must, the
    // list's own choice shown at opening need not.
    enum class Storing { Required, IfPossible };
    bool select(int index, Storing storing);
    // The notice for a damaged list kept aside as `keptAs` and made again (restarted: with
    // a new profile1, as no profile file was left).
    void noteListSetAside(const std::filesystem::path& keptAs, bool restarted);
    // After a rename reported as failed: its note goes, and the profile file gets its old
    // name back if it took the new one.
    void undoRename(const std::string& id, const std::string& oldName, const std::string& newName);
    bool refuse(Refusal why)
    {
        m_lastRefusal = why;
        return false;
    }
    void finishInterruptedRename();
    // Appends an entry, under the file's own name, for every profile file of the folder
    // that no entry names (a killed add or delete leaves one). True when one was added.
    bool recoverOrphans(Json::Value& list);
    bool applyRename(Json::Value& list, const std::string& id, const std::string& name);
    bool writeNewProfile(const std::string& id, const Json::Value& document);
    std::string newProfileId(const Json::Value& list) const;
    std::filesystem::path profileFile(const Json::Value& entry) const;
    // Appends the list entry of a new profile whose file is written; false when the list
    // could not be written.
    bool appendEntry(Json::Value& list, const std::wstring& name, const std::string& id,
                     bool selectIt);
    bool nameInUse(const std::wstring& name, int except = -1) const;
    // False when the file is too large and stays where it is.
    bool setAsideIfTooLarge(const std::filesystem::path& file);

    int m_deviceKind = 1;
    std::filesystem::path m_profileFolder;
    std::filesystem::path m_defaultProfilePath;
    std::wstring m_currentProfileId;
    Json::Value m_listDocument;
    CJsonFile m_jsonFile;
    Json::Value m_queryDocument;
    std::vector<std::wstring> m_names;
    int m_selected = -1;
    bool m_readable = true;
    Refusal m_lastRefusal = Refusal::None;
    std::vector<std::string> m_setAsideNotices;
    std::vector<std::filesystem::path> m_setAsideFiles;
};

} // namespace profile
