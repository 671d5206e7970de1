// A mouse pad's lighting change, as the lighting page and the window's commit make it: the
// pad shows its lighting through live frames and keeps no slot record, so a saved change is
// complete, not "not written".
#include "pages/models/light_page_model.h"
#include "pages/models/pending_changes.h"
#include "pages/models/profile_device_steps.h"

#include "device/model/light_only_model.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

TEST(LightOnlyChanges, APadsLightingChangeIsCompleteAndLeavesNothingPending)
{
    testing_support::TempDir temp;
    model::MousePadModel pad;
    pad.setDataRoot(temp / "data");
    pad.setFactoryFolder(std::filesystem::path(HALVEK_SOURCE_DIR) / "data" / "DefaultData");
    pad.setProfileBaseName(L"profile1");
    ASSERT_EQ(pad.LoadProfile(), model::ProfileResult::Ok);

    const pages::ChangeResult changed =
        pages::storeLighting(pad, [](profile::LightInfo& light) { light.green = 0x40; });
    EXPECT_TRUE(changed.isComplete()) << protocol::describe(changed.written);
    EXPECT_FALSE(pages::changeMessage(changed).has_value());

    pages::PendingChanges pending;
    pending.edited(pages::ProfileBlock::Lighting);
    const pages::ChangeResult committed = pages::commitPending(pad, pending);
    EXPECT_TRUE(committed.isComplete()) << protocol::describe(committed.written);
    EXPECT_FALSE(pending.isUnsaved());
    EXPECT_FALSE(pending.isUnwritten());

    model::MousePadModel again;
    again.setDataRoot(temp / "data");
    again.setFactoryFolder(std::filesystem::path(HALVEK_SOURCE_DIR) / "data" / "DefaultData");
    again.setProfileBaseName(L"profile1");
    ASSERT_EQ(again.LoadProfile(), model::ProfileResult::Ok);
    EXPECT_EQ(again.lightSettings().green, 0x40);
}
