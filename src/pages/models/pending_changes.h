#pragma once

// What of a device's shown profile the profile file or the device does not hold yet. Pages
// note every edit and every commit here; the window shows it and asks before anything would
// drop it. UI thread only.

#include "device/model/profile_apply.h"
#include "pages/models/change_result.h"

#include <optional>
#include <set>

namespace pages {

// The parts of a profile a device takes in separate writes.
enum class ProfileBlock { Lighting, KeyMap, Macros, Settings };

// Where a whole-profile write took the profile from: its file, or the profile as held in
// memory with the unsaved edits.
enum class WrittenFrom { File, Memory };

class PendingChanges {
public:
    // An edit kept in memory only (the key page's Apply): neither saved nor written.
    void edited(ProfileBlock block);
    // A commit of `block` ended with `result`. A save stores every edit made so far; a write
    // puts only that block on the device.
    void committed(ProfileBlock block, const ChangeResult& result);
    // A write of `block` alone, with no save of the profile (the macro page's Apply).
    void written(ProfileBlock block, protocol::Status status);
    // A save of the whole profile, writing nothing.
    void saved(bool ok)
    {
        m_unsaved = m_unsaved && !ok;
        m_last.saved = m_last.saved || ok;
    }
    // The profile in memory took what its file could not, with no edit of the user's (the
    // device's settings read back): unsaved until a save succeeds.
    void saveFailed()
    {
        m_unsaved = true;
        m_last.saved = false;
    }
    // The saved profile was written to the device in full (arrival, switch, reset): a
    // pending block stays unwritten only if a step that writes it failed.
    void rewritten(const model::ApplyReport& report, WrittenFrom from = WrittenFrom::File);
    // The same after a resume, when the device may have lost everything: every block a
    // failed step writes is unwritten from now on, pending before or not.
    void rewrittenAfterResume(const model::ApplyReport& report,
                              WrittenFrom from = WrittenFrom::File);
    // Nothing is pending any more: the edits were dropped, or the profile was read again.
    void clear();

    const std::set<ProfileBlock>& unwrittenBlocks() const { return m_unwritten; }
    bool isUnsaved() const { return m_unsaved; }
    bool isUnwritten() const { return !m_unwritten.empty(); }
    bool hasAny() const { return isUnsaved() || isUnwritten(); }
    // Why the last write or save fell short, in words; nullopt when it did not.
    std::optional<PanelMessage> reason() const { return changeMessage(m_last); }

private:
    void followReport(const model::ApplyReport& report);

    bool m_unsaved = false;
    std::set<ProfileBlock> m_unwritten;
    ChangeResult m_last;
};

} // namespace pages
