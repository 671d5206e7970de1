#include "profile/profile_list.h"

#include "profile/json_access.h"
#include "profile/oversized_file.h"
#include "profile/profile_data.h"
#include "profile/stored_notices.h"

#include "platform/debug_output.h"
#include "platform/text.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace profile {
namespace fs = std::filesystem;

namespace {

const Json::Value& entries(const Json::Value& list)
{
    return json::member(list, "profilelist");
}

Json::Value makeEntry(const std::wstring& name, const std::string& id)
{
    Json::Value entry(Json::objectValue);
    entry["profilename"] = platform::toUtf8(name);
    entry["profileUUID"] = id;
    entry["profileislink"] = 0;
    entry["profilelinkmame"] = "";
    return entry;
}

// A document named and identified as a new profile.
void nameDocument(Json::Value& document, const std::wstring& name, const std::string& id)
{
    json::makeObject(document);
    document["profilename"] = platform::toUtf8(name);
    document["profileUUID"] = id;
}

} // namespace

void ProfileList::SetPaths(const fs::path& folder, const fs::path& defaultProfilePath)
{
    m_profileFolder = folder;
    m_defaultProfilePath = defaultProfilePath;
}

fs::path ProfileList::profileFile(const Json::Value& entry) const
{
    return fileInFolder(m_profileFolder, json::readString(json::member(entry, "profileUUID")),
                        kProfileExtension)
        .value_or(fs::path());
}

std::string ProfileList::newProfileId(const Json::Value& list) const
{
    // Two profiles made within one millisecond would share a file.
    for (int attempt = 0;; ++attempt) {
        std::string id = CJsonFile::MakeTimestampId();
        bool taken = false;
        for (Json::ArrayIndex i = 0; i < json::arraySize(entries(list)) && !taken; ++i)
            taken = json::readString(json::member(entries(list)[i], "profileUUID")) == id;
        std::error_code error;
        taken = taken || fs::exists(m_profileFolder / (id + kProfileExtension), error);
        if (!taken || attempt > 2000)
            return id;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool ProfileList::nameInUse(const std::wstring& name, int except) const
{
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        if (static_cast<int>(i) != except && platform::equalsIgnoreCase(m_names[i], name))
            return true;
    }
    return false;
}

int ProfileList::storedSelection() const
{
    return json::readInt(json::member(m_listDocument, "profileselect"));
}

void ProfileList::adoptNames(const Json::Value& list)
{
    m_names.clear();
    const Json::Value& all = entries(list);
    std::optional<int> current;
    for (Json::ArrayIndex i = 0; i < json::arraySize(all); ++i) {
        m_names.push_back(json::readText(json::member(all[i], "profilename")));
        if (!m_currentProfileId.empty() &&
            json::readText(json::member(all[i], "profileUUID")) == m_currentProfileId)
            current = static_cast<int>(i);
    }
    // Another program may have moved or deleted entries: the selection follows the profile,
    // never its old position, so a rename or delete never lands on a neighbour.
    if (!m_currentProfileId.empty() && m_selected >= 0)
        m_selected = current.value_or(-1);
    if (m_selected >= static_cast<int>(m_names.size()))
        m_selected = static_cast<int>(m_names.size()) - 1;
}

bool ProfileList::refresh()
{
    const JsonDocument document = readJsonDocument(listPath());
    if (document.state == ReadState::Unreadable || !document.value.isObject())
        return true; // nothing learnt; the next change reports the list itself
    m_listDocument = document.value;
    adoptNames(m_listDocument);
    return m_currentProfileId.empty() || m_selected >= 0;
}

bool ProfileList::applyRename(Json::Value& list, const std::string& id, const std::string& name)
{
    Json::Value& all = json::objectMember(list, "profilelist");
    bool found = false;
    for (Json::ArrayIndex i = 0; i < json::arraySize(all); ++i) {
        if (json::readString(json::member(all[i], "profileUUID")) != id)
            continue;
        json::objectMember(all[i], "profilename") = name;
        found = true;
        const fs::path file = profileFile(all[i]);
        if (file.empty())
            continue;
        // A profile file that cannot be read keeps its old name; the list is the reference.
        if (std::optional<Json::Value> profile = readForRewrite(file); profile) {
            json::objectMember(*profile, "profilename") = name;
            if (m_jsonFile.WriteJson(file, *profile) != 0)
                return false;
        }
    }
    return !found || m_jsonFile.WriteJson(listPath(), list) == 0;
}

void ProfileList::finishInterruptedRename()
{
    const fs::path notePath = m_profileFolder / kRenameNoteFileName;
    const JsonDocument note = readJsonDocument(notePath);
    if (note.state == ReadState::Missing)
        return;
    std::optional<Json::Value> list = readForRewrite(listPath());
    if (!list)
        return; // kept for a later open that can read the list
    const std::string id = json::readString(json::member(note.value, "profileUUID"));
    const Json::Value& name = json::member(note.value, "profilename");
    if (note.state != ReadState::Ok || !name.isString() ||
        applyRename(*list, id, name.asString())) {
        std::error_code error;
        fs::remove(notePath, error);
        platform::debugOutput("finished an interrupted profile rename in " +
                              m_profileFolder.string());
    }
}

std::optional<Json::Value> ProfileList::beginChange(std::optional<platform::FolderLock>& lock)
{
    m_lastRefusal = Refusal::None;
    if (!m_readable) {
        // It may have become readable since: look again before refusing.
        if (readJsonDocument(listPath()).state == ReadState::Unreadable) {
            refuse(Refusal::ListUnreadable);
            return std::nullopt;
        }
        m_readable = true;
    }
    auto locked = lockDataFolder(m_profileFolder);
    if (!locked) {
        // Only a wait that ran out means another program; a folder that cannot be made or
        // opened is one nothing can be written to.
        const bool busy = locked.error().code == platform::Error::Code::Timeout;
        refuse(busy ? Refusal::FolderBusy : Refusal::NotWritten);
        return std::nullopt;
    }
    lock.emplace(std::move(*locked));
    finishInterruptedRename();
    std::optional<fs::path> keptAs;
    std::optional<Json::Value> document = readForRewrite(listPath(), &keptAs);
    if (!document) {
        m_readable = false;
        refuse(Refusal::ListUnreadable);
        return std::nullopt;
    }
    if (!document->isNull() && !document->isObject()) {
        keptAs = setAside(listPath());
        if (!keptAs) {
            refuse(Refusal::NotWritten); // parsed, but no list: never replaced without a copy
            return std::nullopt;
        }
        *document = Json::Value();
    }
    json::makeObject(*document);
    if (keptAs) {
        // Damaged since it was opened: made again from the profile files before the change.
        recoverOrphans(*document);
        if (m_jsonFile.WriteJson(listPath(), *document) != 0) {
            refuse(Refusal::NotWritten);
            return std::nullopt;
        }
        noteListSetAside(*keptAs, false);
    }
    m_listDocument = *document;
    adoptNames(*document);
    return document;
}

void ProfileList::noteListSetAside(const fs::path& keptAs, bool restarted)
{
    const std::string what =
        listPath().string() + " " + damageReason(keptAs) + ": kept as " + keptAs.string() + "; ";
    if (restarted) {
        noteStoredFile({StoredFileNotice::Kind::ProfileListRestarted, keptAs,
                        what + "no profile file was left, so a new profile1 with the factory "
                               "settings was started"});
    } else {
        noteStoredFile({StoredFileNotice::Kind::ProfileListRebuilt, keptAs,
                        what + "the list was rebuilt from the " +
                            std::to_string(json::arraySize(entries(m_listDocument))) +
                            " profile files left"});
    }
}

void ProfileList::InitProfiles()
{
    const auto lock = lockDataFolder(m_profileFolder);
    if (lock) {
        removeLeftoverWrites(m_profileFolder);
        finishInterruptedRename();
    }
    const fs::path path = listPath();
    m_setAsideNotices.clear();
    m_setAsideFiles.clear();
    // A list too large to read would refuse every change for good: kept aside, the list
    // starts afresh and the profile files come back into it as orphans below.
    if (lock)
        setAsideIfTooLarge(path);
    JsonDocument document = readJsonDocument(path);
    m_names.clear();
    m_selected = -1;
    m_currentProfileId.clear();
    const bool damaged = document.state == ReadState::Malformed ||
                         (document.state == ReadState::Ok && !document.value.isObject());
    const std::optional<fs::path> keptAs =
        damaged && lock ? setAside(path) : std::optional<fs::path>();
    if (document.state == ReadState::Unreadable || (damaged && !keptAs)) {
        // No stand-in list: a device working from one would make a new profile file for
        // every change and lose it again. A damaged list that could not be kept aside is
        // never replaced, so it waits like an unreadable one.
        m_readable = false;
        m_listDocument = Json::Value();
        platform::debugOutput("the profile list cannot be read: " + path.string());
        return;
    }
    m_readable = true;
    m_listDocument = damaged ? Json::Value(Json::objectValue) : document.value;
    // A damaged list is made again from the profile files left before anything new is
    // made: the user's own profiles come back, not a factory one in their place.
    bool changed = keptAs && recoverOrphans(m_listDocument);
    const bool restarted = json::arraySize(entries(m_listDocument)) == 0;
    if (restarted) {
        const std::string id = newProfileId(Json::Value());
        m_listDocument = Json::Value(Json::objectValue);
        m_listDocument["profilelist"].append(makeEntry(L"profile1", id));
        m_listDocument["profileselect"] = 0;
        if (lock) {
            Json::Value profileDocument = m_jsonFile.ReadJson(m_defaultProfilePath);
            nameDocument(profileDocument, L"profile1", id);
            changed = writeNewProfile(id, profileDocument);
        }
    }
    if (lock && recoverOrphans(m_listDocument))
        changed = true;
    if (changed && m_jsonFile.WriteJson(path, m_listDocument) != 0)
        platform::debugOutput("the profile list is used but not stored: " + path.string());
    if (keptAs)
        noteListSetAside(*keptAs, restarted);
    if (lock) {
        // A profile too large to read could never be saved again: kept aside, its entry
        // starts afresh.
        for (Json::ArrayIndex i = 0; i < json::arraySize(entries(m_listDocument)); ++i) {
            const Json::Value& entry = entries(m_listDocument)[i];
            const fs::path file = profileFile(entry);
            if (file.empty() || !isTooLargeToRead(file) || !setAsideIfTooLarge(file))
                continue;
            // The entry keeps a file with its name and ID, as a reset would leave it.
            Json::Value fresh = m_jsonFile.ReadJson(m_defaultProfilePath);
            if (fresh.isNull())
                continue;
            json::makeObject(fresh);
            fresh["profilename"] = json::readString(json::member(entry, "profilename"));
            fresh["profileUUID"] = json::readString(json::member(entry, "profileUUID"));
            m_jsonFile.WriteJson(file, fresh);
        }
    }
    adoptNames(m_listDocument);
    const auto stored = json::readIndex(json::member(m_listDocument, "profileselect"),
                                        static_cast<std::int64_t>(m_names.size()));
    select(static_cast<int>(stored.value_or(0)), Storing::IfPossible);
}

bool ProfileList::recoverOrphans(Json::Value& list)
{
    std::vector<std::string> named;
    for (Json::ArrayIndex i = 0; i < json::arraySize(entries(list)); ++i)
        named.push_back(json::readString(json::member(entries(list)[i], "profileUUID")));
    adoptNames(list);
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::directory_iterator it(m_profileFolder, error), end; !error && it != end;
         it.increment(error))
        files.push_back(it->path());
    // Their names are the times they were made: in that order, as the list had them.
    std::sort(files.begin(), files.end());
    bool changed = false;
    for (const fs::path& file : files) {
        const std::string id = file.stem().string();
        // Only files this program named: a killed add or delete leaves one of those.
        if (file.extension() != kProfileExtension || !isTimestampId(id) ||
            std::find(named.begin(), named.end(), id) != named.end())
            continue;
        const JsonDocument document = readJsonDocument(file);
        if (document.state != ReadState::Ok || !isImportable(document.value))
            continue;
        std::wstring name = json::readText(json::member(document.value, "profilename"));
        if (name.size() > kMaxProfileNameLength)
            name.resize(kMaxProfileNameLength);
        if (name.find_first_not_of(L" \t\r\n\f\v\u3000") == std::wstring::npos)
            name = L"profile";
        for (int n = 1; nameInUse(name); ++n) {
            const std::wstring suffix = L"(" + std::to_wstring(n) + L")";
            name = name.substr(0, std::min(name.size(), kMaxProfileNameLength - suffix.size())) +
                   suffix;
        }
        Json::Value& all = json::objectMember(list, "profilelist");
        json::makeArray(all);
        all.append(makeEntry(name, id));
        m_names.push_back(name);
        named.push_back(id);
        changed = true;
        platform::debugOutput("profile file " + file.filename().string() +
                              " named by no list entry: recovered into the list");
    }
    return changed;
}

bool ProfileList::SelectProfile(int index)
{
    return select(index, Storing::Required);
}

bool ProfileList::select(int index, Storing storing)
{
    m_lastRefusal = Refusal::None;
    if (index < 0 || index >= static_cast<int>(m_names.size()))
        return false;
    const std::wstring previousId = m_currentProfileId;
    m_selected = index;
    m_currentProfileId.clear(); // the choice is by position: nothing to follow while reading
    std::optional<platform::FolderLock> lock;
    std::optional<Json::Value> document = beginChange(lock);
    if (document) {
        if (index >= static_cast<int>(m_names.size()))
            m_selected = index = static_cast<int>(m_names.size()) - 1;
    }
    if (m_selected < 0)
        return false;
    const Json::Value& entry = json::element(entries(m_listDocument), index);
    m_currentProfileId = json::readText(json::member(entry, "profileUUID"));
    // Unchanged selections are not rewritten, so reading the list leaves its file alone.
    if (json::toInt32(json::member(m_listDocument, "profileselect")) == index)
        return true;
    if (document && !entry.isNull()) {
        m_listDocument["profileselect"] = index;
        if (m_jsonFile.WriteJson(listPath(), m_listDocument) == 0)
            return true;
        m_listDocument = std::move(*document);
        refuse(Refusal::NotWritten);
    } else if (m_lastRefusal == Refusal::None) {
        refuse(Refusal::NotWritten);
    }
    if (storing == Storing::IfPossible)
        return true;
    // A choice not stored is not made: the next start and halvekctl would use the old one.
    m_currentProfileId.clear();
    m_selected = -1;
    for (Json::ArrayIndex i = 0; i < json::arraySize(entries(m_listDocument)); ++i) {
        if (!previousId.empty() &&
            json::readText(json::member(entries(m_listDocument)[i], "profileUUID")) == previousId) {
            m_selected = static_cast<int>(i);
            m_currentProfileId = previousId;
        }
    }
    return false;
}

bool ProfileList::writeNewProfile(const std::string& id, const Json::Value& document)
{
    const auto file = fileInFolder(m_profileFolder, id, kProfileExtension);
    return file && m_jsonFile.WriteJson(*file, document) == 0;
}

bool ProfileList::appendEntry(Json::Value& list, const std::wstring& name, const std::string& id,
                              bool selectIt)
{
    Json::Value& all = json::objectMember(list, "profilelist");
    json::makeArray(all);
    const auto index = all.size();
    all.append(makeEntry(name, id));
    if (selectIt)
        list["profileselect"] = static_cast<int>(index);
    if (m_jsonFile.WriteJson(listPath(), list) != 0) {
        // No entry names the new file: taken back, or the next open would recover it.
        if (const auto file = fileInFolder(m_profileFolder, id, kProfileExtension)) {
            std::error_code error;
            fs::remove(*file, error);
        }
        return refuse(Refusal::NotWritten);
    }
    m_listDocument = list;
    m_names.push_back(name);
    return true;
}

bool ProfileList::AddProfile()
{
    std::optional<platform::FolderLock> lock;
    std::optional<Json::Value> list = beginChange(lock);
    if (!list)
        return false;
    if (m_names.size() >= kMaxAddedProfiles)
        return refuse(Refusal::AtLimit);
    std::wstring name;
    for (int n = 1;; ++n) {
        name = L"profile" + std::to_wstring(n);
        if (!nameInUse(name))
            break;
    }
    const std::string id = newProfileId(*list);
    Json::Value document = m_jsonFile.ReadJson(m_defaultProfilePath);
    nameDocument(document, name, id);
    if (!writeNewProfile(id, document))
        return refuse(Refusal::NotWritten);
    return appendEntry(*list, name, id, true);
}

bool ProfileList::CopyProfile()
{
    std::optional<platform::FolderLock> lock;
    std::optional<Json::Value> list = beginChange(lock);
    if (!list)
        return false;
    if (m_selected < 0 || m_selected >= static_cast<int>(m_names.size()))
        return refuse(Refusal::NoSelection);
    std::wstring name = m_names[static_cast<std::size_t>(m_selected)];
    do {
        name += L" copy";
    } while (nameInUse(name));
    const fs::path source = profileFile(json::element(entries(*list), m_selected));
    Json::Value document = source.empty() ? Json::Value() : m_jsonFile.ReadJson(source);
    const std::string id = newProfileId(*list);
    nameDocument(document, name, id);
    if (!writeNewProfile(id, document))
        return refuse(Refusal::NotWritten);
    return appendEntry(*list, name, id, false);
}

bool ProfileList::isImportable(const Json::Value& document)
{
    return document.isObject() && !json::member(document, "profilename").isNull() &&
           !json::member(document, "profileUUID").isNull();
}

bool ProfileList::ImportProfile(const fs::path& path)
{
    std::error_code error;
    const auto size = fs::file_size(path, error);
    if (!error && size > kMaxJsonFileSize)
        return refuse(Refusal::TooLarge);
    Json::Value document = m_jsonFile.ReadJson(path);
    if (!isImportable(document))
        return refuse(Refusal::NotAProfile);
    std::optional<platform::FolderLock> lock;
    std::optional<Json::Value> list = beginChange(lock);
    if (!list)
        return false;
    std::wstring name = CJsonFile::GetFileTitle(path);
    if (name.size() > kMaxProfileNameLength)
        name.resize(kMaxProfileNameLength);
    for (int n = 1; nameInUse(name); ++n) {
        const std::wstring suffix = L"(" + std::to_wstring(n) + L")";
        name =
            name.substr(0, std::min(name.size(), kMaxProfileNameLength - suffix.size())) + suffix;
    }
    const std::string id = newProfileId(*list);
    document = withValidUtf8(document);
    nameDocument(document, name, id);
    // The written form is larger than the read one (indents, line ends); a profile that
    // could not be read back would make every later change to it fail.
    const std::string bytes = formatJson(document);
    if (bytes.size() > kMaxJsonFileSize)
        return refuse(Refusal::TooLarge);
    const auto file = fileInFolder(m_profileFolder, id, kProfileExtension);
    if (!file || writeFileReplacing(*file, bytes) != 0)
        return refuse(Refusal::NotWritten);
    return appendEntry(*list, name, id, false);
}

bool ProfileList::ExportProfile(const fs::path& path)
{
    m_lastRefusal = Refusal::None;
    if (m_selected < 0)
        return refuse(Refusal::NoSelection);
    const JsonDocument listDocument = readJsonDocument(listPath());
    if (listDocument.state == ReadState::Unreadable)
        return refuse(Refusal::ListUnreadable);
    m_listDocument = listDocument.value;
    const fs::path source = profileFile(json::element(entries(m_listDocument), m_selected));
    const Json::Value document = source.empty() ? Json::Value() : m_jsonFile.ReadJson(source);
    return m_jsonFile.WriteJson(path, document) == 0 || refuse(Refusal::NotWritten);
}

int ProfileList::RenameProfile(const std::wstring& name)
{
    m_lastRefusal = Refusal::None;
    if (name.find_first_not_of(L" \t\r\n\f\v\u3000") == std::wstring::npos)
        return NameBlank;
    std::optional<platform::FolderLock> lock;
    std::optional<Json::Value> list = beginChange(lock);
    if (!list)
        return NotRenamed;
    if (m_selected < 0) {
        refuse(Refusal::NoSelection);
        return NotRenamed;
    }
    if (nameInUse(name, m_selected))
        return NameTaken;
    const Json::Value& entry = json::element(entries(*list), m_selected);
    const std::string id = json::readString(json::member(entry, "profileUUID"));
    const std::string oldName = json::readString(json::member(entry, "profilename"));
    const std::string utf8 = platform::toUtf8(name);
    // The note first: from here on the rename completes, now or at the next open.
    Json::Value note(Json::objectValue);
    note["profileUUID"] = id;
    note["profilename"] = utf8;
    const fs::path notePath = m_profileFolder / kRenameNoteFileName;
    if (m_jsonFile.WriteJson(notePath, note) != 0) {
        refuse(Refusal::NotWritten);
        return NotRenamed;
    }
    if (!applyRename(*list, id, utf8)) {
        undoRename(id, oldName, utf8);
        refuse(Refusal::NotWritten);
        return NotRenamed;
    }
    std::error_code error;
    fs::remove(notePath, error);
    m_listDocument = *list;
    m_names[static_cast<std::size_t>(m_selected)] = name;
    return Renamed;
}

void ProfileList::undoRename(const std::string& id, const std::string& oldName,
                             const std::string& newName)
{
    // Reported as not done, so nothing may finish it later.
    const fs::path notePath = m_profileFolder / kRenameNoteFileName;
    std::error_code error;
    fs::remove(notePath, error);
    if (error)
        platform::debugOutput("rename note " + notePath.string() +
                              " not removed: " + error.message());
    // The profile file may have taken the new name before the list failed; the list is
    // what decides, and the file follows it again.
    const auto file = fileInFolder(m_profileFolder, id, kProfileExtension);
    if (!file)
        return;
    std::optional<Json::Value> profile = readForRewrite(*file);
    if (!profile || json::readString(json::member(*profile, "profilename")) != newName)
        return;
    json::objectMember(*profile, "profilename") = oldName;
    if (m_jsonFile.WriteJson(*file, *profile) != 0)
        platform::debugOutput("profile file " + file->string() + " keeps the name not given");
}

bool ProfileList::ResetProfile()
{
    std::optional<platform::FolderLock> lock;
    std::optional<Json::Value> list = beginChange(lock);
    if (!list)
        return false;
    if (m_selected < 0)
        return refuse(Refusal::NoSelection);
    const Json::Value& entry = json::element(entries(*list), m_selected);
    const fs::path file = profileFile(entry);
    Json::Value document = m_jsonFile.ReadJson(m_defaultProfilePath);
    // Without factory data a reset would only wipe the profile.
    if (file.empty() || document.isNull()) {
        platform::debugOutput("profile reset skipped: no factory data or no profile file");
        return refuse(Refusal::NoFactoryData);
    }
    json::makeObject(document);
    document["profilename"] = json::readString(json::member(entry, "profilename"));
    document["profileUUID"] = json::readString(json::member(entry, "profileUUID"));
    if (m_deviceKind == kHeadsetDeviceKind) {
        // User-made equaliser curves survive a reset; unread, they would be lost with it.
        const JsonDocument current = readJsonDocument(file);
        if (current.state == ReadState::Unreadable)
            return refuse(Refusal::NotWritten);
        const Json::Value& currentDevice = json::element(json::member(current.value, "Device"), 0);
        Json::Value& device = json::arrayElement(json::objectMember(document, "Device"), 0);
        for (const char* key : {"CustomEQNameInfo", "CustomEQHzValueInfo"})
            json::objectMember(device, key) = json::member(currentDevice, key);
    } else if (!setAsideIfTooLarge(file)) {
        return refuse(Refusal::NotWritten);
    }
    return m_jsonFile.WriteJson(file, document) == 0 || refuse(Refusal::NotWritten);
}

bool ProfileList::setAsideIfTooLarge(const fs::path& file)
{
    fs::path asideAs;
    auto aside = profile::setAsideIfTooLarge(file, &asideAs);
    if (!aside)
        return true;
    if (*aside)
        m_setAsideFiles.push_back(std::move(asideAs));
    m_setAsideNotices.push_back(*aside ? aside->value() : aside->error().message);
    return aside->hasValue();
}

bool ProfileList::DeleteProfile()
{
    std::optional<platform::FolderLock> lock;
    std::optional<Json::Value> list = beginChange(lock);
    if (!list)
        return false;
    if (m_selected < 0)
        return refuse(Refusal::NoSelection);
    if (m_names.size() < 2)
        return refuse(Refusal::LastProfile);
    const int selected = m_selected;
    const int newSelection = selected > 0 ? selected - 1 : 0;
    Json::Value& all = json::objectMember(*list, "profilelist");
    const fs::path file = profileFile(all[static_cast<Json::ArrayIndex>(selected)]);
    Json::Value removed;
    all.removeIndex(static_cast<Json::ArrayIndex>(selected), &removed);
    (*list)["profileselect"] = newSelection;
    if (m_jsonFile.WriteJson(listPath(), *list) != 0)
        return refuse(Refusal::NotWritten);
    // The file goes only once the list no longer names it.
    if (!file.empty()) {
        std::error_code error;
        fs::remove(file, error);
    }
    m_listDocument = std::move(*list);
    m_names.erase(m_names.begin() + selected);
    m_selected = -1;
    return true;
}

int ProfileList::GetProfileCount()
{
    m_queryDocument = m_jsonFile.ReadJson(listPath());
    return static_cast<int>(json::arraySize(entries(m_queryDocument)));
}

fs::path ProfileList::GetProfilePath(int index) const
{
    return profileFile(json::element(entries(m_queryDocument), index));
}

} // namespace profile
