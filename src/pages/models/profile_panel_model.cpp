#include "pages/models/profile_panel_model.h"

#include "platform/paths.h"
#include "platform/text.h"
#include "ui/text_substitute.h"

#include <algorithm>

namespace pages {
namespace fs = std::filesystem;
using Refusal = profile::ProfileList::Refusal;

namespace {

constexpr int kKeyboardKind = 1;
constexpr int kMouseKind = 2;
constexpr int kMousePadKind = 3;
constexpr int kHeadsetKind = 7;

PanelMessage message(std::wstring_view id, std::wstring_view english)
{
    return PanelMessage{id, english, std::nullopt};
}

} // namespace

int storedDeviceKind(detect::DeviceKind kind)
{
    switch (kind) {
    case detect::DeviceKind::Keyboard:
        return kKeyboardKind;
    case detect::DeviceKind::Mouse:
        return kMouseKind;
    case detect::DeviceKind::MousePad:
        return kMousePadKind;
    case detect::DeviceKind::Headset:
        return kHeadsetKind;
    }
    return kKeyboardKind;
}

std::wstring PanelMessage::fill(std::wstring_view text) const
{
    if (number)
        return ui::substituteNumber(text, *number);
    std::wstring filled(text);
    if (name)
        if (const auto at = filled.find(L"%s"); at != std::wstring::npos)
            filled.replace(at, 2, *name);
    return filled;
}

std::optional<PanelMessage> refusalMessage(Refusal refusal)
{
    switch (refusal) {
    case Refusal::None:
        return std::nullopt;
    case Refusal::AtLimit:
        return message(L"profile_limit_text",
                       L"There are 50 profiles already; copy or import one to make more.");
    case Refusal::NoSelection:
        return message(L"profile_no_selection_text", L"Select a profile first.");
    case Refusal::LastProfile:
        return message(L"profile_last_text", L"The last profile cannot be deleted.");
    case Refusal::ListUnreadable:
        return message(L"profile_list_unreadable_text",
                       L"The profile list cannot be read, so nothing was changed. Check the "
                       L"file ProfileList.ini in the data folder and try again.");
    case Refusal::FolderBusy:
        return message(L"profile_folder_busy_text",
                       L"Another Halvek program is changing the profiles. Try again in a moment.");
    case Refusal::NotAProfile:
        return message(L"profile_import_invalid_text",
                       L"This file is not a profile: it needs a \"profilename\" and a "
                       L"\"profileUUID\".");
    case Refusal::TooLarge:
        return message(L"profile_import_too_large_text",
                       L"This profile is too large to be stored; nothing was imported.");
    case Refusal::NoFactoryData:
        return message(L"profile_no_factory_text",
                       L"There are no factory settings to reset this profile to.");
    case Refusal::NotWritten:
        return message(L"profile_not_written_text",
                       L"The profile could not be saved. Check that the data folder can be "
                       L"written.");
    }
    return std::nullopt;
}

ProfilePanelModel::ProfilePanelModel(detect::DeviceKind kind, fs::path folder,
                                     fs::path defaultProfilePath)
{
    m_list.SetDeviceKind(storedDeviceKind(kind));
    m_list.SetPaths(folder, defaultProfilePath);
}

std::optional<PanelMessage> ProfilePanelModel::initialize()
{
    m_list.InitProfiles();
    return m_list.isReadable() ? std::nullopt : refusalMessage(Refusal::ListUnreadable);
}

std::optional<PanelMessage> ProfilePanelModel::setAsideMessage() const
{
    if (m_list.setAsideFiles().empty())
        return std::nullopt;
    // Said once, when the files are found: the user may want what they held.
    std::wstring files;
    for (const std::filesystem::path& file : m_list.setAsideFiles())
        files += (files.empty() ? L"" : L", ") + platform::fromUtf8(file.string());
    return PanelMessage{L"profile_set_aside_text",
                        L"A stored file was too large to read. It was kept aside as %s, and "
                        L"what it held starts afresh.",
                        std::nullopt, std::move(files)};
}

PanelMessage storedFileMessage(const profile::StoredFileNotice& notice)
{
    using Kind = profile::StoredFileNotice::Kind;
    PanelMessage said = [&notice] {
        switch (notice.kind) {
        case Kind::ProfileListRebuilt:
            return message(L"profile_list_rebuilt_text",
                           L"The profile list could not be read. It was kept as %s, and the "
                           L"list was made again from the profile files still there.");
        case Kind::ProfileListRestarted:
            return message(L"profile_list_restarted_text",
                           L"The profile list could not be read. It was kept as %s; no profile "
                           L"file was left, so a new profile with the factory settings was "
                           L"started.");
        case Kind::MacroListRebuilt:
            return message(L"macro_list_rebuilt_text",
                           L"The macro list could not be read. It was kept as %s, and the list "
                           L"was made again from the macro files still there.");
        case Kind::MacroEmptied:
            return message(L"macro_file_set_aside_text",
                           L"A macro file could not be read. It was kept as %s, and the macro "
                           L"starts empty.");
        case Kind::ProfileReset:
            break;
        }
        return message(L"profile_file_set_aside_text",
                       L"A profile file could not be read. It was kept as %s, and the profile "
                       L"starts with the factory settings.");
    }();
    said.name = platform::fromUtf8(notice.keptAs.string());
    return said;
}

std::wstring ProfilePanelModel::nameText() const
{
    const int selected = selectedIndex();
    if (selected < 0 || selected >= static_cast<int>(items().size()))
        return {};
    return items()[static_cast<std::size_t>(selected)];
}

PanelOutcome ProfilePanelModel::refused() const
{
    PanelOutcome outcome;
    // Another program's change may have been adopted even when this one was refused.
    outcome.listChanged = true;
    outcome.message = refusalMessage(m_list.lastRefusal());
    return outcome;
}

PanelOutcome ProfilePanelModel::add()
{
    return m_list.AddProfile() ? PanelOutcome{true, false, std::nullopt} : refused();
}

PanelOutcome ProfilePanelModel::copy()
{
    return m_list.CopyProfile() ? PanelOutcome{true, false, std::nullopt} : refused();
}

std::optional<PanelMessage> ProfilePanelModel::removeQuestion() const
{
    if (items().size() < 2 || selectedIndex() < 0)
        return std::nullopt;
    PanelMessage question =
        message(L"profile_delete_question_text", L"Delete the profile \"%s\" and its settings?");
    question.name = nameText();
    return question;
}

PanelOutcome ProfilePanelModel::remove()
{
    if (!m_list.DeleteProfile())
        return refused();
    showStoredSelection();
    return PanelOutcome{true, true, std::nullopt};
}

void ProfilePanelModel::showStoredSelection()
{
    const int count = static_cast<int>(items().size());
    if (count > 0)
        m_list.SelectProfile(std::clamp(storedSelection(), 0, count - 1));
}

PanelOutcome ProfilePanelModel::followExternalChanges()
{
    if (currentProfileId().empty())
        return {};
    const std::vector<std::wstring> names = items();
    const int selected = selectedIndex();
    if (m_list.refresh()) {
        const bool changed = names != items() || selected != selectedIndex();
        return PanelOutcome{changed, false, std::nullopt};
    }
    showStoredSelection();
    PanelMessage moved = message(L"profile_gone_text",
                                 L"Another program deleted the profile shown here. Now showing "
                                 L"\"%s\"; nothing was saved into the deleted one.");
    moved.name = nameText();
    return PanelOutcome{true, true, std::move(moved)};
}

PanelOutcome ProfilePanelModel::importFrom(const fs::path& path)
{
    if (selectedIndex() < 0)
        return {};
    return m_list.ImportProfile(path) ? PanelOutcome{true, false, std::nullopt} : refused();
}

PanelOutcome ProfilePanelModel::exportTo(const fs::path& path)
{
    if (selectedIndex() < 0 || path.empty())
        return {};
    return m_list.ExportProfile(path) ? PanelOutcome{} : refused();
}

std::wstring ProfilePanelModel::exportFileName() const
{
    const std::wstring name = platform::fileNameFrom(nameText());
    return name.empty() ? std::wstring() : name + L".json";
}

PanelMessage ProfilePanelModel::resetQuestion()
{
    return message(L"message_text_22", L"Reset this profile to its factory settings?");
}

PanelOutcome ProfilePanelModel::reset()
{
    return m_list.ResetProfile() ? PanelOutcome{false, true, std::nullopt} : refused();
}

PanelOutcome ProfilePanelModel::rename(const std::wstring& name)
{
    if (name.empty())
        return {};
    switch (m_list.RenameProfile(name)) {
    case profile::ProfileList::Renamed:
        return PanelOutcome{true, false, std::nullopt};
    case profile::ProfileList::NameTaken:
        return PanelOutcome{false, false,
                            message(L"message_text_5", L"Another profile has this name.")};
    case profile::ProfileList::NameBlank:
        return PanelOutcome{false, false, blankNameMessage()};
    default:
        return refused();
    }
}

PanelMessage ProfilePanelModel::blankNameMessage()
{
    return message(L"message_text_25", L"A profile name cannot be blank.");
}

PanelOutcome ProfilePanelModel::select(int index)
{
    if (index < 0 || index >= static_cast<int>(items().size()))
        return {};
    if (m_list.SelectProfile(index))
        return PanelOutcome{false, true, std::nullopt};
    PanelOutcome outcome = refused();
    if (m_list.lastRefusal() == Refusal::NotWritten)
        outcome.message = message(L"profile_select_not_written_text",
                                  L"The profile was not switched: the choice could not be "
                                  L"stored. Check that the data folder can be written.");
    return outcome;
}

std::array<std::optional<bool>, kPanelTabCount>
ProfilePanelModel::tabVisibility(detect::DeviceKind kind)
{
    using T = PanelTab;
    std::array<std::optional<bool>, kPanelTabCount> visible;
    auto set = [&](std::initializer_list<PanelTab> tabs, bool shown) {
        for (PanelTab tab : tabs)
            visible[static_cast<std::size_t>(tab)] = shown;
    };
    switch (kind) {
    case detect::DeviceKind::Keyboard:
        set({T::Cursor}, false);
        break;
    case detect::DeviceKind::MousePad:
        set({T::Cursor, T::Macro, T::System, T::Keys}, false);
        break;
    case detect::DeviceKind::Headset:
        set({T::Cursor, T::Macro, T::System, T::Keys}, false);
        set({T::Voice, T::VoiceEffect, T::Surround}, true);
        break;
    case detect::DeviceKind::Mouse:
        break;
    }
    return visible;
}

std::array<std::optional<bool>, kPanelTabCount> ProfilePanelModel::tabSelection(int tab)
{
    std::array<std::optional<bool>, kPanelTabCount> selected;
    selected.fill(false);
    if (tab >= 1 && tab <= static_cast<int>(kPanelTabCount))
        selected[static_cast<std::size_t>(tab - 1)] = true;
    else
        selected[static_cast<std::size_t>(PanelTab::Surround)] = std::nullopt;
    return selected;
}

} // namespace pages
