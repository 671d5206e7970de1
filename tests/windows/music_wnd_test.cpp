#include "windows/audio_companion.h"
#include "windows/audio_styles.h"
#include "windows/music_wnd.h"

#include "app/startup.h"
#include "platform/ipc_inbox.h"
#include "platform/message_queue.h"
#include "profile/json_file.h"
#include "support/temp_dir.h"
#include "ui/button_ui.h"
#include "ui/paint_manager_ui.h"
#include "ui/resource_manager.h"
#include "ui/slider_ui.h"
#include "ui/ui_driver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

using testing_support::IpcInbox;
using testing_support::TempDir;

namespace {

const std::filesystem::path kData = std::filesystem::path(HALVEK_SOURCE_DIR) / "data";
const std::filesystem::path kDefault = kData / "DefaultData" / "AudioFile.json";

void writeAll(const std::filesystem::path& file, std::string_view text)
{
    std::ofstream(file, std::ios::binary) << text;
}

std::string readAll(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

[[maybe_unused]] void saveShot(ui::UiDriver& driver, const char* name)
{
    if (const char* folder = std::getenv("HALVEK_SHOTS")) {
        driver.render();
        driver.writePng(std::filesystem::path(folder) / name);
    }
}

std::array<std::int32_t, 3> colourIn(const std::vector<std::uint8_t>& data)
{
    std::array<std::int32_t, 3> rgb{};
    if (data.size() >= sizeof rgb)
        std::memcpy(rgb.data(), data.data(), sizeof rgb);
    return rgb;
}

} // namespace

TEST(AudioStylesTest, HostileValuesAreBoundedAndWrongTypesSkipped)
{
    const auto parsed = profile::parseJson(R"({"AudioLightInfo":{
        "nAudioStyle": 7, "nStyleR0": -3, "nStyleG0": 42, "nStyleB0": "5",
        "nStyleR1": 4, "nStyleG1": 4294967299, "nStyleName1": 12, "nStyleName2": "Bass"}})");
    ASSERT_TRUE(parsed);
    const auto styles = windows::readAudioStyles(*parsed);
    EXPECT_EQ(styles.selected, 0);
    EXPECT_EQ(styles.colours[0], (std::array<int, 3>{0, 9, 0}));
    EXPECT_EQ(styles.colours[1][0], 4);
    EXPECT_EQ(styles.colours[1][1], 9); // not its low 32 bits, 3
    EXPECT_EQ(styles.names[0], L"");
    EXPECT_EQ(styles.names[1], L"Bass");
    for (const char* index : {R"({"AudioLightInfo":{"nAudioStyle":-1}})",
                              R"({"AudioLightInfo":{"nAudioStyle":4294967299}})"})
        EXPECT_EQ(windows::readAudioStyles(*profile::parseJson(index)).selected, 0) << index;
    // No "AudioLightInfo", or not an object: the record stays empty.
    EXPECT_EQ(windows::readAudioStyles(*profile::parseJson(R"({"AudioLightInfo":[1]})")).selected,
              0);

    EXPECT_EQ(windows::styleNameFromEdit(1, L""), L"第二组");
    EXPECT_EQ(windows::styleNameFromEdit(1, L"Drums"), L"Drums");
}

TEST(AudioStylesTest, AGreenOfZeroTravelsAsOne)
{
    windows::AudioStyles styles;
    styles.selected = 2;
    styles.colours[2] = {3, 0, 5};
    const auto data = windows::styleColourData(styles);
    std::int32_t values[10];
    std::memcpy(values, data.data(), sizeof values);
    EXPECT_EQ(values[0], 3);
    EXPECT_EQ(values[1], 1);
    EXPECT_EQ(values[2], 5);
    for (int i = 3; i < 10; ++i)
        EXPECT_EQ(values[i], 0);
}

TEST(AudioStyleFileTest, AChoiceAndColourAreStoredAndComeBack)
{
    TempDir dir;
    windows::AudioStyleFile file(dir / "u" / "AudioFile.json", kDefault);
    auto styles = file.open(); // missing: the default lands in the user's folder
    ASSERT_TRUE(std::filesystem::exists(file.userFile()));
    EXPECT_EQ(styles.names[3], L"第四组");

    styles.selected = 2;
    styles.colours[2] = {9, 0, 4};
    styles.names[2] = L"Kick";
    ASSERT_TRUE(file.save(styles));

    windows::AudioStyleFile again(file.userFile(), kDefault);
    const auto back = again.open();
    EXPECT_EQ(back.selected, 2);
    EXPECT_EQ(back.colours[2], (std::array<int, 3>{9, 0, 4}));
    EXPECT_EQ(back.names[2], L"Kick");
    EXPECT_EQ(back.names[0], L"第一组");
}

TEST(AudioStyleFileTest, SavingKeepsTheFilesOtherMembers)
{
    TempDir dir;
    const auto user = dir / "AudioFile.json";
    writeAll(user, R"({"Device":{"AudioLightInfo":{"nAudioStyle":1},"Other":5},"Top":"x"})");
    windows::AudioStyleFile file(user, kDefault);
    auto styles = file.open();
    EXPECT_EQ(styles.selected, 1);
    styles.selected = 3;
    ASSERT_TRUE(file.save(styles));
    const auto stored = profile::readJsonDocument(user);
    EXPECT_EQ(stored.value["Top"].asString(), "x");
    EXPECT_EQ(stored.value["Device"]["Other"].asInt(), 5);
    EXPECT_EQ(stored.value["Device"]["AudioLightInfo"]["nAudioStyle"].asInt(), 3);
}

TEST(AudioStyleFileTest, TheDefaultReplacesOnlyAMissingDeviceOrADamagedFile)
{
    TempDir dir;
    const auto user = dir / "AudioFile.json";
    windows::AudioStyleFile file(user, kDefault);

    writeAll(user, R"({"Something":"else"})"); // parsed, without "Device"
    EXPECT_EQ(file.open().names[0], L"第一组");
    EXPECT_TRUE(profile::readJsonDocument(user).value.isMember("Device"));

    writeAll(user, R"({"Device":[1,2]})"); // there, but of the wrong type: kept aside
    EXPECT_EQ(file.open().names[2], L"第三组");
    EXPECT_EQ(readAll(dir / "AudioFile.json.corrupt"), R"({"Device":[1,2]})");

    writeAll(user, "{ \"Device\": { broken");
    EXPECT_EQ(file.open().names[1], L"第二组");
    EXPECT_EQ(readAll(dir / "AudioFile.json.corrupt1"), "{ \"Device\": { broken");
    EXPECT_EQ(profile::readJsonDocument(user).state, profile::ReadState::Ok);

    // No default either: empty styles, and the user's file is not touched.
    writeAll(user, R"({"Device":{}})");
    windows::AudioStyleFile bare(user, dir / "no-such-default.json");
    const auto styles = bare.open();
    EXPECT_EQ(styles.selected, 0);
    EXPECT_EQ(styles.names[0], L"");
}

TEST(AudioStyleFileTest, AFileThatCannotBeReadIsNeitherReplacedNorRewritten)
{
    TempDir dir;
    const auto user = dir / "AudioFile.json";
    std::filesystem::create_directories(user); // there, but not readable as a file
    windows::AudioStyleFile file(user, kDefault);
    const auto styles = file.open();
    EXPECT_EQ(styles.names[0], L"第一组"); // the default, in memory
    EXPECT_FALSE(file.save(styles));
    EXPECT_TRUE(std::filesystem::is_directory(user));
}

TEST(AudioCompanionTest, CommandsReachTheCompanionInOrder)
{
    TempDir dir;
    IpcInbox inbox;
    platform::IpcEndpoint companion(dir.path(), std::wstring(windows::kAudioCompanionName));
    ASSERT_TRUE(companion.startReceiving(inbox.handler()));
    const platform::IpcEndpoint program(dir.path(), L"MainWnd");
    const windows::AudioCompanionLink link(&program);

    ASSERT_TRUE(link.present());
    ASSERT_TRUE(link.start());
    ASSERT_TRUE(link.slider(L'G', 200));
    windows::AudioStyles styles;
    styles.colours[0] = {3, 0, 5};
    ASSERT_TRUE(link.sendStyleColour(styles));
    ASSERT_TRUE(link.stop());

    std::vector<std::uint64_t> commands;
    for (int i = 0; i < 8; ++i) {
        auto message = inbox.next();
        ASSERT_TRUE(message) << i;
        if (message->kind == platform::IpcMessage::Kind::CopyData) {
            EXPECT_EQ(message->copyDataId, 10u);
            EXPECT_EQ(message->data.size(), 40u);
            EXPECT_EQ(colourIn(message->data), (std::array<std::int32_t, 3>{3, 1, 5}));
            commands.push_back(10);
            continue;
        }
        EXPECT_EQ(message->name, windows::kAudioCommandMessage);
        EXPECT_EQ(message->senderName, L"MainWnd");
        if (message->wParam == 7) {
            EXPECT_EQ(message->lParam, 200);
        }
        commands.push_back(message->wParam);
    }
    EXPECT_EQ(commands, (std::vector<std::uint64_t>{0, 3, 1, 7, 10, 2, 4, 5}));
}

TEST(AudioCompanionTest, AnAbsentCompanionIsSkippedWithoutWaiting)
{
    TempDir dir;
    const platform::IpcEndpoint program(dir.path(), L"MainWnd");
    const windows::AudioCompanionLink link(&program);
    EXPECT_FALSE(link.present());
    EXPECT_FALSE(link.start());
    EXPECT_FALSE(link.slider(L'R', 3));
    EXPECT_FALSE(link.sendStyleColour({}));
    EXPECT_FALSE(link.stop());
    const windows::AudioCompanionLink none(nullptr);
    EXPECT_FALSE(none.start());
    EXPECT_FALSE(none.sendStyleColour({}));
}

class MusicWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CPaintManagerUI::SetInstancePath(kData.wstring() + L"/");
        app::setupUiResources(kData);
        CResourceManager::GetInstance()->LoadLanguage(L"lan_en.xml");
    }
    void TearDown() override { closeWindow(); }

    void openWindow(windows::AudioStyles styles)
    {
        m_window = std::make_unique<MusicWnd>(nullptr, std::move(styles));
        ASSERT_TRUE(m_window->Create(nullptr, L"  ", WS_POPUP | WS_VISIBLE, WS_EX_TOOLWINDOW, 0, 0,
                                     369, 276));
        m_window->SetScale(100); // not a layout DPI: becomes 96
        m_ui = std::make_unique<ui::UiDriver>(m_window->GetPaintManager());
        m_ui->render();
        m_ui->pump();
    }
    void closeWindow()
    {
        m_ui.reset();
        if (m_window && m_window->GetHWND())
            ui::destroyWindow(m_window->GetHWND());
        m_window.reset();
        platform::MessageQueue::current().takeQuit();
    }
    int sliderValue(const wchar_t* name) { return m_ui->findAs<CSliderUI>(name)->GetValue(); }

    TempDir m_dir;
    std::unique_ptr<MusicWnd> m_window;
    std::unique_ptr<ui::UiDriver> m_ui;
};

TEST_F(MusicWindowTest, ChoosingAndColouringAStyleComesBackFromTheFile)
{
    windows::AudioStyleFile file(m_dir / "AudioFile.json", kDefault);
    openWindow(file.open());
    // A default name reads in the user's language; the file keeps the default.
    EXPECT_EQ(std::wstring(m_ui->find(L"audio_edit_name1")->GetText()), L"Group 1");
    EXPECT_TRUE(m_ui->findAs<COptionUI>(L"audio_select_tab1")->IsSelected());

    ASSERT_TRUE(m_ui->click(L"audio_select_tab3"));
    EXPECT_EQ(m_window->styles().selected, 2);
    const auto third = m_window->styles().colours[2];
    EXPECT_EQ(sliderValue(L"audio_r_slider"), third[0]);
    EXPECT_EQ(sliderValue(L"audio_b_slider"), third[2]);

    // The slider's right end is 9, its left end 0.
    const RECT track = m_ui->find(L"audio_r_slider")->GetPos();
    ASSERT_TRUE(m_ui->clickAt({track.right - 1, (track.top + track.bottom) / 2}));
    EXPECT_EQ(m_window->styles().colours[2][0], 9);

    // An emptied name falls back to the style's default name when the edit is left.
    m_ui->find(L"audio_edit_name2")->SetText(L"");
    ASSERT_TRUE(m_ui->type(L"audio_edit_name2", L""));
    ASSERT_TRUE(m_ui->click(L"audio_edit_name4"));
    EXPECT_EQ(m_window->styles().names[1], L"第二组");
    EXPECT_EQ(std::wstring(m_ui->find(L"audio_edit_name2")->GetText()), L"Group 2");
    // Left as shown, a default name is still the default.
    ASSERT_TRUE(m_ui->click(L"audio_edit_name1"));
    ASSERT_TRUE(m_ui->click(L"audio_edit_name4"));
    EXPECT_EQ(m_window->styles().names[0], L"第一组");
    m_ui->find(L"audio_edit_name4")->SetText(L"Live set"); // typed, not yet left
    saveShot(*m_ui, "music_window.png");

    ASSERT_TRUE(m_ui->click(L"okbtn"));
    m_ui->pump();
    EXPECT_EQ(m_window->GetHWND(), nullptr);
    const windows::AudioStyles chosen = m_window->styles();
    EXPECT_EQ(chosen.names[3], L"Live set");
    EXPECT_EQ(chosen.names[0], L"第一组");
    ASSERT_TRUE(file.save(chosen));
    closeWindow();

    windows::AudioStyleFile again(m_dir / "AudioFile.json", kDefault);
    const auto back = again.open();
    EXPECT_EQ(back.selected, 2);
    EXPECT_EQ(back.colours[2], chosen.colours[2]);
    EXPECT_EQ(back.names[3], L"Live set");
    openWindow(back);
    EXPECT_TRUE(m_ui->findAs<COptionUI>(L"audio_select_tab3")->IsSelected());
    EXPECT_EQ(sliderValue(L"audio_r_slider"), 9);
}

TEST_F(MusicWindowTest, ClosingWithoutOkLeavesTheCallerNothing)
{
    windows::AudioStyles styles;
    styles.selected = 1;
    styles.colours[1] = {1, 2, 3};
    openWindow(styles);
    EXPECT_EQ(sliderValue(L"audio_g_slider"), 2);
    ASSERT_TRUE(m_ui->click(L"audio_select_tab4"));
    ASSERT_TRUE(m_ui->click(L"closebtn"));
    m_ui->pump();
    EXPECT_EQ(m_window->GetHWND(), nullptr);
}
