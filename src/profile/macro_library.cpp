#include "profile/macro_library.h"

#include "profile/json_access.h"
#include "profile/key_codes.h"
#include "profile/key_page_state.h"
#include "profile/oversized_file.h"
#include "profile/stored_notices.h"

#include "platform/debug_output.h"
#include "platform/text.h"

#include <json/writer.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace profile {
namespace fs = std::filesystem;

namespace {

constexpr std::uint16_t kMaxDelay = 0xFFFF;

const Json::Value& macroInfo(const Json::Value& index)
{
    return json::member(index, "MacroInfo");
}

std::string styled(const Json::Value& value)
{
    Json::StyledWriter writer;
    return writer.write(value);
}

std::uint16_t saturatedDelay(long long value)
{
    return static_cast<std::uint16_t>(value < 0 ? 0 : value > kMaxDelay ? kMaxDelay : value);
}

} // namespace

const char* macroIndexFileName(int deviceKind)
{
    constexpr int kMousePad = 3;
    constexpr int kHeadset = 7;
    return deviceKind == kMousePad || deviceKind == kHeadset ? kMacroNameListFileName
                                                             : kMacroIndexFileName;
}

MacroLibrary::MacroLibrary(fs::path folder, std::string indexFileName)
    : m_folder(std::move(folder)), m_indexFileName(std::move(indexFileName))
{
}

void MacroLibrary::Load()
{
    const auto lock = lockDataFolder(m_folder);
    removeLeftoverWrites(m_folder);
    m_setAsideNotices.clear();
    // An index too large to read would refuse every change for good: kept aside, it starts
    // afresh and the macro files come back into it as orphans.
    if (lock) {
        if (auto aside = setAsideIfTooLarge(indexPath()))
            m_setAsideNotices.push_back(*aside ? aside->value() : aside->error().message);
    }
    JsonDocument document = readJsonDocument(indexPath());
    const bool damaged = document.state == ReadState::Malformed ||
                         (document.state == ReadState::Ok && !document.value.isObject());
    // A damaged index names no macros, yet keys still use them by position: kept aside, it
    // is made again from the macro files, in the order they were made.
    const std::optional<fs::path> keptAs =
        damaged && lock ? setAside(indexPath()) : std::optional<fs::path>();
    // One neither read nor kept says nothing about which macros exist, like an unreadable one.
    m_readable = document.state != ReadState::Unreadable && (!damaged || keptAs);
    if (!m_readable) {
        adopt(Json::Value());
        return;
    }
    adopt(damaged ? Json::Value(Json::objectValue) : std::move(document.value));
    if (lock)
        recoverOrphans(damaged);
    if (keptAs) {
        noteStoredFile({StoredFileNotice::Kind::MacroListRebuilt, *keptAs,
                        indexPath().string() + " " + damageReason(*keptAs) + ": kept as " +
                            keptAs->string() + "; the macro list was rebuilt from the " +
                            std::to_string(m_names.size()) + " macro files left"});
    }
    if (!lock)
        return;
    // A macro too large to read could never be edited again: kept aside, it starts empty.
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        if (auto aside = setAsideIfTooLarge(macroPath(static_cast<int>(i))))
            m_setAsideNotices.push_back(*aside ? aside->value() : aside->error().message);
    }
}

void MacroLibrary::recoverOrphans(bool rebuild)
{
    std::vector<fs::path> orphans;
    std::error_code error;
    for (fs::directory_iterator it(m_folder, error), end; !error && it != end;
         it.increment(error)) {
        const fs::path& file = it->path();
        const std::string id = file.stem().string();
        // Only files this program named: a killed delete leaves one of those.
        if (file.extension() != kMacroFileExtension || !isTimestampId(id))
            continue;
        bool named = false;
        for (std::size_t i = 0; i < m_names.size() && !named; ++i)
            named = guid(i) == id;
        if (!named)
            orphans.push_back(file);
    }
    if (orphans.empty() && !rebuild)
        return;
    // A rebuild starts from nothing: the damaged index was kept aside as it is.
    std::optional<Json::Value> index =
        rebuild ? std::optional(Json::Value(Json::objectValue)) : readIndexForChange();
    if (!index)
        return;
    std::sort(orphans.begin(), orphans.end());
    bool changed = rebuild;
    for (const fs::path& file : orphans) {
        if (m_names.size() >= kMaxMacros)
            break;
        const JsonDocument macro = readJsonDocument(file);
        if (macro.state != ReadState::Ok || macroDocumentProblem(macro.value))
            continue;
        std::wstring name = json::readText(json::member(macro.value, "MacroName"));
        if (name.size() > kMaxMacroNameLength)
            name.resize(kMaxMacroNameLength);
        if (name.find_first_not_of(L" \t\r\n\f\v\u3000") == std::wstring::npos || find(name) >= 0) {
            for (int n = 1;; ++n) {
                name = L"macro_" + std::to_wstring(n);
                if (find(name) < 0)
                    break;
            }
        }
        Json::Value entry(Json::objectValue);
        entry["MacroName"] = platform::toUtf8(name);
        entry["Guid"] = file.stem().string();
        Json::Value& info = json::objectMember(*index, "MacroInfo");
        json::makeArray(info);
        info.append(entry);
        adopt(*index);
        changed = true;
        platform::debugOutput("macro file " + file.filename().string() +
                              " named by no index entry: recovered into the library");
    }
    if (changed && m_jsonFile.WriteJson(indexPath(), *index) != 0)
        platform::debugOutput("macro index not written: the recovered macros show next time");
}

std::string MacroLibrary::guid(std::size_t index) const
{
    return json::readString(
        json::member(json::element(macroInfo(m_index), static_cast<std::int64_t>(index)), "Guid"));
}

int MacroLibrary::find(const std::wstring& name) const
{
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        if (platform::equalsIgnoreCase(m_names[i], name))
            return static_cast<int>(i);
    }
    return -1;
}

fs::path MacroLibrary::macroPath(int index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_names.size())
        return {};
    return fileInFolder(m_folder, guid(static_cast<std::size_t>(index)), kMacroFileExtension)
        .value_or(fs::path());
}

void MacroLibrary::adopt(Json::Value index)
{
    m_index = std::move(index);
    m_names.clear();
    const Json::Value& info = macroInfo(m_index);
    for (Json::ArrayIndex i = 0; i < json::arraySize(info); ++i)
        m_names.push_back(json::readText(json::member(info[i], "MacroName")));
}

std::optional<Json::Value> MacroLibrary::readIndexForChange()
{
    if (!m_readable)
        return std::nullopt;
    std::optional<Json::Value> document = readForRewrite(indexPath());
    if (!document)
        return std::nullopt;
    if (!document->isObject()) {
        // Parsed, but not an index: keep it like a damaged one.
        if (!document->isNull() && !setAside(indexPath()))
            return std::nullopt;
        *document = Json::Value(Json::objectValue);
    }
    adopt(*document);
    return document;
}

std::string MacroLibrary::newId() const
{
    // Macro IDs share the profile IDs' clock format; two made in one millisecond must differ.
    for (int attempt = 0;; ++attempt) {
        std::string id = CJsonFile::MakeTimestampId();
        bool taken = false;
        for (std::size_t i = 0; i < m_names.size() && !taken; ++i)
            taken = guid(i) == id;
        std::error_code error;
        taken = taken || fs::exists(m_folder / (id + kMacroFileExtension), error);
        if (!taken || attempt > 2000)
            return id;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::wstring MacroLibrary::NewMacro()
{
    const auto lock = lockDataFolder(m_folder);
    if (!lock)
        return {};
    std::optional<Json::Value> document = readIndexForChange();
    if (!document || m_names.size() >= kMaxMacros)
        return {};
    std::wstring name;
    for (int n = 1;; ++n) {
        name = L"macro_" + std::to_wstring(n);
        if (find(name) < 0)
            break;
    }
    Json::Value entry(Json::objectValue);
    entry["MacroName"] = platform::toUtf8(name);
    entry["Guid"] = newId();
    Json::Value& info = json::objectMember(*document, "MacroInfo");
    json::makeArray(info);
    info.append(entry);
    if (m_jsonFile.WriteJson(indexPath(), *document) != 0)
        return {};
    m_index = std::move(*document);
    m_names.push_back(name);
    return name;
}

MacroLibrary::RenameResult MacroLibrary::RenameMacro(int index, const std::wstring& name)
{
    if (name.find_first_not_of(L" \t\r\n\f\v\u3000") == std::wstring::npos)
        return RenameResult::Blank;
    const auto lock = lockDataFolder(m_folder);
    if (!lock)
        return RenameResult::NotWritten;
    std::optional<Json::Value> document = readIndexForChange();
    if (!document)
        return RenameResult::NotWritten;
    if (index < 0 || static_cast<std::size_t>(index) >= m_names.size())
        return RenameResult::NoMacro;
    // The macro's own name in other letters counts as taken too.
    if (find(name) >= 0)
        return RenameResult::Taken;
    Json::Value& entry = (*document)["MacroInfo"][static_cast<Json::ArrayIndex>(index)];
    json::objectMember(entry, "MacroName") = platform::toUtf8(name);
    if (m_jsonFile.WriteJson(indexPath(), *document) != 0)
        return RenameResult::NotWritten;
    m_index = std::move(*document);
    m_names[static_cast<std::size_t>(index)] = name;
    return RenameResult::Renamed;
}

bool MacroLibrary::DeleteMacro(int index)
{
    const auto lock = lockDataFolder(m_folder);
    if (!lock)
        return false;
    std::optional<Json::Value> document = readIndexForChange();
    if (!document || index < 0 || static_cast<std::size_t>(index) >= m_names.size())
        return false;
    const fs::path file = macroPath(index);
    Json::Value removed;
    (*document)["MacroInfo"].removeIndex(static_cast<Json::ArrayIndex>(index), &removed);
    if (m_jsonFile.WriteJson(indexPath(), *document) != 0)
        return false;
    // The event file goes once the index no longer names it.
    if (!file.empty()) {
        std::error_code error;
        fs::remove(file, error);
    }
    m_index = std::move(*document);
    m_names.erase(m_names.begin() + index);
    return true;
}

std::wstring MacroLibrary::ImportMacro(const fs::path& path)
{
    const JsonDocument imported = readJsonDocument(path);
    if (imported.state != ReadState::Ok) {
        platform::debugOutput("macro import refused: not a readable macro file: " + path.string());
        return {};
    }
    if (const auto problem = macroDocumentProblem(imported.value)) {
        platform::debugOutput("macro import refused: " + *problem + ": " + path.string());
        return {};
    }
    const auto lock = lockDataFolder(m_folder);
    if (!lock)
        return {};
    const std::wstring name = NewMacro();
    if (name.empty())
        return {};
    const int index = static_cast<int>(m_names.size() - 1);
    // Stored as this program writes a macro: clean text, its own name and identifier, and
    // nothing of the file's bytes past what was parsed.
    Json::Value document = withValidUtf8(imported.value);
    document["MacroName"] = platform::toUtf8(name);
    document["Guid"] = guid(static_cast<std::size_t>(index));
    const fs::path target = macroPath(index);
    if (target.empty() || m_jsonFile.WriteJson(target, document) != 0) {
        platform::debugOutput("macro import: could not write " + target.string() +
                              "; the new macro is taken back");
        if (!DeleteMacro(index))
            platform::debugOutput("macro import: the new macro could not be taken back");
        return {};
    }
    return name;
}

bool MacroLibrary::ExportMacro(int index, const fs::path& path) const
{
    const fs::path source = macroPath(index);
    if (source.empty() || readJsonDocument(source).state == ReadState::Missing)
        return false;
    const std::string text = m_jsonFile.ReadText(source);
    return !text.empty() && writeFileReplacing(path, text) == 0;
}

platform::Result<std::vector<MacroRow>> MacroLibrary::LoadMacro(int index) const
{
    const fs::path file = macroPath(index);
    if (!file.empty() && isTooLargeToRead(file))
        return platform::makeError(platform::Error::Code::TooLarge,
                                   file.string() + " is too large to read");
    const Json::Value document = readMacroFile(index);
    const Json::Value& events = json::member(document, "Events");
    if (json::arraySize(events) > kMaxMacroEvents)
        return platform::makeError(platform::Error::Code::TooLarge,
                                   "the macro has " + std::to_string(json::arraySize(events)) +
                                       " events; a macro holds at most " +
                                       std::to_string(kMaxMacroEvents));
    std::vector<MacroRow> rows;
    for (Json::ArrayIndex i = 0; i < json::arraySize(events); ++i) {
        const Json::Value& event = events[i];
        rows.push_back(
            MacroRow{styled(event), std::to_wstring(parseDelay(json::member(event, "Delay")))});
    }
    return rows;
}

bool MacroLibrary::SaveMacro(int index, const std::vector<MacroRow>& rows) const
{
    const fs::path file = macroPath(index);
    if (file.empty())
        return false;
    if (auto aside = setAsideIfTooLarge(file); aside && !*aside)
        return false;
    (void)readMacroFile(index); // a damaged file is kept before this one replaces it
    Json::Value document(Json::objectValue);
    document["MacroName"] = platform::toUtf8(m_names[static_cast<std::size_t>(index)]);
    document["Guid"] = guid(static_cast<std::size_t>(index));
    document["Version"] = kMacroFileVersion;
    Json::Value& events = document["Events"];
    events = Json::Value(Json::arrayValue);
    for (const MacroRow& row : rows) {
        std::optional<Json::Value> event = parseJson(row.eventJson);
        if (row.eventJson.empty() || !event || !event->isObject())
            break;
        (*event)["Delay"] = std::to_string(saturatedDelay(parseEditInteger(row.delay)));
        events.append(*event);
    }
    return m_jsonFile.WriteJson(file, document) == 0;
}

std::vector<MacroEvent> MacroLibrary::LoadEvents(int index) const
{
    return readMacroEvents(readMacroFile(index));
}

Json::Value MacroLibrary::readMacroFile(int index) const
{
    const fs::path file = macroPath(index);
    if (file.empty())
        return {};
    const auto damaged = [](const JsonDocument& document) {
        return document.state == ReadState::Malformed ||
               (document.state == ReadState::Ok && !document.value.isObject());
    };
    JsonDocument document = readJsonDocument(file);
    if (!damaged(document))
        return std::move(document.value);
    const auto lock = lockDataFolder(m_folder);
    if (!lock)
        return {};
    document = readJsonDocument(file); // another program may have saved it meanwhile
    if (!damaged(document))
        return std::move(document.value);
    const std::optional<fs::path> keptAs = setAside(file);
    if (!keptAs)
        return {};
    // Kept aside, the macro is as one never saved: no file, no events.
    std::error_code error;
    fs::remove(file, error);
    noteStoredFile({StoredFileNotice::Kind::MacroEmptied, *keptAs,
                    file.string() + " " + damageReason(*keptAs) + ": kept as " + keptAs->string() +
                        "; the macro \"" +
                        platform::toUtf8(m_names[static_cast<std::size_t>(index)]) +
                        "\" starts empty"});
    return {};
}

std::optional<std::string> macroDocumentProblem(const Json::Value& document)
{
    if (!document.isObject())
        return "not a JSON object";
    const Json::Value& events = json::member(document, "Events");
    if (events.isNull())
        return std::nullopt;
    if (!events.isArray())
        return "\"Events\" is not a list";
    if (events.size() > kMaxMacroEvents)
        return "more than " + std::to_string(kMaxMacroEvents) + " events";
    for (Json::ArrayIndex i = 0; i < events.size(); ++i) {
        const Json::Value& event = events[i];
        const std::string where = "event " + std::to_string(i + 1) + ": ";
        if (!event.isObject())
            return where + "not an object";
        const Json::Value& type = json::member(event, "Type");
        const Json::Value& button = json::member(event, "Button");
        const Json::Value& action = json::member(event, "Action");
        if (!type.isIntegral() || type.isBool() ||
            (type.asLargestInt() != 1 && type.asLargestInt() != 2 && type.asLargestInt() != 3 &&
             type.asLargestInt() != 4 && type.asLargestInt() != 5 && type.asLargestInt() != 9 &&
             type.asLargestInt() != 10))
            return where + "unknown \"Type\"";
        // A missing Button or Action reads as 0 and "up", as files have always been read.
        if (!button.isNull() && (!button.isIntegral() || button.isBool() ||
                                 button.asLargestInt() < 0 || button.asLargestInt() > 0xFF))
            return where + "\"Button\" is not 0-255";
        if (!action.isNull() &&
            (!action.isString() || (action.asString() != "down" && action.asString() != "up")))
            return where + "\"Action\" is neither \"down\" nor \"up\"";
    }
    return std::nullopt;
}

std::uint16_t parseDelay(const Json::Value& value)
{
    if (value.isString()) {
        const std::string text = value.asString();
        long long number = 0;
        std::size_t i = 0;
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        const bool negative = i < text.size() && text[i] == '-';
        if (i < text.size() && (text[i] == '-' || text[i] == '+'))
            ++i;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
            number = std::min<long long>(number * 10 + (text[i] - '0'), 1'000'000);
        return negative ? 0 : saturatedDelay(number);
    }
    if (const auto number = json::toInt32(value); number && !value.isNull() && !value.isBool())
        return saturatedDelay(*number);
    return 0;
}

std::vector<MacroEvent> readMacroEvents(const Json::Value& macroDocument)
{
    const Json::Value& events = json::member(macroDocument, "Events");
    std::vector<MacroEvent> result;
    for (Json::ArrayIndex i = 0; i < json::arraySize(events); ++i) {
        const Json::Value& event = events[i];
        result.push_back(MacroEvent{json::readByte(json::member(event, "Type")),
                                    json::readString(json::member(event, "Action")) == "down",
                                    json::readByte(json::member(event, "Button")),
                                    parseDelay(json::member(event, "Delay"))});
    }
    return result;
}

bool renumberMacroReferences(std::vector<KeyAssignment>& keys, int deleted)
{
    bool changed = false;
    for (KeyAssignment& key : keys) {
        if (!isMacroCode(key.current))
            continue;
        if (key.current.p1 == deleted) {
            key.current = key.defaultCode;
            changed = true;
        } else if (key.current.p1 > deleted) {
            --key.current.p1;
            changed = true;
        }
    }
    return changed;
}

bool resetStaleMacroKeys(std::vector<KeyAssignment>& keys, std::size_t macroCount)
{
    bool changed = false;
    for (KeyAssignment& key : keys) {
        if (isMacroCode(key.current) && key.current.p1 >= macroCount) {
            key.current = key.defaultCode;
            changed = true;
        }
    }
    return changed;
}

} // namespace profile
