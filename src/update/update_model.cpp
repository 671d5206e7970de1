#include "update/update_model.h"

#include "platform/hex.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "profile/json_access.h"
#include "profile/json_file.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

namespace update {
namespace {

std::wstring formatHex4(std::uint32_t value)
{
    wchar_t text[16];
    std::swprintf(text, 16, L"%04x", value);
    return text;
}

} // namespace

const std::array<UpdateModel, 4>& updateModels()
{
    static const std::array<UpdateModel, 4> models{{
        {1, 1, 0, L"NOVIK", L"HM2401", L"MS", L"MS", L"", DeviceKind::Mouse},
        {1, 1, 0, L"NOVIK", L"HK2402", L"KB", L"KB", L"", DeviceKind::Keyboard},
        {2, 1, 0, L"NOVIK", L"HK2403", L"2VAVIRI", L"2VAVIRI", L"", DeviceKind::Keyboard},
        {0, 1, 0, L"NOVIK", L"ALL", L"HALVEK", L"AP", L"V1.0", DeviceKind::Application},
    }};
    return models;
}

UpdateEntry entryFor(const UpdateModel& model, std::uint32_t currentVersion)
{
    UpdateEntry entry;
    entry.hexFlag = model.hexFlag;
    entry.second = model.second;
    entry.currentVersion = currentVersion;
    entry.vendor = model.vendor;
    entry.modelId = model.modelId;
    entry.typeWord = model.typeWord;
    entry.displayType = model.displayType;
    entry.versionText = model.versionText;
    return entry;
}

std::vector<UpdateEntry> buildEntries(std::span<const DeviceTile> tiles, std::uint32_t appVersion,
                                      std::wstring_view appVersionLabel)
{
    std::vector<UpdateEntry> entries;
    const auto& models = updateModels();
    for (std::size_t row = 0; row < models.size(); ++row) {
        std::uint32_t version = 0;
        if (row == kApplicationRow) {
            version = appVersion;
        } else if (row < tiles.size() && tiles[row].online && tiles[row].kind == models[row].kind) {
            version = tiles[row].firmwareVersion;
        }
        if (version == 0)
            continue;
        entries.push_back(entryFor(models[row], version));
        if (row == kApplicationRow && !appVersionLabel.empty())
            entries.back().versionText = appVersionLabel;
    }
    return entries;
}

std::uint32_t applicationVersionFromText(std::wstring_view text)
{
    std::wstring digits;
    for (wchar_t c : text) {
        if (c != L'.')
            digits.push_back(c);
    }
    return parseVersionNumber(digits, 10);
}

std::uint32_t parseVersionNumber(std::wstring_view text, int base)
{
    return readVersionNumber(text, base).value_or(0);
}

std::optional<std::uint32_t> readVersionNumber(std::wstring_view text, int base)
{
    std::size_t i = 0;
    while (i < text.size() && std::iswspace(static_cast<wint_t>(text[i])))
        ++i;
    if (i < text.size() && text[i] == L'+')
        ++i;
    const std::size_t first = i;
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const auto digit = platform::hexDigit(text[i]);
        // Letters are digits only in hexadecimal, whatever the base.
        if (!digit || static_cast<int>(*digit) >= (base == 16 ? 16 : std::min(base, 10)))
            break;
        value =
            std::min<std::uint64_t>(value * static_cast<std::uint64_t>(base) + *digit, 0xFFFFFFFFu);
    }
    if (i == first)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

std::wstring buildAppKey(const UpdateEntry& entry)
{
    if (entry.currentVersion == 0)
        return L"NULL";
    return entry.vendor + L"_" + std::to_wstring(entry.hexFlag) + L"_" + entry.modelId + L"_" +
           entry.typeWord + L"_" + std::to_wstring(entry.second);
}

std::vector<std::uint8_t> buildRequestBody(std::wstring_view appKey, const UpdateEntry& entry)
{
    std::wstring body = L"app_key=" + std::wstring(appKey) + L"&version=";
    if (entry.hexFlag != 0) {
        wchar_t hex[16];
        std::swprintf(hex, 16, L"%x", entry.currentVersion);
        body += hex;
    } else {
        body += std::to_wstring(entry.currentVersion);
    }
    const std::string utf8 = platform::toUtf8(body);
    std::vector<std::uint8_t> bytes(utf8.begin(), utf8.end());
    // The service has always received the terminating zero as part of the body.
    bytes.push_back(0);
    return bytes;
}

std::wstring currentVersionText(const UpdateEntry& entry)
{
    if (entry.hexFlag != 0)
        return L"V" + formatHex4(entry.currentVersion);
    // "V2302" for 2.3.0.2 named no version the user knows.
    if (!entry.versionText.empty())
        return entry.versionText;
    return L"V" + std::to_wstring(entry.currentVersion);
}

std::wstring applicationVersionLabel(std::wstring_view versionText)
{
    return L"V" + std::wstring(versionText);
}

std::string answerProblem(const Json::Value& root)
{
    if (!root.isObject())
        return "it is not a JSON object";
    if (!root.isMember("version"))
        return "it has no \"version\"";
    for (const char* key : {"version", "name", "path", "version_name"}) {
        if (root.isMember(key) && !root[key].isString())
            return std::string("its \"") + key + "\" is not a string";
    }
    if (root.isMember("device_id") && !root["device_id"].isInt())
        return "its \"device_id\" is not a 32-bit integer";
    if (root.isMember("size") && !root["size"].isUInt64())
        return "its \"size\" is not a byte count";
    return {};
}

std::optional<UpdateRecord> parseAnswer(std::string_view answer, const UpdateEntry& entry,
                                        std::string* problem)
{
    namespace json = profile::json;
    const auto parsed = profile::parseJson(answer);
    std::string why = parsed ? answerProblem(*parsed) : std::string("it is not JSON");
    if (!why.empty()) {
        if (problem)
            *problem = std::move(why);
        return std::nullopt;
    }
    const Json::Value& root = *parsed;
    UpdateRecord record;
    record.downloadPath = json::readText(json::member(root, "path"));
    record.name = json::readText(json::member(root, "name"));
    record.versionName = json::readText(json::member(root, "version_name"));
    record.deviceId = json::readInt(json::member(root, "device_id"));
    if (const Json::Value& size = json::member(root, "size"); size.isUInt64())
        record.fileSize = size.asUInt64();
    const Json::Value& versionValue = json::member(root, "version");
    const std::wstring version = json::readText(versionValue);
    if (versionValue.isString())
        record.latestVersionText = L"V" + version;
    const auto latest = readVersionNumber(version, entry.hexFlag != 0 ? 16 : 10);
    if (!latest) {
        // Read as 0 it would be "up to date" whatever the version.
        if (problem)
            *problem = "its \"version\" holds no version number";
        return std::nullopt;
    }
    if (entry.hexFlag == 0)
        record.latestVersionText = record.versionName;
    record.currentVersionText = currentVersionText(entry);
    record.status = entry.currentVersion < *latest ? kStatusNewer : kStatusUpToDate;
    record.localFile = safeFileName(record.name, entry.displayType) + L".exe";
    return record;
}

std::wstring safeFileName(std::wstring_view name, std::wstring_view fallback)
{
    const std::wstring cleaned = platform::fileNameFrom(name);
    if (cleaned.empty() && !fallback.empty() && fallback != name)
        return safeFileName(fallback, L"update");
    return cleaned.empty() ? std::wstring(L"update") : cleaned;
}

std::wstring distinctLocalFile(std::wstring_view file, std::wstring_view displayType,
                               std::span<const std::wstring> taken)
{
    auto isTaken = [&](std::wstring_view name) {
        return std::any_of(taken.begin(), taken.end(), [&](const std::wstring& other) {
            return platform::equalsIgnoreCase(other, name);
        });
    };
    if (!isTaken(file))
        return std::wstring(file);
    constexpr std::wstring_view kExtension = L".exe";
    std::wstring stem(file);
    if (stem.ends_with(kExtension))
        stem.resize(stem.size() - kExtension.size());
    stem += L"-" + safeFileName(displayType, L"row");
    for (int n = 1;; ++n) {
        std::wstring name = stem + (n == 1 ? std::wstring() : L"-" + std::to_wstring(n));
        name += kExtension;
        if (!isTaken(name))
            return name;
    }
}

UpdateRecord placeholderRecord(const UpdateEntry& entry)
{
    UpdateRecord record;
    record.name = entry.modelId == L"ALL" ? std::wstring(L"AP") : entry.displayType;
    record.currentVersionText = currentVersionText(entry);
    record.status = kStatusUpToDate;
    return record;
}

WindowState finalWindowState(std::span<const UpdateRecord> records)
{
    for (const auto& record : records) {
        if (record.status != kStatusUpToDate && record.status != kStatusChecking)
            return WindowState::UpdatesFound;
    }
    const auto failed =
        std::count_if(records.begin(), records.end(),
                      [](const UpdateRecord& record) { return record.checkFailed; });
    if (records.empty())
        return WindowState::NoAnswer; // nothing was asked, nothing answered
    if (failed == 0)
        return WindowState::UpToDate;
    return static_cast<std::size_t>(failed) == records.size() ? WindowState::NoAnswer
                                                              : WindowState::SomeUnanswered;
}

std::wstring uncheckedNames(std::span<const UpdateRecord> records)
{
    std::wstring names;
    for (const auto& record : records) {
        if (!record.checkFailed)
            continue;
        if (!names.empty())
            names += L", ";
        names += record.name;
    }
    return names;
}

} // namespace update
