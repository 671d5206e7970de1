#include "pages/models/pending_changes.h"

#include <array>

namespace pages {
namespace {

constexpr std::array kBlocks{ProfileBlock::Lighting, ProfileBlock::KeyMap, ProfileBlock::Macros,
                             ProfileBlock::Settings};

// Whether a step of a whole-profile write puts `block` on the device. Without the device,
// the read and the profile nothing after them was written.
bool stepWrites(const std::string& step, ProfileBlock block)
{
    if (step == model::kDeviceHoldStep || step == "full read" || step == "profile")
        return true;
    switch (block) {
    case ProfileBlock::KeyMap:
        return step == "macros" || step == "key map";
    case ProfileBlock::Macros:
        return step == "macros";
    case ProfileBlock::Lighting:
        return step == "lighting" || step == "slot record" || step == "custom colours";
    case ProfileBlock::Settings:
        return step == "slot record";
    }
    return false;
}

} // namespace

void PendingChanges::edited(ProfileBlock block)
{
    m_unsaved = true;
    m_unwritten.insert(block);
}

void PendingChanges::committed(ProfileBlock block, const ChangeResult& result)
{
    m_unsaved = !result.saved;
    if (result.isWritten())
        m_unwritten.erase(block);
    else
        m_unwritten.insert(block);
    // A block written now does not clear why another one is still waiting.
    if (!result.isComplete() || m_unwritten.empty())
        m_last = result;
}

void PendingChanges::written(ProfileBlock block, protocol::Status status)
{
    const bool unsaved = m_unsaved;
    committed(block, writtenBy(status));
    m_unsaved = unsaved;
}

void PendingChanges::rewritten(const model::ApplyReport& report, WrittenFrom from)
{
    if (from == WrittenFrom::File && m_unsaved)
        return; // the device got the file's profile, which lacks the edits
    followReport(report);
}

void PendingChanges::followReport(const model::ApplyReport& report)
{
    std::set<ProfileBlock> still;
    for (const model::StepReport& step : report.steps) {
        if (step.status == protocol::Status::Ok)
            continue;
        for (ProfileBlock block : m_unwritten) {
            if (stepWrites(step.name, block)) {
                still.insert(block);
                m_last.written = step.status;
            }
        }
    }
    m_unwritten = std::move(still);
    if (m_unwritten.empty())
        m_last = ChangeResult{};
}

void PendingChanges::rewrittenAfterResume(const model::ApplyReport& report, WrittenFrom from)
{
    rewritten(report, from);
    for (const model::StepReport& step : report.steps) {
        if (step.status == protocol::Status::Ok)
            continue;
        for (ProfileBlock block : kBlocks) {
            if (stepWrites(step.name, block)) {
                m_unwritten.insert(block);
                m_last.written = step.status;
            }
        }
    }
}

void PendingChanges::clear()
{
    *this = PendingChanges();
}

} // namespace pages
