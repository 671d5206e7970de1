#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace update {

// "updatetime.config": {"updatelasttime": {"value": "2026-12-9"}}, the date of the last
// check, in the user data folder.
inline constexpr const char* kLastCheckFileName = "updatetime.config";

// "%d-%d-%d" of year, month and day: no leading zeros.
std::wstring formatCheckDate(int year, int month, int day);
std::wstring todayCheckDate();

// The stored date; nullopt when the file or the value is missing or of another type.
std::optional<std::wstring> readLastCheckDate(const std::filesystem::path& folder);
// False when the file could not be written.
bool writeLastCheckDate(const std::filesystem::path& folder, const std::wstring& date);

} // namespace update
