#pragma once

// What became of a change the user made: whether the profile file holds it and whether the
// device took it, with the reason in words when it did not. UI-free: the pages, the window's
// unsaved marker and halvekctl read the same words.

#include "device/model/profile_result.h"
#include "device/protocol/status.h"
#include "pages/models/profile_panel_model.h"

#include <optional>

namespace pages {

struct ChangeResult {
    bool saved = true;                               // the profile file holds the change
    protocol::Status written = protocol::Status::Ok; // the first refusal of the device

    // Notes one device write; the first failure is the one reported.
    void device(protocol::Status status)
    {
        if (written == protocol::Status::Ok)
            written = status;
    }
    // Notes a profile save.
    void save(model::ProfileResult commit) { saved = saved && commit == model::ProfileResult::Ok; }
    bool isWritten() const { return written == protocol::Status::Ok; }
    bool isComplete() const { return saved && isWritten(); }
};

// A change that only writes to the device.
[[nodiscard]] inline ChangeResult writtenBy(protocol::Status status)
{
    ChangeResult result;
    result.device(status);
    return result;
}

// A change the device object both saved and wrote.
[[nodiscard]] inline ChangeResult writtenBy(const model::SavedAndWritten& change)
{
    ChangeResult result;
    result.save(change.saved);
    result.device(change.written);
    return result;
}

// The words for a change that is not complete ("Not written to the device: it does not
// answer; the change is kept."); nullopt when it is.
[[nodiscard]] std::optional<PanelMessage> changeMessage(const ChangeResult& result);

} // namespace pages
