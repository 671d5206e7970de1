#include "profile/profile_list.h"

#include "profile/json_access.h"
#include "profile/profile_data.h"

#include "platform/debug_output.h"
#include "platform/text.h"

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

void ProfileList::InitProfiles()
{
    std::error_code error;
    fs::create_directories(m_profileFolder, error);
    const fs::path path = listPath();
    JsonDocument document = readJsonDocument(path);
    m_listDocument = document.value;
    if (json::arraySize(entries(m_listDocument)) == 0) {
        // A damaged list is kept aside; an unreadable one is left alone and we work from
        // a list in memory.
        const bool damaged = document.state == ReadState::Malformed ||
                             (document.state == ReadState::Ok && !document.value.isObject());
        const bool writable =
            document.state != ReadState::Unreadable && (!damaged || setAside(path));
        const std::string id = newProfileId(Json::Value());
        m_listDocument = Json::Value(Json::objectValue);
        m_listDocument["profilelist"].append(makeEntry(L"profile1", id));
        m_listDocument["profileselect"] = 0;
        if (writable && m_jsonFile.WriteJson(path, m_listDocument) == 0) {
            Json::Value profileDocument = m_jsonFile.ReadJson(m_defaultProfilePath);
            nameDocument(profileDocument, L"profile1", id);
            m_jsonFile.WriteJson(profileFile(m_listDocument["profilelist"][0]), profileDocument);
        }
    }
    const Json::Value& list = entries(m_listDocument);
    for (Json::ArrayIndex i = 0; i < list.size(); ++i)
        m_names.push_back(json::readText(json::member(list[i], "profilename")));
    const auto stored = json::toInt32(json::member(m_listDocument, "profileselect"));
    const int count = static_cast<int>(m_names.size());
    SelectProfile(stored && *stored >= 0 && *stored < count ? *stored : 0);
}

void ProfileList::SelectProfile(int index)
{
    if (index < 0 || index >= static_cast<int>(m_names.size()))
        return;
    m_selected = index;
    std::optional<Json::Value> document = readForRewrite(listPath());
    if (document)
        m_listDocument = *document;
    const Json::Value& entry = json::element(entries(m_listDocument), index);
    m_currentProfileId = json::readText(json::member(entry, "profileUUID"));
    // Unchanged selections are not rewritten, so reading the list leaves its file alone.
    if (document && !entry.isNull() &&
        json::toInt32(json::member(m_listDocument, "profileselect")) != index) {
        m_listDocument["profileselect"] = index;
        m_jsonFile.WriteJson(listPath(), m_listDocument);
    }
}

std::optional<int> ProfileList::appendEntry(const std::wstring& name, const std::string& id,
                                            bool selectIt)
{
    std::optional<Json::Value> document = readForRewrite(listPath());
    if (!document)
        return std::nullopt;
    m_listDocument = std::move(*document);
    m_names.push_back(name);
    Json::Value& list = json::objectMember(m_listDocument, "profilelist");
    json::makeArray(list);
    // After an earlier failed write the file may hold more entries than the display list;
    // never write over one of them.
    auto index = static_cast<Json::ArrayIndex>(m_names.size() - 1);
    if (index < list.size())
        index = list.size();
    list[index] = makeEntry(name, id);
    if (selectIt)
        m_listDocument["profileselect"] = static_cast<int>(index);
    m_jsonFile.WriteJson(listPath(), m_listDocument);
    return static_cast<int>(index);
}

bool ProfileList::AddProfile()
{
    if (m_names.size() >= kMaxAddedProfiles)
        return false;
    std::wstring name;
    for (int n = 1;; ++n) {
        name = L"profile" + std::to_wstring(n);
        if (!nameInUse(name))
            break;
    }
    const std::string id = newProfileId(m_listDocument);
    if (!appendEntry(name, id, true))
        return false;
    Json::Value document = m_jsonFile.ReadJson(m_defaultProfilePath);
    nameDocument(document, name, id);
    m_jsonFile.WriteJson(m_profileFolder / (id + kProfileExtension), document);
    return true;
}

bool ProfileList::CopyProfile()
{
    if (m_selected < 0 || m_selected >= static_cast<int>(m_names.size()))
        return false;
    std::wstring name = m_names[static_cast<std::size_t>(m_selected)];
    do {
        name += L" copy";
    } while (nameInUse(name));
    const fs::path source =
        profileFile(json::element(entries(m_jsonFile.ReadJson(listPath())), m_selected));
    Json::Value document = source.empty() ? Json::Value() : m_jsonFile.ReadJson(source);
    const std::string id = newProfileId(m_listDocument);
    if (!appendEntry(name, id, false))
        return false;
    nameDocument(document, name, id);
    m_jsonFile.WriteJson(m_profileFolder / (id + kProfileExtension), document);
    return true;
}

bool ProfileList::isImportable(const Json::Value& document)
{
    return document.isObject() && !json::member(document, "profilename").isNull() &&
           !json::member(document, "profileUUID").isNull();
}

bool ProfileList::ImportProfile(const fs::path& path)
{
    Json::Value document = m_jsonFile.ReadJson(path);
    if (!isImportable(document))
        return false;
    std::wstring name = CJsonFile::GetFileTitle(path);
    for (int n = 1; nameInUse(name); ++n)
        name += L"(" + std::to_wstring(n) + L")";
    const std::string id = newProfileId(m_listDocument);
    if (!appendEntry(name, id, false))
        return false;
    nameDocument(document, name, id);
    m_jsonFile.WriteJson(m_profileFolder / (id + kProfileExtension), document);
    return true;
}

bool ProfileList::ExportProfile(const fs::path& path)
{
    if (m_selected < 0)
        return false;
    m_listDocument = m_jsonFile.ReadJson(listPath());
    const fs::path source = profileFile(json::element(entries(m_listDocument), m_selected));
    const Json::Value document = source.empty() ? Json::Value() : m_jsonFile.ReadJson(source);
    return m_jsonFile.WriteJson(path, document) == 0;
}

int ProfileList::RenameProfile(const std::wstring& name)
{
    if (name.find_first_not_of(L" \t\r\n\f\v\u3000") == std::wstring::npos)
        return NameBlank;
    if (m_selected < 0 || nameInUse(name, m_selected))
        return NameTaken;
    std::optional<Json::Value> document = readForRewrite(listPath());
    if (!document)
        return NameTaken;
    m_names[static_cast<std::size_t>(m_selected)] = name;
    m_listDocument = std::move(*document);
    Json::Value& entry = json::arrayElement(json::objectMember(m_listDocument, "profilelist"),
                                            static_cast<Json::ArrayIndex>(m_selected));
    json::objectMember(entry, "profilename") = platform::toUtf8(name);
    m_jsonFile.WriteJson(listPath(), m_listDocument);
    const fs::path file = profileFile(entry);
    if (!file.empty()) {
        if (std::optional<Json::Value> profileDocument = readForRewrite(file)) {
            json::objectMember(*profileDocument, "profilename") = platform::toUtf8(name);
            m_jsonFile.WriteJson(file, *profileDocument);
        }
    }
    return Renamed;
}

bool ProfileList::ResetProfile()
{
    if (m_selected < 0)
        return false;
    m_listDocument = m_jsonFile.ReadJson(listPath());
    const Json::Value& entry = json::element(entries(m_listDocument), m_selected);
    const fs::path file = profileFile(entry);
    Json::Value document = m_jsonFile.ReadJson(m_defaultProfilePath);
    // Without factory data a reset would only wipe the profile.
    if (file.empty() || document.isNull()) {
        platform::debugOutput("profile reset skipped: no factory data or no profile file");
        return false;
    }
    json::makeObject(document);
    document["profilename"] = json::readString(json::member(entry, "profilename"));
    document["profileUUID"] = json::readString(json::member(entry, "profileUUID"));
    if (m_deviceKind == kHeadsetDeviceKind) {
        // User-made equaliser curves survive a reset.
        const Json::Value current = m_jsonFile.ReadJson(file);
        const Json::Value& currentDevice = json::element(json::member(current, "Device"), 0);
        Json::Value& device = json::arrayElement(json::objectMember(document, "Device"), 0);
        for (const char* key : {"CustomEQNameInfo", "CustomEQHzValueInfo"})
            json::objectMember(device, key) = json::member(currentDevice, key);
    }
    return m_jsonFile.WriteJson(file, document) == 0;
}

bool ProfileList::DeleteProfile()
{
    if (m_selected < 0 || m_names.size() < 2)
        return false;
    const int selected = m_selected;
    const int newSelection = selected > 0 ? selected - 1 : 0;
    std::optional<Json::Value> document = readForRewrite(listPath());
    if (!document)
        return false;
    m_listDocument = std::move(*document);
    Json::Value& list = json::objectMember(m_listDocument, "profilelist");
    fs::path file;
    if (list.isArray() && static_cast<Json::ArrayIndex>(selected) < list.size()) {
        file = profileFile(list[static_cast<Json::ArrayIndex>(selected)]);
        Json::Value removed;
        list.removeIndex(static_cast<Json::ArrayIndex>(selected), &removed);
    }
    m_listDocument["profileselect"] = newSelection;
    // The file goes only once the list no longer names it.
    if (m_jsonFile.WriteJson(listPath(), m_listDocument) == 0 && !file.empty()) {
        std::error_code error;
        fs::remove(file, error);
    }
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
