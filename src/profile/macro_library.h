#pragma once

#include "profile/json_file.h"
#include "profile/key_function_code.h"

#include "platform/result.h"

#include <json/value.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace profile {

inline constexpr const char* kMacroIndexFileName = "macro.config";
inline constexpr const char* kMacroNameListFileName = "novik_macro.config"; // pad, headset
inline constexpr const char* kMacroFileExtension = ".mac";
inline constexpr std::size_t kMaxMacros = 50;
inline constexpr std::size_t kMaxMacroEvents = 4000;
inline constexpr int kMacroFileVersion = 64;

// The index file of a device kind's library: the mouse pad (3) and the headset (7) keep
// theirs as "novik_macro.config".
[[nodiscard]] const char* macroIndexFileName(int deviceKind);

// One action row of the macro editor: the event's JSON text and the delay edit's text.
struct MacroRow {
    std::string eventJson;
    std::wstring delay;
};

// An event as the device block needs it.
struct MacroEvent {
    std::uint8_t type = 0;
    bool down = false;
    std::uint8_t button = 0;
    std::uint16_t delay = 0;
};

// A device's macro library: the index file (names and IDs in library order; the position
// is the macro index key codes use) and one ".mac" event file per macro. The index is
// re-read before every change and written back whole, so its other members survive.
// Every change holds the folder's lock, so the GUI and halvekctl never lose each other's
// change. Used on the UI thread only.
class MacroLibrary {
public:
    explicit MacroLibrary(std::filesystem::path folder,
                          std::string indexFileName = kMacroIndexFileName);

    // Reads the index. An index that exists but cannot be read gives an empty library
    // that refuses every change (see isReadable). A damaged one is kept aside and the
    // library made again from the macro files left, with a notice for the user
    // (noteStoredFile); one that cannot be kept aside counts as unreadable.
    void Load();
    // False while the index exists but could not be read: nothing may then treat macro
    // references as stale or rewrite the index.
    bool isReadable() const { return m_readable; }
    // One sentence per macro file found past the size bound by Load: renamed to
    // "<name>.toolarge" (the macro is then empty), or left alone when that failed.
    const std::vector<std::string>& setAsideNotices() const { return m_setAsideNotices; }
    const std::vector<std::wstring>& names() const { return m_names; }
    std::size_t count() const { return m_names.size(); }
    std::string guid(std::size_t index) const;
    // Index of a name compared without regard to case, or -1.
    int find(const std::wstring& name) const;

    // The new macro's name ("macro_%d"), or empty when refused (50 macros, index not
    // writable). No ".mac" exists until the macro is first saved.
    std::wstring NewMacro();
    enum class RenameResult { Renamed, Blank, Taken, NoMacro, NotWritten };
    RenameResult RenameMacro(int index, const std::wstring& name);
    // Removes entry `index` and its ".mac". Renumbering key codes is the caller's part.
    bool DeleteMacro(int index);
    // Takes a ".mac" file's events into a new macro; the name follows the "macro_%d" rule
    // and the identifier is new. The file is rewritten from its parsed values with valid
    // UTF-8. Empty when refused: unreadable, not a macro the editor can hold
    // (macroDocumentProblem), or no new macro could be made or written (nothing is left
    // behind then).
    std::wstring ImportMacro(const std::filesystem::path& path);
    bool ExportMacro(int index, const std::filesystem::path& path) const;

    // The rows of the macro's file (none when it has no file yet). A file of more than
    // kMaxMacroEvents events, or too large to read, is refused whole rather than cut, so
    // saving cannot lose the rest. A damaged file (or a FIFO in its place), here and in
    // LoadEvents and SaveMacro, is kept aside with a notice and the macro starts empty.
    [[nodiscard]] platform::Result<std::vector<MacroRow>> LoadMacro(int index) const;
    // Writes the rows as the macro's file; rows from the first empty or unparsable one on
    // are not saved. A file there too large to read is set aside first; false when it
    // could not be.
    bool SaveMacro(int index, const std::vector<MacroRow>& rows) const;
    std::vector<MacroEvent> LoadEvents(int index) const;

    std::filesystem::path indexPath() const { return m_folder / m_indexFileName; }
    // Empty when the macro does not exist or its ID would leave the folder.
    std::filesystem::path macroPath(int index) const;

private:
    // The index as it is on disk now, adopted; nullopt when it must not be rewritten.
    std::optional<Json::Value> readIndexForChange();
    void adopt(Json::Value index);
    // Appends an entry for every ".mac" file of the folder that no entry names (a killed
    // delete leaves one), under the name it holds, up to kMaxMacros. A rebuild starts the
    // index afresh and writes it even when no file was left.
    void recoverOrphans(bool rebuild);
    // The macro's file as a document; null when it has none or it was damaged.
    Json::Value readMacroFile(int index) const;
    std::string newId() const;

    std::filesystem::path m_folder;
    std::string m_indexFileName;
    Json::Value m_index;
    std::vector<std::wstring> m_names;
    std::vector<std::string> m_setAsideNotices;
    bool m_readable = true;
    CJsonFile m_jsonFile;
};

// Why a ".mac" document cannot be taken into the library, or nullopt when it can: the editor
// must be able to hold every event (at most kMaxMacroEvents, each an object of a known
// Type; a Button, where given, 0-255; an Action, where given, "down" or "up"). Delays are
// not checked: readers saturate them.
[[nodiscard]] std::optional<std::string> macroDocumentProblem(const Json::Value& document);

// A "Delay" member: decimal text or an integer, saturated to 0-65535; anything else 0.
[[nodiscard]] std::uint16_t parseDelay(const Json::Value& value);
[[nodiscard]] std::vector<MacroEvent> readMacroEvents(const Json::Value& macroDocument);

// After macro `deleted` left the library: keys using it get their default code back, keys
// using a later macro move down by one. True when a key changed.
bool renumberMacroReferences(std::vector<KeyAssignment>& keys, int deleted);
// Keys whose macro index is past the library get their default code back. True when a
// key changed. Callers skip this while the library is unreadable.
bool resetStaleMacroKeys(std::vector<KeyAssignment>& keys, std::size_t macroCount);

} // namespace profile
