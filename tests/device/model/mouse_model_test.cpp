#include "device/model/device_view.h"
#include "device/model/mouse_model.h"
#include "device/model/profile_apply.h"
#include "device/mouse_key_positions.h"
#include "devsim/mouse.h"
#include "platform/files.h"
#include "profile/mouse_profile_data.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>

using devsim::Area;
using devsim::Fault;
using devsim::KeyboardLink;
using protocol::Status;
namespace record = protocol::mouse_record;

namespace {

std::uint16_t get16(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

// The emulated mouse on its cable (and receiver) and a mouse model whose data folder is a
// temporary one, with the shipped factory data.
class MouseModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        mouse.plug(KeyboardLink::Cable);
        mouse.plug(KeyboardLink::Receiver);
        setUpModel(model);
        open(model, KeyboardLink::Cable);
    }

    void setUpModel(model::MouseModel& device)
    {
        device.setDataRoot(dir.path());
        device.setFactoryFolder(std::filesystem::path(HALVEK_SOURCE_DIR) / "data" / "DefaultData");
        device.setProfileBaseName(L"profile1");
    }

    void open(model::MouseModel& device, KeyboardLink link)
    {
        const bool receiver = link == KeyboardLink::Receiver;
        device.channel().closeLinks();
        ASSERT_TRUE(device.channel().openLink(
            receiver ? protocol::Link::Receiver : protocol::Link::Wired, mouse.commandPath(link)));
        device.channel().setLinkMode(receiver ? protocol::LinkMode::Receiver
                                              : protocol::LinkMode::Wired);
    }

    std::string profileText() const
    {
        const auto text =
            platform::readFileBounded(dir / "mouse" / "profile1.Json", std::size_t{1} << 20);
        return text ? *text : std::string();
    }

    testing_support::TempDir dir;
    devsim::Mouse mouse;
    model::MouseModel model;
};

} // namespace

TEST_F(MouseModelTest, StartFindsEveryButtonsSlotAndTheSensorScale)
{
    EXPECT_EQ(model.StartDevice(), Status::Ok);
    const auto& slots = devsim::mouseSlotPositions();
    for (std::size_t slot = 0; slot < slots.size(); ++slot) {
        if (slots[slot] != 0xFF) {
            EXPECT_EQ(model.positionToSlot()[slots[slot]], slot) << "button " << int(slots[slot]);
        }
    }
    const model::DpiScale scale = model.dpiScale();
    EXPECT_EQ(scale.step, devsim::kMouseDpiStep);
    EXPECT_EQ(scale.sliderMaximum, devsim::kMouseDpiMaximum);
    EXPECT_EQ(model::sliderToDpi(scale, 7), 400);
    EXPECT_EQ(model.dpiStages().size(), 5u);
}

TEST_F(MouseModelTest, ApplyThenReadBackLeavesTheProfileAsItWas)
{
    ASSERT_EQ(model.StartDevice(), Status::Ok);
    // The start took the device's lighting into the profile; the user then picks another.
    profile::LightInfo light = model.lightSettings();
    light.mode = 6;
    light.speed = 3;
    light.green = 0x80;
    model.SetLightSettings(profile::toWords(light));
    ASSERT_EQ(model.CommitProfile(), model::ProfileResult::Ok);
    const std::string before = profileText();
    ASSERT_FALSE(before.empty());

    const model::ApplyReport report = model::applyProfile(model);
    for (const auto& step : report.steps)
        EXPECT_EQ(step.status, Status::Ok) << step.name << ": " << step.detail;

    // The factory profile's stages 400-6400, active stage 1 and report stage 3.
    const auto written = mouse.slotRecord(0);
    EXPECT_EQ(written[record::kEffect], 6);
    EXPECT_EQ(written[record::kSpeed], 1);
    EXPECT_EQ(written[record::kGreen], 0x80);
    EXPECT_EQ(written[record::kReportStage], 3);
    EXPECT_EQ(written[record::kActiveDpiStage], 1);
    EXPECT_EQ(get16(written, record::kDpiStages + 4 * record::kDpiStageSize + 2), 6400);
    EXPECT_EQ(written[66], 0x02) << "the mouse's own bytes are never written";

    model::MouseModel again;
    setUpModel(again);
    open(again, KeyboardLink::Cable);
    ASSERT_EQ(again.StartDevice(), Status::Ok);
    EXPECT_EQ(again.lightSettings(), model.lightSettings());
    EXPECT_EQ(again.activeStage(), 1);
    EXPECT_EQ(profileText(), before);
}

TEST_F(MouseModelTest, KeyMapCarriesAReassignedButtonInItsSlotOnly)
{
    ASSERT_EQ(model.StartDevice(), Status::Ok);
    auto keys = model.keys();
    ASSERT_EQ(keys.size(), 11u);
    keys[3].current = {0, 0x20, 0x01, 0x06, 0}; // forward button: Ctrl+C
    keys.resize(4);                             // positions past the list are not written
    EXPECT_EQ(model.WriteKeyMap(0, keys), Status::Ok);
    const auto map = mouse.area(Area::KeyMap);
    const auto layout = mouse.area(Area::KeyLayout);
    const std::size_t slot = model.positionToSlot()[3];
    EXPECT_EQ(map[3 * slot], 0x20);
    EXPECT_EQ(map[3 * slot + 1], 0x01);
    EXPECT_EQ(map[3 * slot + 2], 0x06);
    for (std::size_t i = 0; i < 3 * devsim::kMouseKeySlotCount; ++i) {
        if (i / 3 != slot) {
            EXPECT_EQ(map[i], layout[i]) << "byte " << i;
        }
    }
}

TEST_F(MouseModelTest, ActiveStageOutsideTheListIsNotApplied)
{
    ASSERT_EQ(model.StartDevice(), Status::Ok);
    mouse.setArea(Area::Settings, record::kActiveDpiStage, std::array<std::uint8_t, 1>{9});
    mouse.setArea(Area::Settings, record::kRed, std::array<std::uint8_t, 1>{0x42});
    ASSERT_EQ(model.ReadDeviceState(), Status::Ok);
    EXPECT_EQ(model.activeStage(), 1) << "the stored stage is kept";
    EXPECT_EQ(model.lightSettings().red, 0x42) << "the rest of the record is taken";
    EXPECT_NE(profileText().find("\"StageActive\" : 1"), std::string::npos);

    mouse.setArea(Area::Settings, record::kActiveDpiStage, std::array<std::uint8_t, 1>{3});
    ASSERT_EQ(model.ReadDeviceState(), Status::Ok);
    EXPECT_EQ(model.activeStage(), 3);
}

// The settings read from the mouse go into the profile file; a file that cannot be written
// is told to the view and answered by readBackSave(), while the device's answer stays Ok.
TEST_F(MouseModelTest, AReadBackWhoseSaveFailsIsToldNotPassedOver)
{
    struct View : model::DeviceView {
        void readBackNotSaved() override { ++told; }
        int told = 0;
    } view;
    model.setView(&view);
    ASSERT_EQ(model.StartDevice(), Status::Ok);
    EXPECT_EQ(model.readBackSave(), model::ProfileResult::Ok);
    EXPECT_EQ(view.told, 0);

    // A folder where the file was: no save can replace it, whoever runs the test.
    const std::filesystem::path file = dir / "mouse" / "profile1.Json";
    std::filesystem::remove(file);
    std::filesystem::create_directory(file);
    mouse.setArea(Area::Settings, record::kRed, std::array<std::uint8_t, 1>{0x42});
    EXPECT_EQ(model.ReadDeviceState(), Status::Ok);
    EXPECT_EQ(model.lightSettings().red, 0x42) << "the read itself is kept in memory";
    EXPECT_EQ(model.readBackSave(), model::ProfileResult::NotSaved);
    EXPECT_EQ(view.told, 1);

    std::filesystem::remove(file);
    ASSERT_EQ(model.ReadDeviceState(), Status::Ok);
    EXPECT_EQ(model.readBackSave(), model::ProfileResult::Ok);
    EXPECT_EQ(view.told, 1);
    profile::CMouseProfiledata stored;
    stored.LoadProfileFile(file);
    EXPECT_EQ(stored.LoadLightInfo().red, 0x42);
    model.setView(nullptr);
}

TEST_F(MouseModelTest, ProfileWithSevenStagesWritesFive)
{
    ASSERT_EQ(model.StartDevice(), Status::Ok);
    std::vector<profile::DpiStage> stages;
    for (std::uint16_t i = 1; i <= 7; ++i)
        stages.push_back({1, 0, std::uint16_t(i * 1000), std::uint16_t(i * 1000), 1, 2, 3});
    model.profile().StoreDpiStages(stages);
    model.setCallerValues({1, 1920, 1080});
    ASSERT_EQ(model.WriteSlotRecord(1, 0), Status::Ok);
    const auto written = mouse.slotRecord(1);
    EXPECT_EQ(get16(written, record::kDpiStages + 4 * record::kDpiStageSize + 2), 5000);
    EXPECT_EQ(get16(written, record::kCallerWidth), 1920);
    EXPECT_EQ(mouse.slotRecord(2), devsim::Mouse().slotRecord(2));
}

TEST_F(MouseModelTest, DeviceErrorsReachTheCallerAndTheStateStays)
{
    ASSERT_EQ(model.StartDevice(), Status::Ok);
    const auto state = model.lightSettings();
    mouse.injectFaults({Fault::None, Fault::StatusFE});
    EXPECT_EQ(model.ReadDeviceState(), Status::DeviceErrorFE);
    EXPECT_EQ(model.lightSettings(), state);

    mouse.injectFaults({Fault::None, Fault::StatusFF});
    EXPECT_EQ(model.WriteSlotRecord(0, 0), Status::DeviceErrorFF);
    EXPECT_FALSE(mouse.isInSequence()) << "End still went out";
}

TEST_F(MouseModelTest, UnreachableMouseBehindTheReceiverIsNotWritten)
{
    ASSERT_EQ(model.StartDevice(), Status::Ok);
    open(model, KeyboardLink::Receiver);
    mouse.setAsleep(true);
    const auto before = mouse.memory();
    const model::ApplyReport report = model::applyProfile(model);
    ASSERT_NE(report.firstFailure(), nullptr);
    EXPECT_EQ(report.firstFailure()->status, Status::ReceiverAsleep);
    EXPECT_EQ(mouse.memory(), before);
    mouse.setAsleep(false);
    EXPECT_TRUE(model::applyProfile(model).isOk());
}

TEST_F(MouseModelTest, TooManyKeySlotsSendNoKeyMapAndKeepTheButtonMap)
{
    ASSERT_EQ(model.StartDevice(), Status::Ok);
    const model::PositionMap before = model.positionToSlot();
    // 200 slots would need 600 bytes of a 512-byte block.
    mouse.setArea(Area::Info, protocol::kInfoKeySlotCount, std::array<std::uint8_t, 1>{200});
    EXPECT_EQ(model.ReadDevice(), Status::NoReply);
    EXPECT_EQ(model.positionToSlot(), before);

    mouse.clearReceived();
    const auto keyMap = mouse.area(Area::KeyMap);
    EXPECT_EQ(model.WriteProfileKeyMap(0), Status::NoReply);
    EXPECT_EQ(mouse.commandsReceived(), (std::vector<std::uint8_t>{3}));
    EXPECT_EQ(mouse.area(Area::KeyMap), keyMap);
}

TEST_F(MouseModelTest, RecoilPatternsTravelInTheMacroBlockLayout)
{
    ASSERT_EQ(model.StartDevice(), Status::Ok);
    {
        std::ofstream(dir / "mouse" / "ShootData_0.Shoot")
            << R"({"Events":[{"Type":1,"Action":"down","Button":1,"Delay":"20"},)"
               R"({"Type":2,"Action":"up","Button":3,"Delay":"35"}]})";
        std::ofstream(dir / "mouse" / "ShootData_2.Shoot") << "not json";
    }
    mouse.clearReceived();
    ASSERT_EQ(model.WriteRecoilPattern(), Status::Ok);

    std::vector<std::uint8_t> block;
    for (const auto& frame : mouse.received()) {
        if (frame[protocol::field::kCommand] != protocol::command::kWriteShootData)
            continue;
        const std::size_t offset = protocol::frameOffset(frame);
        const std::size_t length = frame[protocol::field::kLength];
        block.resize(std::max(block.size(), offset + length));
        std::copy_n(frame.begin() + protocol::field::kPayload, length, block.begin() + offset);
    }
    const auto patterns = protocol::parseMacroBlock(block);
    ASSERT_TRUE(patterns);
    ASSERT_EQ(patterns->size(), 4u) << "missing and damaged files are empty patterns";
    ASSERT_EQ((*patterns)[0].events.size(), 2u);
    EXPECT_EQ((*patterns)[0].events[1], (protocol::MacroEvent{35, 2, false, 3}));
    EXPECT_TRUE((*patterns)[2].events.empty());
    EXPECT_EQ(mouse.commandsReceived().front(), protocol::command::kBegin);
    EXPECT_EQ(mouse.commandsReceived().back(), protocol::command::kEnd);
}

TEST_F(MouseModelTest, FaultDuringApplyNamesItsStepAndStatusAndLeavesTheProfile)
{
    ASSERT_EQ(model.StartDevice(), Status::Ok);
    const std::string profile = profileText();
    const auto keyMap = mouse.area(Area::KeyMap);
    // With no macros the key map's ReadInfo is the first request of an apply.
    const std::pair<Fault, Status> cases[] = {{Fault::StatusFF, Status::DeviceErrorFF},
                                              {Fault::StatusFE, Status::DeviceErrorFE},
                                              {Fault::Lost, Status::NoReply}};
    for (const auto& [fault, status] : cases) {
        SCOPED_TRACE(std::string(devsim::faultName(fault)));
        mouse.injectFault(fault);
        const model::ApplyReport report = model::applyProfile(model);
        ASSERT_NE(report.firstFailure(), nullptr);
        EXPECT_EQ(report.firstFailure()->name, "key map");
        EXPECT_EQ(report.firstFailure()->status, status);
        EXPECT_EQ(mouse.area(Area::KeyMap), keyMap);
        EXPECT_EQ(profileText(), profile);
    }

    // Gone between the slot record's two chunks: nothing of it takes effect.
    const auto record = mouse.slotRecord(0);
    mouse.injectFault(Fault::UnplugMidWrite);
    model.profile().StoreActiveStage(3);
    EXPECT_NE(model.WriteSlotRecord(0, 0), Status::Ok);
    EXPECT_FALSE(mouse.isPlugged(KeyboardLink::Cable));
    EXPECT_EQ(mouse.slotRecord(0), record);
}

TEST_F(MouseModelTest, PageEditsReachTheRecordAndRefuseMissingStages)
{
    ASSERT_EQ(model.StartDevice(), Status::Ok);
    EXPECT_FALSE(model.setActiveStage(5));
    EXPECT_FALSE(model.setStageDpi(7, 1000));
    EXPECT_TRUE(model.setActiveStage(4));
    EXPECT_EQ(model.setStageDpi(2, 1234), 1200) << "base 50, step 50";
    model.setReportStage(1);
    ASSERT_EQ(model.WriteSlotRecord(0, 0), Status::Ok);
    const auto written = mouse.slotRecord(0);
    EXPECT_EQ(written[record::kActiveDpiStage], 4);
    EXPECT_EQ(written[record::kReportStage], 1);
    EXPECT_EQ(get16(written, record::kDpiStages + 2 * record::kDpiStageSize + 2), 1200);
    EXPECT_EQ(get16(written, record::kDpiStages + 2 * record::kDpiStageSize + 4), 1200);
}

namespace {

class PictureView final : public model::DeviceView {
public:
    void showLight(std::size_t light, std::uint32_t colour, std::uint8_t brightness) override
    {
        shown.push_back({light, colour, brightness});
    }
    struct Shown {
        std::size_t light;
        std::uint32_t colour;
        std::uint8_t brightness;
    };
    std::vector<Shown> shown;
};

} // namespace

TEST_F(MouseModelTest, LightingRunsForThePictureAndSendsNothing)
{
    ASSERT_EQ(model.StartDevice(), Status::Ok);
    EXPECT_TRUE(model.lightingThread().isRunning());
    model.StopLighting();
    PictureView view;
    model.setView(&view);
    mouse.clearReceived();
    model.SetLightColour(3, 0x80'0A'14'1E); // red 1E, green 14, blue 0A, brightness 80
    model.SendLiveFrame();
    model.setView(nullptr);
    ASSERT_EQ(view.shown.size(), 15u);
    EXPECT_EQ(view.shown[3].colour, 0x14'0A'1Eu) << "the picture's red | blue << 8 | green << 16";
    EXPECT_EQ(view.shown[3].brightness, 0x80);
    EXPECT_TRUE(mouse.commandsReceived().empty());
}
