#include "device/model/light_only_model.h"
#include "platform/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

template <class Model> void pointAt(Model& device, const testing_support::TempDir& dir)
{
    device.setDataRoot(dir.path());
    device.setFactoryFolder(std::filesystem::path(HALVEK_SOURCE_DIR) / "data" / "DefaultData");
    device.setProfileBaseName(L"profile1");
}

} // namespace

TEST(LightOnlyModel, MousePadAndHeadsetTakeTheirRowsAndDescriptions)
{
    model::MousePadModel pad;
    EXPECT_EQ(pad.identity().productId, 0x1004);
    EXPECT_EQ(pad.typeId(), detect::DeviceTypeId::MousePad);
    EXPECT_EQ(pad.lightCount(), 15);
    EXPECT_EQ(pad.keyCount(), 0);
    EXPECT_EQ(pad.folderName(), L"MousePad");
    EXPECT_EQ(pad.GetKind(), detect::DeviceKind::MousePad);

    model::HeadsetModel headset;
    EXPECT_EQ(headset.identity().vendorId, 0x0C76);
    EXPECT_EQ(headset.identity().interfaceNumber, 3);
    EXPECT_EQ(headset.lightCount(), 13);
    EXPECT_EQ(headset.folderName(), L"HD");
}

TEST(LightOnlyModel, FactoryLightingPaintsEveryLightAndEditsReachTheFile)
{
    testing_support::TempDir dir;
    model::MousePadModel pad;
    pointAt(pad, dir);
    ASSERT_EQ(pad.LoadProfile(), model::ProfileResult::Ok);
    EXPECT_EQ(pad.lightSettings().mode, 4);
    EXPECT_EQ(pad.lightSettings().red, 255);
    for (std::size_t light = 0; light < 15; ++light)
        EXPECT_EQ(pad.lights().get(light).red, 255) << light;
    EXPECT_EQ(pad.lights().get(15).red, 0) << "past the pad's lights";

    profile::LightInfo light = pad.lightSettings();
    light.mode = 6;
    light.green = 0x30;
    pad.SetLightSettings(profile::toWords(light));
    EXPECT_EQ(pad.lights().get(3).green, 0x30);
    ASSERT_EQ(pad.CommitProfile(), model::ProfileResult::Ok);

    model::MousePadModel again;
    pointAt(again, dir);
    ASSERT_EQ(again.LoadProfile(), model::ProfileResult::Ok);
    EXPECT_EQ(again.lightSettings(), pad.lightSettings());
}

TEST(LightOnlyModel, HeadsetLoadsItsSetStagesAndStoresChanges)
{
    testing_support::TempDir dir;
    model::HeadsetModel headset;
    pointAt(headset, dir);
    ASSERT_EQ(headset.LoadProfile(), model::ProfileResult::Ok);
    EXPECT_EQ(headset.systemSetStages().micInValue, 80);
    EXPECT_EQ(headset.systemSetStages().eqType, 1);

    auto stages = headset.systemSetStages();
    stages.micMonitorValue = 25;
    headset.setSystemSetStages(stages);
    ASSERT_EQ(headset.CommitProfile(), model::ProfileResult::Ok);
    model::HeadsetModel again;
    pointAt(again, dir);
    ASSERT_EQ(again.LoadProfile(), model::ProfileResult::Ok);
    EXPECT_EQ(again.systemSetStages().micMonitorValue, 25);
    EXPECT_EQ(again.headsetProfile().LoadEqValues(13).size(), 0u);
}
