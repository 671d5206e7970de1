#include "device/model/keyboard_model.h"
#include "device/model/light_only_model.h"
#include "device/model/mouse_model.h"
#include "device/model/profile_apply.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using model::Capability;
using model::ProfileResult;
using protocol::Status;

namespace {

Status statusOf(ProfileResult result)
{
    return result == ProfileResult::NotSupported ? Status::NotSupported : Status::Ok;
}

struct Operation {
    const char* name;
    Capability needs;
    std::function<Status(model::UsbDeviceModel&)> run;
};

// Every operation that answers, with the capability that has to be declared for it.
const std::vector<Operation>& operations()
{
    using D = model::UsbDeviceModel;
    static const std::vector<Operation> list{
        {"ShowLighting", Capability::Lighting, [](D& d) { return d.ShowLighting(); }},
        {"StartDevice", Capability::Profile, [](D& d) { return d.StartDevice(); }},
        {"LoadProfile", Capability::Profile, [](D& d) { return statusOf(d.LoadProfile()); }},
        {"ReloadProfile", Capability::Profile, [](D& d) { return statusOf(d.ReloadProfile()); }},
        {"CommitProfile", Capability::Profile, [](D& d) { return statusOf(d.CommitProfile()); }},
        {"WriteKeyMap", Capability::KeyMap, [](D& d) { return d.WriteKeyMap(0, {}); }},
        {"WriteProfileKeyMap", Capability::KeyMap, [](D& d) { return d.WriteProfileKeyMap(0); }},
        {"WriteMacros", Capability::Macros, [](D& d) { return d.WriteMacros({0}).status; }},
        {"WriteSlotRecord", Capability::SlotRecord, [](D& d) { return d.WriteSlotRecord(0, 0); }},
        {"WriteCustomColourGroup", Capability::CustomColours,
         [](D& d) { return d.WriteCustomColourGroup(); }},
        {"ReadDevice", Capability::DeviceRead, [](D& d) { return d.ReadDevice(); }},
        {"ReadDeviceState", Capability::DeviceState, [](D& d) { return d.ReadDeviceState(); }},
    };
    return list;
}

struct Family {
    const char* name;
    std::function<std::unique_ptr<model::UsbDeviceModel>()> make;
};

const std::vector<Family>& families()
{
    static const std::vector<Family> list{
        {"base", [] { return std::make_unique<model::UsbDeviceModel>(); }},
        {"keyboard", [] { return std::make_unique<model::KeyboardModel>(); }},
        {"mouse", [] { return std::make_unique<model::MouseModel>(); }},
        {"mouse pad", [] { return std::make_unique<model::MousePadModel>(); }},
        {"headset", [] { return std::make_unique<model::HeadsetModel>(); }},
    };
    return list;
}

} // namespace

// The declared set and the operations agree both ways: what a family leaves out answers
// NotSupported without a frame, and what it declares is really there (on a closed channel
// it answers something else).
TEST(DeviceFamilies, WhatAFamilyLacksAnswersNotSupportedAndWhatItDeclaresIsThere)
{
    for (const Family& family : families()) {
        testing_support::TempDir dir;
        std::unique_ptr<model::UsbDeviceModel> device = family.make();
        device->setDataRoot(dir.path());
        device->setFactoryFolder(dir / "DefaultData");
        for (const Operation& operation : operations()) {
            const std::uint64_t frames = device->requestFrames();
            const Status status = operation.run(*device);
            if (device->has(operation.needs)) {
                EXPECT_NE(status, Status::NotSupported) << family.name << ": " << operation.name;
            } else {
                EXPECT_EQ(status, Status::NotSupported) << family.name << ": " << operation.name;
                EXPECT_EQ(device->requestFrames(), frames) << family.name << ": " << operation.name;
            }
        }
        device->StopLighting();
    }
}

// Before the families, a mouse pad or headset coming back reported its key map and slot
// record as not written (it has neither), so its changes stayed marked unwritten for ever.
TEST(DeviceFamilies, ALightOnlyDeviceIsRewrittenWithoutStepsItHasNoPartFor)
{
    testing_support::TempDir dir;
    model::MousePadModel pad;
    pad.setDataRoot(dir.path());
    pad.setFactoryFolder(std::filesystem::path(HALVEK_SOURCE_DIR) / "data" / "DefaultData");
    pad.setProfileBaseName(L"profile1");

    const model::ApplyReport report = model::reapplyOnAttach(pad, model::AfterApply::Nothing);
    EXPECT_TRUE(report.isOk()) << report.firstFailure()->name;
    std::vector<std::string> names;
    for (const model::StepReport& step : report.steps)
        names.push_back(step.name);
    EXPECT_EQ(names, (std::vector<std::string>{"profile", "lighting"}));

    // A device that keeps no profile is not reported as rewritten.
    model::UsbDeviceModel bare;
    const model::ApplyReport none = model::reapplyOnAttach(bare, model::AfterApply::Nothing);
    ASSERT_NE(none.firstFailure(), nullptr);
    EXPECT_EQ(none.firstFailure()->status, Status::NotSupported);
}

// Filling the custom colours into the selected group saves the profile; a save that fails
// reaches the caller instead of passing for done.
TEST(DeviceFamilies, FillingTheCustomGroupReportsItsSave)
{
    testing_support::TempDir dir;
    model::KeyboardModel keyboard;
    keyboard.setDataRoot(dir.path());
    keyboard.setFactoryFolder(std::filesystem::path(HALVEK_SOURCE_DIR) / "data" / "DefaultData");

    // No profile selected: nothing can hold the colours.
    EXPECT_EQ(keyboard.FillCustomColours({1, 2, 3}, true).saved, ProfileResult::NotSaved);
    EXPECT_EQ(keyboard.FillCustomColours({1, 2, 3}, false).saved, ProfileResult::Ok);

    keyboard.setProfileBaseName(L"profile1");
    ASSERT_EQ(keyboard.LoadProfile(), ProfileResult::Ok);
    const model::SavedAndWritten filled = keyboard.FillCustomColours({1, 2, 3}, true);
    EXPECT_EQ(filled.saved, ProfileResult::Ok);
    EXPECT_EQ(filled.written, Status::Ok); // not in the custom mode: nothing to write
    const int group = keyboard.lightSettings().customGroup;
    EXPECT_EQ(keyboard.profile().LoadCustomColours(group, keyboard.lightCount())[7].green, 2);
    keyboard.StopLighting();
}
