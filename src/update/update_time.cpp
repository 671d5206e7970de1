#include "update/update_time.h"

#include "platform/folders.h"
#include "platform/text.h"
#include "profile/json_access.h"
#include "profile/json_file.h"

#include <ctime>

namespace update {

std::wstring formatCheckDate(int year, int month, int day)
{
    return std::to_wstring(year) + L"-" + std::to_wstring(month) + L"-" + std::to_wstring(day);
}

std::wstring todayCheckDate()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return formatCheckDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

std::optional<std::wstring> readLastCheckDate(const std::filesystem::path& folder)
{
    namespace json = profile::json;
    const Json::Value root = profile::CJsonFile().ReadJson(folder / kLastCheckFileName);
    const Json::Value& value = json::member(json::member(root, "updatelasttime"), "value");
    if (!value.isString())
        return std::nullopt;
    return json::readText(value);
}

bool writeLastCheckDate(const std::filesystem::path& folder, const std::wstring& date)
{
    Json::Value root(Json::objectValue);
    root["updatelasttime"]["value"] = platform::toUtf8(date);
    (void)platform::createFolders(folder); // the write's own failure tells
    return profile::CJsonFile().WriteJson(folder / kLastCheckFileName, root) == 0;
}

} // namespace update
