#include "device/model/keyboard_model.h"
#include "device/model/live_stream_run.h"
#include "device/model/profile_apply.h"
#include "device/protocol/commands.h"

#include "device/protocol/macro_block.h"
#include "devsim/keyboard.h"
#include "platform/event.h"
#include "profile/key_codes.h"
#include "profile/macro_library.h"
#include "profile/profile_list.h"
#include "support/temp_dir.h"

#include <array>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

using devsim::Area;
using devsim::Fault;
using devsim::KeyboardLink;
using protocol::Status;

namespace {

std::string fileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The emulated keyboard on its cable, a keyboard model whose channel is open on it, and
// folders of its own: the shipped factory data and a fresh user data folder.
class KeyboardModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::filesystem::path factory = temp / "DefaultData";
        std::filesystem::create_directories(factory);
        for (const char* name : {"keyboard.Json", "default_light.json"})
            std::filesystem::copy_file(std::filesystem::path(HALVEK_SOURCE_DIR) / "data" /
                                           "DefaultData" / name,
                                       factory / name);
        keyboard.setDataRoot(temp / "data");
        keyboard.setFactoryFolder(factory);
        profile::ProfileList list;
        list.SetDeviceKind(1);
        list.SetPaths(keyboard.dataFolder(), factory / "keyboard.Json");
        list.InitProfiles();
        keyboard.setProfileBaseName(list.GetCurrentProfileId());

        device.plug(KeyboardLink::Cable);
        ASSERT_TRUE(keyboard.channel().openLink(protocol::Link::Wired,
                                                device.commandPath(KeyboardLink::Cable)));
        keyboard.channel().setLinkMode(protocol::LinkMode::Wired);
    }

    // The full read and the selected profile, as on arrival, without writing anything.
    void readAndLoad()
    {
        ASSERT_EQ(keyboard.ReadDevice(), Status::Ok);
        ASSERT_EQ(keyboard.LoadProfile(), model::ProfileResult::Ok);
    }

    // Binds key position `position` to library macro `index` in the profile file.
    void bindMacro(std::size_t position, std::uint8_t index)
    {
        auto keys = keyboard.keys();
        keys[position].current =
            profile::makeCode(profile::typeByte(profile::KeyFunctionType::MacroMode), index, 1,
                              std::uint16_t(position));
        keyboard.profile().StoreKeyList(keys);
        ASSERT_EQ(keyboard.CommitProfile(), model::ProfileResult::Ok);
        keyboard.setKeys(keys);
    }

    // After the full read, a host effect that streams, with the lighting running.
    void startStreamingEffect()
    {
        readAndLoad();
        model::EffectSettings settings;
        settings.mode = 4;
        settings.speed = 4;
        settings.brightness = 4;
        ASSERT_TRUE(keyboard.setEffectSettings(settings));
        keyboard.StartLighting();
    }

    std::filesystem::path profileFile() { return keyboard.GetProfilePath(); }
    std::vector<std::uint8_t> memoryArea(Area area)
    {
        const devsim::KeyboardMemory memory = device.memory();
        const auto bytes = memory.area(area);
        return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
    }

    testing_support::TempDir temp;
    devsim::Keyboard device;
    model::KeyboardModel keyboard; // after the device: it goes first, threads and all
};

} // namespace

TEST_F(KeyboardModelTest, ApplyThenReadBackGivesTheSameProfile)
{
    const model::ApplyReport report = model::reapplyOnAttach(keyboard, model::AfterApply::Nothing);
    ASSERT_TRUE(report.isOk()) << report.firstFailure()->name;
    const profile::LightInfo written = keyboard.profile().LoadLightInfo();
    const profile::KeyboardSystemStages stages = keyboard.profile().LoadSystemStages();

    // The record on the device is the profile's, by the conversion table.
    const auto settings = memoryArea(Area::Settings);
    EXPECT_EQ(settings[2], written.brightness);
    EXPECT_EQ(settings[3], std::uint8_t(4 - written.speed));
    EXPECT_EQ(settings[6], written.red);

    ASSERT_EQ(keyboard.ReadDeviceState(), Status::Ok);
    EXPECT_EQ(keyboard.profile().LoadLightInfo(), written);
    EXPECT_EQ(keyboard.profile().LoadSystemStages(), stages);
    EXPECT_EQ(keyboard.deviceState()[model::state::kMode], written.mode);

    // A change made on the device comes back into the profile.
    std::array<std::uint8_t, 1> speedByte{1};
    ASSERT_EQ(keyboard.channel().WriteSettings(speedByte, 3), Status::Ok);
    ASSERT_EQ(keyboard.ReadDeviceState(), Status::Ok);
    EXPECT_EQ(keyboard.profile().LoadLightInfo().speed, 3);
}

TEST_F(KeyboardModelTest, AMacroBoundToAKeyTravelsToMacroMemoryAndKeyMap)
{
    profile::MacroLibrary library(keyboard.dataFolder());
    library.Load();
    library.NewMacro();
    library.NewMacro();
    ASSERT_TRUE(
        library.SaveMacro(1, {{R"({"Type": 1, "Action": "down", "Button": 4, "Delay": 0})", L"30"},
                              {R"({"Type": 1, "Action": "up", "Button": 4, "Delay": 0})", L"40"}}));
    readAndLoad();
    bindMacro(0, 1);
    bindMacro(5, 1);

    const model::ApplyReport report = model::applyProfile(keyboard);
    ASSERT_TRUE(report.isOk()) << report.firstFailure()->name;
    const auto macros = protocol::parseMacroBlock(memoryArea(Area::Macros));
    ASSERT_TRUE(macros);
    ASSERT_EQ(macros->size(), 1u);
    EXPECT_EQ((*macros)[0].events.size(), 2u);
    EXPECT_EQ((*macros)[0].events[0].code, 4);

    // Library macro 1 is the block's macro 0.
    const auto keyMap = memoryArea(Area::KeyMap);
    for (const std::size_t position : {0, 5}) {
        const std::size_t slot = keyboard.positionToSlot()[position];
        ASSERT_NE(slot, model::kUnmapped);
        EXPECT_EQ(keyMap[3 * slot], 0x70) << position;
        EXPECT_EQ(keyMap[3 * slot + 1], 0) << position;
        EXPECT_EQ(keyMap[3 * slot + 2], 1) << position;
    }
}

TEST_F(KeyboardModelTest, AnUnreadableMacroLibraryLeavesAssignmentsAlone)
{
    profile::MacroLibrary library(keyboard.dataFolder());
    library.Load();
    library.NewMacro();
    library.NewMacro();
    readAndLoad();
    bindMacro(0, 1);
    // An index that is there but cannot be read (a folder in its place; as root, modes
    // would not stop the read).
    const auto index = keyboard.dataFolder() / profile::kMacroIndexFileName;
    std::filesystem::remove(index);
    std::filesystem::create_directories(index);
    const std::string before = fileBytes(profileFile());

    keyboard.DropStaleMacroKeys();
    EXPECT_FALSE(keyboard.isMacroLibraryReadable());
    EXPECT_TRUE(profile::isMacroCode(keyboard.keys()[0].current));

    const model::ApplyReport report = model::applyProfile(keyboard);
    EXPECT_TRUE(report.isOk());
    EXPECT_EQ(fileBytes(profileFile()), before);
    EXPECT_TRUE(profile::isMacroCode(keyboard.profile().LoadKeyList()[0].current));
}

TEST_F(KeyboardModelTest, EveryFaultOfTheKeyMapWriteGivesItsStatusAndLeavesTheFile)
{
    struct Case {
        Fault fault;
        Status status;
    };
    const Case cases[] = {
        {Fault::StatusFF, Status::DeviceErrorFF},
        {Fault::StatusFE, Status::DeviceErrorFE},
        {Fault::WrongEchoTwiceFF, Status::NoReply},
        {Fault::Lost, Status::NoReply},
        {Fault::UnplugBeforeReply, Status::NoReply},
        {Fault::UnplugMidWrite, Status::NoReply},
        {Fault::WrongEcho, Status::Ok},
    };
    readAndLoad();
    const std::string before = fileBytes(profileFile());
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(devsim::faultName(c.fault)));
        if (!device.isPlugged(KeyboardLink::Cable)) {
            keyboard.channel().closeLinks();
            device.plug(KeyboardLink::Cable);
            ASSERT_TRUE(keyboard.channel().openLink(protocol::Link::Wired,
                                                    device.commandPath(KeyboardLink::Cable)));
        }
        // No macros: the key map's ReadInfo and Begin go first, then its first chunk.
        device.injectFaults({Fault::None, Fault::None, c.fault});
        const model::ApplyReport report = model::applyProfile(keyboard);
        device.clearFaults();
        device.releaseLateReplies();
        const model::StepReport* failed = report.firstFailure();
        if (c.status == Status::Ok) {
            EXPECT_EQ(failed, nullptr);
        } else {
            ASSERT_NE(failed, nullptr);
            EXPECT_EQ(failed->name, "key map");
            EXPECT_EQ(failed->status, c.status);
        }
        EXPECT_EQ(fileBytes(profileFile()), before);
    }
}

TEST_F(KeyboardModelTest, UnplugBetweenStepsFailsTheRestAndKeepsTheFile)
{
    readAndLoad();
    const std::string before = fileBytes(profileFile());
    ASSERT_EQ(keyboard.WriteProfileKeyMap(0), Status::Ok);
    device.unplug(KeyboardLink::Cable);
    const model::ApplyReport report = model::applyProfile(keyboard);
    ASSERT_NE(report.firstFailure(), nullptr);
    EXPECT_NE(report.firstFailure()->status, Status::Ok);
    for (const auto& step : report.steps) {
        if (step.name == "slot record" || step.name == "key map") {
            EXPECT_NE(step.status, Status::Ok) << step.name;
        }
    }
    EXPECT_EQ(fileBytes(profileFile()), before);
}

TEST_F(KeyboardModelTest, PaintedCustomKeyReachesItsLedInTheGroup)
{
    readAndLoad();
    profile::LightInfo light = keyboard.profile().LoadLightInfo();
    light.mode = model::kCustomMode;
    light.customGroup = 2;
    light.red = 0x11;
    light.green = 0x22;
    light.blue = 0x33;
    keyboard.SetLightSettings(profile::toWords(light));
    ASSERT_EQ(keyboard.ShowLighting(), Status::Ok);
    ASSERT_EQ(keyboard.PaintCustomKey(0).written, Status::Ok);

    const std::size_t led = keyboard.positionToLed()[0];
    ASSERT_NE(led, model::kUnmapped);
    const auto colours = memoryArea(Area::Colours);
    EXPECT_EQ(colours[2 * 512 + 3 * led], 0x11);
    EXPECT_EQ(colours[2 * 512 + 3 * led + 1], 0x22);
    EXPECT_EQ(colours[2 * 512 + 3 * led + 2], 0x33);

    // Outside the custom mode nothing is painted or sent.
    device.clearReceived();
    light.mode = 4;
    keyboard.SetLightSettings(profile::toWords(light));
    ASSERT_EQ(keyboard.ShowLighting(), Status::Ok);
    EXPECT_EQ(keyboard.PaintCustomKey(0).written, Status::Ok);
    EXPECT_TRUE(device.received().empty());
}

TEST_F(KeyboardModelTest, LiveStreamSurvivesAnUnplugAndStopsInTime)
{
    startStreamingEffect();
    // Frames go out as the tile's timer would send them.
    for (int frame = 0; frame < 3; ++frame) {
        keyboard.SetLightColour(0, 0xFF000000u | std::uint32_t(frame));
        keyboard.SendLiveFrame();
        ASSERT_TRUE(keyboard.framePump().drain(std::chrono::seconds(2)));
    }
    EXPECT_GE(keyboard.framePump().counts().sent, 3u);
    EXPECT_FALSE(memoryArea(Area::LiveFrame).empty());

    device.unplug(KeyboardLink::Cable);
    keyboard.SetLightColour(0, 0xFF0000FFu);
    keyboard.SendLiveFrame();
    ASSERT_TRUE(keyboard.framePump().drain(std::chrono::seconds(2)));
    EXPECT_GE(keyboard.framePump().counts().failed, 1u);
    keyboard.StopLighting();
    EXPECT_FALSE(keyboard.lightingThread().isRunning());
    EXPECT_FALSE(keyboard.framePump().isRunning());
}

TEST_F(KeyboardModelTest, ItsLightingWakesWhenTheChannelOpensAgainOrLetsGoOfSynchronisedMode)
{
    startStreamingEffect();
    // The thread sleeps without a time-out while it has nothing to do: only the channel's
    // word brings it back.
    const auto paintsPast = [&](std::uint64_t count) {
        platform::Event never(platform::Event::ResetPolicy::Manual);
        for (int i = 0; i < 10'000 && keyboard.framesPainted() <= count; ++i)
            (void)never.waitFor(std::chrono::milliseconds(1));
        return keyboard.framesPainted() > count;
    };
    const auto aWhile = [] {
        platform::Event never(platform::Event::ResetPolicy::Manual);
        (void)never.waitFor(std::chrono::milliseconds(200));
    };
    ASSERT_TRUE(paintsPast(0));

    // A keyboard asleep behind its receiver, then awake again.
    keyboard.channel().closeLinks();
    aWhile();
    const std::uint64_t closed = keyboard.framesPainted();
    ASSERT_TRUE(keyboard.channel().openLink(protocol::Link::Wired,
                                            device.commandPath(KeyboardLink::Cable)));
    EXPECT_TRUE(paintsPast(closed + 1));

    keyboard.channel().setLightingSync(true);
    aWhile();
    const std::uint64_t synced = keyboard.framesPainted();
    keyboard.channel().setLightingSync(false);
    EXPECT_TRUE(paintsPast(synced + 1));
    keyboard.StopLighting();
}

TEST_F(KeyboardModelTest, ClosedChannelWritesNothingAndSaysSo)
{
    readAndLoad();
    keyboard.channel().closeLinks();
    device.clearReceived();
    EXPECT_EQ(keyboard.WriteProfileKeyMap(0), Status::NoReply);
    EXPECT_EQ(keyboard.WriteSlotRecord(0, 0), Status::NoReply);
    EXPECT_EQ(keyboard.ReadDeviceState(), Status::NoReply);
    EXPECT_TRUE(device.received().empty());
}

TEST_F(KeyboardModelTest, ModesTheKeyboardShowsItselfStreamNothing)
{
    readAndLoad();
    model::LiveStreamOptions options;
    options.settings.mode = 7;
    options.settings.speed = 4;
    options.duration = std::chrono::milliseconds(100);
    const model::LiveStreamReport quiet = model::runLiveStream(keyboard, options);
    EXPECT_FALSE(quiet.modeSendsFrames);
    EXPECT_EQ(quiet.sent, 0u);

    options.settings.mode = 4;
    const model::LiveStreamReport streamed = model::runLiveStream(keyboard, options);
    EXPECT_TRUE(streamed.modeSendsFrames);
    EXPECT_GT(streamed.sent, 0u);
    EXPECT_EQ(streamed.failed, 0u);
    EXPECT_FALSE(keyboard.lightingThread().isRunning());
}

TEST_F(KeyboardModelTest, MoreKeySlotsThanABlockKeepTheMapsAndWriteNoKeyMap)
{
    readAndLoad();
    const model::PositionMap slots = keyboard.positionToSlot();
    const model::PositionMap leds = keyboard.positionToLed();
    auto info = memoryArea(Area::Info);
    info[protocol::kInfoKeySlotCount] = 171; // 513 bytes of key map
    device.setArea(Area::Info, 0, info);

    EXPECT_NE(keyboard.ReadDevice(), Status::Ok);
    EXPECT_EQ(keyboard.positionToSlot(), slots);
    EXPECT_EQ(keyboard.positionToLed(), leds);

    device.clearReceived();
    EXPECT_EQ(keyboard.WriteProfileKeyMap(0), Status::NoReply);
    EXPECT_EQ(device.commandsReceived(), std::vector<std::uint8_t>{protocol::command::kReadInfo});
    EXPECT_EQ(keyboard.WriteCustomColourGroup(), Status::NoReply);
    EXPECT_EQ(device.commandsReceived(), std::vector<std::uint8_t>{protocol::command::kReadInfo});
}

TEST_F(KeyboardModelTest, FramesAreCountedAsTheChannelSentThem)
{
    // A key map that fails at its second chunk sent ReadInfo, Begin, two chunks and End; a
    // count worked out from the block size would claim the whole map went out.
    readAndLoad();
    device.clearReceived();
    const std::uint64_t before = keyboard.requestFrames();
    device.injectFaults({Fault::None, Fault::None, Fault::None, Fault::StatusFF});
    EXPECT_EQ(keyboard.WriteProfileKeyMap(0), Status::DeviceErrorFF);
    EXPECT_EQ(keyboard.requestFrames() - before, device.received().size());
    EXPECT_EQ(device.received().size(), 5u);
}

TEST_F(KeyboardModelTest, AKeyboardOfNoKeySlotsSaysNothingWasWritten)
{
    readAndLoad();
    device.setArea(Area::Info, protocol::kInfoKeySlotCount, std::array<std::uint8_t, 1>{0});
    device.clearReceived();
    EXPECT_EQ(keyboard.WriteProfileKeyMap(0), Status::NothingToWrite);
    EXPECT_EQ(device.commandsReceived(), std::vector<std::uint8_t>{protocol::command::kReadInfo});
    // The colours are sized by the same count, as the key map write just read it.
    EXPECT_EQ(keyboard.WriteCustomColourGroup(), Status::NothingToWrite);
}
