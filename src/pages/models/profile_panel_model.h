#pragma once

#include "device/detect/supported_interfaces.h"
#include "profile/profile_list.h"
#include "profile/stored_notices.h"

#include <array>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pages {

// A message for the user: a language text id, the English text shown when the language
// file lacks the id (and by halvekctl), and the number or name it carries, if any.
struct PanelMessage {
    std::wstring_view textId;
    std::wstring_view english;
    std::optional<long long> number;
    std::optional<std::wstring> name{}; // takes the place of the first "%s"

    // `text` (the id's text in the current language) with the number or name put in by
    // plain substitution; language files are data and never reach printf-style formatting.
    [[nodiscard]] std::wstring fill(std::wstring_view text) const;
    [[nodiscard]] std::wstring englishText() const { return fill(english); }
};

// What a panel command did, for the view to act on.
struct PanelOutcome {
    bool listChanged = false; // refill the combo from items()
    // The device must load its current profile again and write it (switch, reset).
    bool reloadDevice = false;
    std::optional<PanelMessage> message;
};

// The number the profile list and the macro library know a device kind by: it picks their
// file names and how a reset treats the file, so it stays what existing folders were made with.
[[nodiscard]] int storedDeviceKind(detect::DeviceKind kind);

// The page tabs of the profile panel, in tab-number order 1 to 8.
enum class PanelTab { Lighting, Keys, Macro, System, Cursor, Voice, VoiceEffect, Surround };
inline constexpr std::size_t kPanelTabCount = 8;

// The behaviour of the profile panel without its controls: the combo's items, the name
// edit's text, the profile commands with the message of each refusal, the tabs of each
// device kind. The panel view reads its controls, calls this and writes its controls;
// halvekctl calls the same commands. UI thread only.
class ProfilePanelModel {
public:
    static constexpr std::chrono::milliseconds kSwitchDelay{400};

    ProfilePanelModel(detect::DeviceKind kind, std::filesystem::path folder,
                      std::filesystem::path defaultProfilePath);

    // Reads or creates the list and selects the stored profile. A list that cannot be read
    // leaves the panel empty and gives the message saying so.
    std::optional<PanelMessage> initialize();
    // What the last initialize set aside as too large to read, for the user; nullopt when
    // nothing was. Not a refusal: the list works.
    std::optional<PanelMessage> setAsideMessage() const;

    const std::vector<std::wstring>& items() const { return m_list.names(); }
    int selectedIndex() const { return m_list.GetSelectedIndex(); }
    int storedSelection() const { return m_list.storedSelection(); }
    // The profile the device should use; empty while there is none.
    const std::wstring& currentProfileId() const { return m_list.GetCurrentProfileId(); }
    // The name edit's text: the selected profile's name.
    std::wstring nameText() const;

    PanelOutcome add();
    PanelOutcome copy();
    // The question to ask before remove(), naming the shown profile; nullopt when there is
    // nothing to ask about (remove() then says why it refuses).
    std::optional<PanelMessage> removeQuestion() const;
    // Deletes the shown profile and shows the one the list then selects, so no later change
    // is saved into the deleted profile's file.
    PanelOutcome remove();
    // Import of the file the user picked; nothing without a selection.
    PanelOutcome importFrom(const std::filesystem::path& path);
    PanelOutcome exportTo(const std::filesystem::path& path);
    // The file name an export proposes: the shown profile's name as a file name, with the
    // profile extension; empty when the name leaves nothing to propose.
    std::wstring exportFileName() const;
    // The question to ask before reset() (OK and Cancel).
    static PanelMessage resetQuestion();
    PanelOutcome reset();
    // The name edit's text; an empty text does nothing and says nothing.
    PanelOutcome rename(const std::wstring& name);
    static PanelMessage blankNameMessage();
    // The switch command, once the combo's selection has settled for kSwitchDelay. A choice
    // that could not be stored is refused, and the shown profile stays.
    PanelOutcome select(int index);
    // Before a change is saved: reads the list again, since another program may have
    // renamed or deleted the shown profile. A rename only refreshes the names; a delete
    // moves the view to the list's selected profile and asks the device to load it
    // (reloadDevice), with a message saying so. Nothing to do: an empty outcome.
    PanelOutcome followExternalChanges();

    // The tabs a device kind hides (false) or shows (true) at initialisation; nullopt
    // leaves a tab as the skin has it.
    static std::array<std::optional<bool>, kPanelTabCount> tabVisibility(detect::DeviceKind kind);
    // The selected state of each tab after selecting tab number `tab` (1-8); nullopt
    // leaves that tab as it is.
    static std::array<std::optional<bool>, kPanelTabCount> tabSelection(int tab);

    profile::ProfileList& list() { return m_list; }

private:
    PanelOutcome refused() const;
    // Shows the profile the list file selects (after the shown one is gone).
    void showStoredSelection();

    profile::ProfileList m_list;
};

// What the window says of a stored file set aside: where it was kept, what took its place.
[[nodiscard]] PanelMessage storedFileMessage(const profile::StoredFileNotice& notice);

// The message for a refusal of the profile list; nullopt for Refusal::None.
[[nodiscard]] std::optional<PanelMessage> refusalMessage(profile::ProfileList::Refusal refusal);

} // namespace pages
