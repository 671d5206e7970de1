#pragma once

#include <json/value.h>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// What the update service is asked and how its answers become list records. Pure: no
// network, no files, no UI.
namespace update {

// Item and record states the list shows (the list item's states).
inline constexpr std::int32_t kStatusChecking = 0;
inline constexpr std::int32_t kStatusNewer = 1;
inline constexpr std::int32_t kStatusUpToDate = 7;

// Window states of the update tab.
enum class WindowState : std::int32_t {
    Checking = 0,
    UpdatesFound = 1,
    NoAnswer = 2,
    Updating = 3,
    UpToDate = 4,
    // Nothing newer among the answers, but some checks failed: never "up to date".
    SomeUnanswered = 5,
};

enum class DeviceKind { Mouse, Keyboard, Application };

// One row of the fixed model table.
struct UpdateModel {
    std::int32_t hexFlag;     // non-zero: the version is a hexadecimal firmware version
    std::int32_t second;      // 1 in every row; part of the app key
    std::int32_t third;       // 0 in every row
    std::wstring_view vendor; // "NOVIK"
    std::wstring_view modelId;
    std::wstring_view typeWord;
    std::wstring_view displayType;
    std::wstring_view versionText; // empty for devices
    DeviceKind kind;
};

// Mouse, keyboard, second keyboard model, application, in that order.
const std::array<UpdateModel, 4>& updateModels();
inline constexpr std::size_t kApplicationRow = 3;

// The application's own version, as an installer would record it.
inline constexpr std::wstring_view kApplicationVersionText = L"2.3.0.2";

// One entry of the list handed to the check.
struct UpdateEntry {
    std::int32_t hexFlag = 0;
    std::int32_t second = 1;
    std::uint32_t currentVersion = 0;
    std::wstring vendor;
    std::wstring modelId;
    std::wstring typeWord;
    std::wstring displayType;
    std::wstring versionText;
};

struct UpdateRecord {
    std::int32_t status = kStatusUpToDate;
    std::int32_t deviceId = 0;
    std::wstring name;
    std::wstring currentVersionText;
    std::wstring versionName;
    std::wstring latestVersionText;
    std::wstring downloadPath;  // untrusted text from the answer; never used as a local path
    std::wstring localFile;     // a file name inside the update folder, made safe
    std::uint64_t fileSize = 0; // "size" of the answer, when it gave one: checked after download
    bool checkFailed = false;   // no valid answer: the versions are unknown, never "up to date"
};

// A present device as the main window's tiles list it.
struct DeviceTile {
    DeviceKind kind = DeviceKind::Keyboard;
    bool online = false;
    std::uint32_t firmwareVersion = 0;
};

// Entry k takes the version of tile k only when that tile exists, is online and is of
// the row's kind; a missing or mismatched tile gives 0 (not checked). The application row
// takes appVersion, and shows appVersionLabel when one is given (the table's text
// otherwise). Entries whose version is 0 are left out.
std::vector<UpdateEntry> buildEntries(std::span<const DeviceTile> tiles, std::uint32_t appVersion,
                                      std::wstring_view appVersionLabel = {});
UpdateEntry entryFor(const UpdateModel& model, std::uint32_t currentVersion);

// "2.3.0.2" → 2302: dots removed, the leading decimal digits read with saturation.
// Anything without a leading digit is 0 (the "missing" case: no check).
std::uint32_t applicationVersionFromText(std::wstring_view text);

// "NOVIK_1_<model id>_<type>_1", or "NULL" for a version of 0.
std::wstring buildAppKey(const UpdateEntry& entry);

// The form body as sent: UTF-8 with its terminating zero byte.
std::vector<std::uint8_t> buildRequestBody(std::wstring_view appKey, const UpdateEntry& entry);

// "V" and the version the way its owner writes it: "V0102" for firmware, the entry's own
// text ("V2.3.0.2") for the application, so the row reads the same before and after an
// answer.
std::wstring currentVersionText(const UpdateEntry& entry);

// "2.3.0.2" → "V2.3.0.2": the one form the About window and the update list show.
std::wstring applicationVersionLabel(std::wstring_view versionText);

// Why a parsed answer is not one the check can read: not an object, no "version", or a
// member of the wrong type ("version", "name", "path", "version_name" strings,
// "device_id" a 32-bit integer, "size" a byte count). Empty for a valid answer.
std::string answerProblem(const Json::Value& root);

// The record for an answer of `answer` bytes (exactly what the client returned; nothing
// past it is read). nullopt, with the reason in `problem`, when it is not JSON, not of the
// shape answerProblem accepts, or its "version" does not start with a digit of the entry's
// base: such an answer says nothing about the versions.
std::optional<UpdateRecord> parseAnswer(std::string_view answer, const UpdateEntry& entry,
                                        std::string* problem = nullptr);

// Like wcstoul on the version text, saturating at 0xFFFFFFFF; 0 when no digit leads.
std::uint32_t parseVersionNumber(std::wstring_view text, int base);
// The same, nullopt when no digit of the base leads.
std::optional<std::uint32_t> readVersionNumber(std::wstring_view text, int base);

// `file`, or when one of `taken` has that name (letter case aside) the name with the row's
// display type added, and a number when even that is taken: two rows never download into
// one file.
std::wstring distinctLocalFile(std::wstring_view file, std::wstring_view displayType,
                               std::span<const std::wstring> taken);

// A file name made from the service's "name": path separators, ":", ".." and characters
// no file name may hold are removed; empty falls back to `fallback`. Never leaves a
// folder it is appended to.
std::wstring safeFileName(std::wstring_view name, std::wstring_view fallback);

// The list item that stands for an entry before (or without) an answer.
UpdateRecord placeholderRecord(const UpdateEntry& entry);

// The tab's state once every check has ended: updates found, else no answer at all when
// every check failed, else some unanswered when one did, else up to date.
WindowState finalWindowState(std::span<const UpdateRecord> records);

// The names of the records whose check failed, joined with ", ": what the summary names.
std::wstring uncheckedNames(std::span<const UpdateRecord> records);

} // namespace update
