#include "pages/models/pending_changes.h"

#include <gtest/gtest.h>

using pages::ChangeResult;
using pages::PendingChanges;
using pages::ProfileBlock;
using protocol::Status;

namespace {

std::wstring_view idOf(const std::optional<pages::PanelMessage>& message)
{
    return message ? message->textId : std::wstring_view();
}

model::ApplyReport reportOf(std::initializer_list<std::pair<const char*, Status>> steps)
{
    model::ApplyReport report;
    for (const auto& [name, status] : steps) {
        model::StepReport step;
        step.name = name;
        step.status = status;
        report.steps.push_back(step);
    }
    return report;
}

} // namespace

TEST(ChangeMessage, EveryShortfallSaysWhy)
{
    EXPECT_EQ(idOf(pages::changeMessage(ChangeResult{})), L"");
    EXPECT_EQ(idOf(pages::changeMessage(ChangeResult{false, Status::Ok})),
              L"change_not_saved_text");
    const std::pair<Status, std::wstring_view> written[] = {
        {Status::NoReply, L"change_not_written_gone_text"},
        {Status::WriteFailed, L"change_not_written_gone_text"},
        {Status::ReceiverAsleep, L"change_not_written_asleep_text"},
        {Status::DeviceErrorFF, L"change_not_written_refused_text"},
        {Status::BankRefused, L"change_not_written_refused_text"},
        {Status::NothingToWrite, L"change_not_written_refused_text"},
        {Status::DeviceHeld, L"change_not_written_busy_text"},
        {Status::NotSupported, L"change_not_written_unsupported_text"},
    };
    for (const auto& [status, id] : written)
        EXPECT_EQ(idOf(pages::changeMessage(pages::writtenBy(status))), id) << code(status);
    // The first refusal is the one reported.
    ChangeResult twice = pages::writtenBy(Status::ReceiverAsleep);
    twice.device(Status::DeviceErrorFF);
    EXPECT_EQ(twice.written, Status::ReceiverAsleep);
    // A change the device object saved and wrote: the failed save is the one said.
    const model::SavedAndWritten unsaved{model::ProfileResult::NotSaved, Status::DeviceErrorFF};
    EXPECT_EQ(idOf(pages::changeMessage(pages::writtenBy(unsaved))), L"change_not_saved_text");
}

TEST(PendingChanges, FollowsEditsCommitsAndRewrites)
{
    PendingChanges pending;
    pending.edited(ProfileBlock::KeyMap);
    EXPECT_TRUE(pending.isUnsaved());
    EXPECT_TRUE(pending.isUnwritten());

    // A lighting commit saves the key edit with it, but writes only the lighting.
    pending.committed(ProfileBlock::Lighting, ChangeResult{});
    EXPECT_FALSE(pending.isUnsaved());
    EXPECT_TRUE(pending.isUnwritten());

    // A refused lighting write joins the unwritten key map; a rewrite whose lighting failed
    // keeps only the lighting, and says why.
    pending.committed(ProfileBlock::Lighting, pages::writtenBy(Status::DeviceErrorFE));
    pending.rewritten(reportOf({{"key map", Status::Ok}, {"lighting", Status::NoReply}}));
    EXPECT_EQ(pending.unwrittenBlocks(), std::set<ProfileBlock>{ProfileBlock::Lighting});
    EXPECT_EQ(idOf(pending.reason()), L"change_not_written_gone_text");
    pending.rewritten(reportOf({{"key map", Status::NoReply}, {"lighting", Status::Ok}}));
    EXPECT_FALSE(pending.hasAny());

    // A rewrite from the file does not write edits the file lacks.
    pending.edited(ProfileBlock::KeyMap);
    pending.rewritten(reportOf({{"key map", Status::Ok}}));
    EXPECT_TRUE(pending.isUnsaved());
    EXPECT_TRUE(pending.isUnwritten());
}

// Writes that save nothing (the macro page's Apply, a rewrite of the profile held in memory)
// settle what the device holds, never what the file holds; a block written now keeps the
// reason another block is still waiting.
TEST(PendingChanges, WritesWithoutASaveLeaveTheUnsavedMark)
{
    PendingChanges pending;
    pending.edited(ProfileBlock::KeyMap);
    pending.written(ProfileBlock::Macros, Status::DeviceErrorFF);
    pending.written(ProfileBlock::KeyMap, Status::Ok);
    EXPECT_TRUE(pending.isUnsaved());
    EXPECT_EQ(pending.unwrittenBlocks(), std::set<ProfileBlock>{ProfileBlock::Macros});
    EXPECT_EQ(idOf(pending.reason()), L"change_not_written_refused_text");

    pending.edited(ProfileBlock::KeyMap);
    pending.rewritten(
        reportOf({{"full read", Status::Ok}, {"macros", Status::Ok}, {"key map", Status::Ok}}),
        pages::WrittenFrom::Memory);
    EXPECT_TRUE(pending.isUnsaved());
    EXPECT_FALSE(pending.isUnwritten());
    pending.saved(true);
    EXPECT_FALSE(pending.hasAny());

    // A rewrite that never had the device wrote nothing, whichever block waited.
    pending.edited(ProfileBlock::Lighting);
    pending.rewritten(reportOf({{"device hold", Status::DeviceHeld}}), pages::WrittenFrom::Memory);
    EXPECT_EQ(pending.unwrittenBlocks(), std::set<ProfileBlock>{ProfileBlock::Lighting});
    EXPECT_EQ(idOf(pending.reason()), L"change_not_written_busy_text");
}
