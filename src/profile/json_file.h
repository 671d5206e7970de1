#pragma once

#include "platform/files.h"
#include "platform/result.h"

#include <json/value.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace profile {

// Real files are a few hundred kilobytes at most; anything larger is treated as unreadable
// rather than allocated.
inline constexpr std::uintmax_t kMaxJsonFileSize = 16 * 1024 * 1024;

// How a read went. Callers that rewrite a file must tell "not there" (start afresh) from
// "there but unreadable" (leave it alone) and "there but damaged" (keep a copy first). A
// FIFO, socket or device where a file belongs counts as damaged: it never becomes readable.
enum class ReadState { Ok, Missing, Unreadable, Malformed };

struct JsonDocument {
    Json::Value value; // null unless state is Ok
    ReadState state = ReadState::Missing;
};

// The JSON file utility every owner of stored data holds. Stateless; never throws.
class CJsonFile {
public:
    // Local time as "%d_%02d_%02d_%02d_%02d_%02d_%03d": profile and macro IDs.
    [[nodiscard]] static std::string MakeTimestampId();

    // Whole file, untranslated; empty when it cannot be opened, is larger than
    // kMaxJsonFileSize or reads short.
    [[nodiscard]] std::string ReadText(const std::filesystem::path& path) const;
    // Null when the file is missing, unreadable or malformed.
    [[nodiscard]] Json::Value ReadJson(const std::filesystem::path& path) const;
    // The styled layout with CR LF line ends and one extra line end, written to a
    // temporary file beside `path` and renamed over it, so the old file survives any
    // failure. 0 on success, -1 on failure (logged).
    int WriteJson(const std::filesystem::path& path, const Json::Value& value) const;
    // File name without folder and extension.
    [[nodiscard]] static std::wstring GetFileTitle(const std::filesystem::path& path);
};

[[nodiscard]] std::string formatTimestampId(int year, int month, int day, int hour, int minute,
                                            int second, int millisecond);

// Whether text has the form MakeTimestampId gives ("2023_07_18_09_05_01_042"): the only
// identifier form the program writes, and the only one taken from a file.
[[nodiscard]] bool isTimestampId(std::string_view text);

// The value rebuilt member by member with every string and member name valid UTF-8
// (invalid bytes become U+FFFD): what the program itself would write.
[[nodiscard]] Json::Value withValidUtf8(const Json::Value& value);

// Longest names the windows' edits take, in characters; the CLI keeps to them too.
inline constexpr std::size_t kMaxProfileNameLength = 64;
inline constexpr std::size_t kMaxMacroNameLength = 32;

// ReadJson with the reason when there is no value.
[[nodiscard]] JsonDocument readJsonDocument(const std::filesystem::path& path);
// Comments allowed, nesting bounded; nullopt when the text does not parse.
[[nodiscard]] std::optional<Json::Value> parseJson(std::string_view text);
// The exact bytes WriteJson puts on disk.
[[nodiscard]] std::string formatJson(const Json::Value& value);
// Writes bytes by temporary file and rename, like WriteJson.
int writeFileReplacing(const std::filesystem::path& path, std::string_view bytes);

// Copies a damaged file to "<name>.corrupt" (".corrupt1", ... when that exists, owner-only),
// so that replacing it loses nothing; a FIFO, socket or device, which cannot be copied, is
// renamed to that name instead. The name it is kept under; nullopt when it could not be kept.
std::optional<std::filesystem::path> setAside(const std::filesystem::path& path);

// The document to start a read-modify-write from: the parsed file, or null when it does
// not exist or did not parse (a damaged one is set aside first, its new name put in keptAs
// when given). Nullopt when the file must not be rewritten: it exists but could not be
// read, or could not be set aside.
[[nodiscard]] std::optional<Json::Value>
readForRewrite(const std::filesystem::path& path,
               std::optional<std::filesystem::path>* keptAs = nullptr);

// Why a stored file was set aside, for the user: "does not parse" or "is not a regular file".
[[nodiscard]] std::string damageReason(const std::filesystem::path& keptAs);

// A name read from a file may become a file name only when it stays inside its folder:
// not empty, no separators, no drive colon, no "..", no control characters.
[[nodiscard]] bool isSafeFileStem(std::string_view name);
// folder / (name + extension), or nullopt when the name is not safe.
[[nodiscard]] std::optional<std::filesystem::path> fileInFolder(const std::filesystem::path& folder,
                                                                std::string_view name,
                                                                std::string_view extension);

// The lock every read-modify-write of a data folder's files holds, so the GUI and
// halvekctl never lose each other's change. The folder is created when missing; a lock
// another program keeps too long gives the error (logged).
[[nodiscard]] platform::Result<platform::FolderLock>
lockDataFolder(const std::filesystem::path& folder);
// Removes what killed writes left in the folder (temporary files older than a minute).
void removeLeftoverWrites(const std::filesystem::path& folder);

} // namespace profile
