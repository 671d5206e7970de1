// A lighting change against the emulated keyboard: the model holds the lighting, so a change
// reads no file but the profile it saves, and sends what a fresh load of that profile would.
#include "pages/models/light_page_model.h"
#include "pages/models/profile_device_steps.h"
#include "pages/models/profile_panel_model.h"

#include "device/model/keyboard_conversions.h"
#include "device/model/keyboard_model.h"
#include "devsim/keyboard.h"
#include "pages/models/keyboard_with_panel.h"
#include "platform/debug_output.h"
#include "profile/json_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using devsim::KeyboardLink;

namespace {

constexpr std::size_t kEffectByte = 1;
constexpr std::size_t kRedByte = 6;

class LightChangeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(
            testing_support::openKeyboardWithPanel(temp.path(), keyboard, device, panel));
        ASSERT_EQ(keyboard.StartDevice(), protocol::Status::Ok);
    }

    protocol::SlotRecord deviceRecord()
    {
        const auto settings = device.area(devsim::Area::Settings);
        protocol::SlotRecord record{};
        std::copy_n(settings.begin(), record.size(), record.begin());
        return record;
    }

    // What the program would send after starting again from the files on disk.
    protocol::SlotRecord recordOfSavedProfile()
    {
        model::KeyboardModel fresh;
        fresh.setDataRoot(temp / "data");
        fresh.setFactoryFolder(factory);
        pages::adoptPanelProfile(fresh, *panel);
        fresh.LoadLightPresets();
        EXPECT_EQ(fresh.LoadProfile(), model::ProfileResult::Ok);
        return model::buildSlotRecord(fresh.profile().LoadLightInfo(),
                                      fresh.profile().LoadSystemStages(), 0, fresh.presets());
    }

    static std::size_t fileReads()
    {
        std::size_t reads = 0;
        for (const std::wstring& line : platform::debugLines())
            reads += line.starts_with(L"readjsonFile") ? 1 : 0;
        return reads;
    }

    testing_support::TempDir temp;
    std::filesystem::path factory = temp / "DefaultData";
    devsim::Keyboard device;
    model::KeyboardModel keyboard;
    std::unique_ptr<pages::ProfilePanelModel> panel;
};

} // namespace

TEST_F(LightChangeTest, ChangesReadNoFileButTheProfileTheySave)
{
    const std::int32_t staticCode = keyboard.presets().effectCodes.at(6);
    // The effect description changes on disk after the start, and the custom list turns to
    // garbage: a change that read either again would send other codes or lose its steps.
    {
        std::ofstream(factory / "default_light.json", std::ios::trunc)
            << R"({"DefaultLightName":[[{"LightName":"x","value":99,"visible":1}]]})";
        std::ofstream(keyboard.dataFolder() / "novik_light.config", std::ios::trunc) << "{ garbled";
    }

    struct Change {
        const char* what;
        std::function<pages::ChangeResult()> run;
    };
    const Change changes[] = {
        {"effect", [&] { return pages::storeLighting(keyboard, [](auto& s) { s.mode = 6; }); }},
        {"colour",
         [&] {
             return pages::storeLighting(keyboard, [](auto& s) {
                 pages::setColour(s, pages::Rgb8{12, 34, 56});
             });
         }},
        {"brightness",
         [&] { return pages::storeLighting(keyboard, [](auto& s) { s.brightness = 2; }); }},
        {"audio colour",
         [&] {
             profile::AudioLightInfo audio = keyboard.audioParams();
             pages::setAudioColour(audio, pages::AudioColourSlot::Foreground, {1, 2, 3});
             return pages::storeAudio(keyboard, audio);
         }},
        {"custom effect",
         [&] { return pages::storeLighting(keyboard, [](auto& s) { s.mode = 20; }); }},
        {"custom group", [&] { return pages::selectCustomGroup(keyboard, 2); }},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        platform::clearDebugLines();
        const pages::ChangeResult result = change.run();
        EXPECT_TRUE(result.isComplete());
        // The save reads the file it rewrites (it holds the other devices' data); nothing else.
        EXPECT_EQ(fileReads(), 1u);
    }

    // What the keyboard holds is what a fresh start from the saved profile sends, with the
    // codes read at this start.
    pages::ChangeResult back = pages::storeLighting(keyboard, [](auto& s) { s.mode = 6; });
    ASSERT_TRUE(back.isComplete());
    EXPECT_EQ(deviceRecord()[kEffectByte], staticCode);
    EXPECT_EQ(deviceRecord()[kRedByte], 12);
    std::filesystem::copy_file(
        std::filesystem::path(HALVEK_SOURCE_DIR) / "data" / "DefaultData" / "default_light.json",
        factory / "default_light.json", std::filesystem::copy_options::overwrite_existing);
    EXPECT_EQ(deviceRecord(), recordOfSavedProfile());
    EXPECT_EQ(keyboard.profile().LoadAudioLightInfo().foreRed, 1);
}

TEST_F(LightChangeTest, AColourChangeKeepsTheEffectRunningAndAModeChangeRestartsIt)
{
    ASSERT_TRUE(pages::storeLighting(keyboard, [](auto& s) { s.mode = 4; }).isComplete());
    model::LightingThread& lighting = keyboard.lightingThread();
    lighting.stop();
    const std::uint8_t phase = lighting.update([](model::LightingEngine& engine) {
        for (int step = 0; step < 40; ++step)
            engine.stepMode(std::chrono::milliseconds(step));
        return engine.phase();
    });
    ASSERT_NE(phase, 0);
    // A colour is not the spectrum's business: the wheel goes on where it was.
    ASSERT_TRUE(pages::storeLighting(keyboard, [](auto& s) {
                    pages::setColour(s, pages::Rgb8{200, 0, 0});
                }).isComplete());
    EXPECT_EQ(lighting.update([](model::LightingEngine& engine) { return engine.phase(); }), phase);
    EXPECT_EQ(lighting.update([](model::LightingEngine& engine) { return engine.settings().red; }),
              200);
    ASSERT_TRUE(pages::storeLighting(keyboard, [](auto& s) { s.mode = 1; }).isComplete());
    EXPECT_EQ(lighting.update([](model::LightingEngine& engine) { return engine.phase(); }), 0);
}
